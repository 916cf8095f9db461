// The data-access layer and the data managers against real databases through unixODBC:
// a scratch SQLite file the tests fill themselves, and the PostgreSQL test database.
#include "TestSupport.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Runs the event loop until `done` holds (asynchronous completions arrive through it).
template <class Pred>
bool WaitFor(Pred done, int maxMs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < maxMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return done();
}

class ScratchDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        mgr = TestManager(dbSqlite, kScratchDsn);
        for (const char* sql : {
                 "drop table if exists t_ff",
                 "create table t_ff (id integer, name varchar(20), amount numeric(12,2), d date, note varchar(5))",
                 "insert into t_ff values (1, 'Хляб', 12.5, '2026-03-01', 'ok')",
                 "insert into t_ff values (2, NULL, NULL, NULL, 'longer than five')",
                 "drop table if exists t_many",
                 "create table t_many (n integer, txt varchar(10))",
                 "insert into t_many with recursive c(x) as (select 1 union all select x+1 from c where x < 1000) "
                 "select x, 'ред ' || x from c",
             })
            mgr->FastSql(QString::fromUtf8(sql));
    }
    std::unique_ptr<TSqlDataManager> mgr;
};

TEST_F(ScratchDb, FastSqlRecognisesSelectAndCachesTheFirstRow)
{
    // Leading blanks, line breaks and any letter case still make a SELECT.
    for (const char* sql : {"SELECT count(*) FROM t_ff ", "  \r\n\tselect count(*) from t_ff\n", "sElEcT count(*) from t_ff"})
        EXPECT_EQ(mgr->FastSql(QString::fromUtf8(sql)).toInt(), 2) << sql;

    EXPECT_EQ(mgr->FastSql(QStringLiteral("select id, name as Caption, amount from t_ff order by id")).toInt(), 1);
    EXPECT_EQ(mgr->LastFldCount, 3);
    EXPECT_EQ(mgr->FastSQLField(QStringLiteral("caption")).toString(), QStringLiteral("Хляб"));
    EXPECT_EQ(mgr->FastSQLField(QStringLiteral("CAPTION")).toString(), QStringLiteral("Хляб"));
    EXPECT_DOUBLE_EQ(mgr->FastSQLField(QStringLiteral("Amount")).toDouble(), 12.5);
    EXPECT_FALSE(mgr->FastSQLField(QStringLiteral("missing")).isValid());

    // Not a SELECT by its first six characters: executed, empty result, cache untouched.
    for (const char* sql : {"update t_ff set id = id", "with x as (select 5) select * from x"}) {
        EXPECT_FALSE(mgr->FastSql(QString::fromUtf8(sql)).isValid()) << sql;
        EXPECT_EQ(mgr->LastFldCount, 3) << sql;
    }

    // No row: the column names are cached, every value is empty.
    EXPECT_FALSE(mgr->FastSql(QStringLiteral("select id, name from t_ff where id < 0")).isValid());
    EXPECT_EQ(mgr->LastFldCount, 2);
    EXPECT_EQ(mgr->LastFldNames[1], QStringLiteral("NAME"));
    EXPECT_FALSE(mgr->FastSQLField(QStringLiteral("id")).isValid());

    // A NULL is the empty value, never a null of some type.
    const QVariant null = mgr->FastSql(QStringLiteral("select name from t_ff where id = 2"));
    EXPECT_FALSE(null.isValid());

    // 61 columns: exactly the first 60 are cached.
    QString wide = QStringLiteral("select ");
    for (int i = 0; i < 61; ++i)
        wide += QStringLiteral("%1%2 as c%2").arg(i ? QStringLiteral(", ") : QString()).arg(i);
    EXPECT_EQ(mgr->FastSql(wide).toInt(), 0);
    EXPECT_EQ(mgr->LastFldCount, 60);
    EXPECT_EQ(mgr->FastSQLField(QStringLiteral("c59")).toInt(), 59);
    EXPECT_FALSE(mgr->FastSQLField(QStringLiteral("c60")).isValid());
}

TEST_F(ScratchDb, FastSqlArgumentsAndErrors)
{
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select ? + 1"), {QVariant(41)}).toInt(), 42);
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select name from t_ff where id = ?"), {QVariant(qlonglong(1))}).toString(),
              QStringLiteral("Хляб"));
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select ?"), {QVariant(QStringLiteral("текст"))}).toString(),
              QStringLiteral("текст"));

    QObject obj;
    try {
        mgr->FastSql(QStringLiteral("select ?"), {QVariant::fromValue(&obj)});
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot pass TObject as parameter to LiteSql func"));
    }

    // A failing statement carries the driver's message and leaves the manager usable.
    try {
        mgr->FastSql(QStringLiteral("select * from no_such_table"));
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("no_such_table"))) << e.what();
    }
    EXPECT_EQ(mgr->LastFldCount, 0);
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select 7")).toInt(), 7);
}

TEST_F(ScratchDb, CatalogueTests)
{
    EXPECT_TRUE(mgr->IsTableExists(QStringLiteral("t_ff")));
    EXPECT_TRUE(mgr->IsTableExists(QStringLiteral("T_FF")));
    EXPECT_FALSE(mgr->IsTableExists(QStringLiteral("SalesSummaryAudit")));
    // A quote inside the name is doubled in the literal, not an SQL error.
    EXPECT_FALSE(mgr->IsTableExists(QStringLiteral("t_ff' or '1'='1")));
    EXPECT_TRUE(mgr->IsFieldExist(QStringLiteral("t_ff"), QStringLiteral("Amount")));
    EXPECT_FALSE(mgr->IsFieldExist(QStringLiteral("t_ff"), QStringLiteral("nope")));
}

TEST_F(ScratchDb, StaticCursorHoldsEveryRowAndReadsOverlongTextInFull)
{
    TQuery q(&mgr->OpenConnection(), ckStatic);
    q.SetSQL(QStringLiteral("select n, txt from t_many order by n"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1000); // more than one block
    qint64 sum = 0, rows = 0;
    while (!q.Eof()) {
        sum += q.Fields(0).AsLargeInt();
        ++rows;
        q.Next();
    }
    EXPECT_EQ(rows, 1000);
    EXPECT_EQ(sum, 500500);
    EXPECT_EQ(q.Fields(0).AsString(), QStringLiteral("1000")); // stays on the last row at the end
    q.First();
    EXPECT_EQ(q.Fields(1).AsString(), QStringLiteral("ред 1"));

    // SQLite does not enforce declared lengths: a value longer than varchar(5), and one
    // far beyond any bound buffer, come back whole in both cursor kinds.
    const QString huge(20000, QChar(0x0416));
    mgr->FastSql(QStringLiteral("insert into t_ff values (3, ?, 1, '2026-01-01', ?)"), {QVariant(huge), QVariant(huge)});
    for (TCursorKind kind : {ckStatic, ckForwardOnly}) {
        TQuery t(&mgr->OpenConnection(), kind);
        t.SetSQL(QStringLiteral("select note, name from t_ff order by id"));
        t.Open();
        t.Next();
        EXPECT_EQ(t.Fields(0).AsString(), QStringLiteral("longer than five"));
        t.Next();
        EXPECT_EQ(t.Fields(0).AsString(), huge);
        EXPECT_EQ(t.Fields(1).AsString(), huge);
        if (kind == ckStatic) { // reading the long values left the other rows as they were
            t.First();
            EXPECT_EQ(t.Fields(0).AsString(), QStringLiteral("ok"));
            EXPECT_EQ(t.Fields(1).AsString(), QStringLiteral("Хляб"));
        }
    }
}

TEST_F(ScratchDb, ForwardOnlyCursorStreams)
{
    TQuery q(&mgr->OpenConnection(), ckForwardOnly);
    q.SetRowArraySize(64);
    q.SetSQL(QStringLiteral("select n from t_many order by n"));
    q.Open();
    q.First(); // still on the first row: allowed
    qint64 expected = 1;
    while (!q.Eof()) {
        ASSERT_EQ(q.Fields(0).AsLargeInt(), expected);
        ASSERT_EQ(q.RecNo(), expected - 1);
        ++expected;
        q.Next();
    }
    EXPECT_EQ(expected, 1001);
    EXPECT_EQ(q.Fields(0).AsLargeInt(), 1000);
    EXPECT_THROW(q.First(), Exception);

    // The next block is read while the current one is used: texts too long for their slot,
    // in many blocks, come back whole with their own rows; closing in the middle of the
    // stream waits for the block under way.
    mgr->FastSql(QStringLiteral("drop table if exists t_long"));
    mgr->FastSql(QStringLiteral("create table t_long (n integer, txt varchar(10))"));
    mgr->FastSql(QStringLiteral("insert into t_long select n, case when n % 50 = 0 then "
                                "replace(hex(zeroblob(4500)), '00', 'Ж') || n else 'кратък ' || n end from t_many"));
    const QString longText(4500, QChar(0x0416));
    for (int stopAt : {-1, 100}) {
        TQuery l(&mgr->OpenConnection(), ckForwardOnly);
        l.SetRowArraySize(64);
        l.SetSQL(QStringLiteral("select n, txt from t_long order by n"));
        l.Open();
        int rows = 0;
        while (!l.Eof() && rows != stopAt) {
            const qint64 n = l.Fields(0).AsLargeInt();
            ASSERT_EQ(n, rows + 1);
            ASSERT_EQ(l.Fields(1).AsString(), (n % 50 ? QStringLiteral("кратък ") : longText) + QString::number(n));
            ++rows;
            l.Next();
        }
        EXPECT_EQ(rows, stopAt > 0 ? stopAt : 1000);
        l.Close();
    }

    // An error in a later block ends the stream; the row in hand stays as it was.
    TQuery e(&mgr->OpenConnection(), ckForwardOnly);
    e.SetRowArraySize(64);
    e.SetSQL(QStringLiteral("select n, case when n = 300 then abs(-9223372036854775807 - (n - 299)) else n end "
                            "from t_many")); // unsorted: the rows come as they are read
    e.Open();
    qint64 last = 0;
    bool failed = false;
    try {
        while (!e.Eof()) {
            last = e.Fields(0).AsLargeInt();
            e.Next();
        }
    } catch (const Exception&) {
        failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(last, 256);
    EXPECT_EQ(e.Fields(1).AsLargeInt(), 256);
    e.Next();
    EXPECT_TRUE(e.Eof());

    TQuery empty(&mgr->OpenConnection(), ckForwardOnly);
    empty.SetSQL(QStringLiteral("select n from t_many where n < 0"));
    empty.Open();
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.FieldCount(), 1);
}

TEST_F(ScratchDb, NotificationsAndSuspendedViews)
{
    TQuery q(&mgr->OpenConnection(), ckStatic);
    q.SetSQL(QStringLiteral("select n from t_many where n <= 3 order by n"));
    int scrolls = 0, views = 0;
    q.AfterScroll = [&] { ++scrolls; };
    const int id = q.AddDataObserver([&] { ++views; });
    q.Open();
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(views, 1);

    q.DisableControls();
    q.DisableControls();
    q.Next();
    q.Next();
    EXPECT_EQ(scrolls, 3); // the row-move notification is not suspended
    EXPECT_EQ(views, 1);
    q.EnableControls();
    EXPECT_EQ(views, 1); // still suspended by the outer level
    q.EnableControls();
    EXPECT_EQ(views, 2); // one notification for everything that happened meanwhile

    // FetchAllQuery walks the rows without the row-move notification and returns to row 1.
    TSqlDataManager::FetchAllQuery(q);
    EXPECT_EQ(scrolls, 4); // only its first move, before it suspends the notification
    EXPECT_EQ(q.Fields(0).AsLargeInt(), 1);
    ASSERT_TRUE(q.AfterScroll);

    // OpenQueryClean drops the notification for good.
    TSqlDataManager::OpenQueryClean(q);
    EXPECT_FALSE(q.AfterScroll);
    EXPECT_EQ(q.RecordCount(), 3);
    q.RemoveDataObserver(id);
    const int before = views;
    q.Close();
    EXPECT_EQ(views, before); // a removed observer hears nothing
}

TEST_F(ScratchDb, AsynchronousOpenCompletesOnTheCallingThread)
{
    TQuery q(&mgr->OpenConnection(), ckStatic);
    q.SetSQL(QStringLiteral("select n, txt from t_many order by n"));
    bool opened = false;
    q.AfterOpen = [&] { opened = true; };
    q.OpenAsync();
    EXPECT_TRUE(q.Executing());
    EXPECT_FALSE(q.Active());
    ASSERT_TRUE(WaitFor([&] { return opened; }));
    EXPECT_FALSE(q.Executing());
    EXPECT_EQ(q.RecordCount(), 1000);
    EXPECT_EQ(q.Fields(1).AsString(), QStringLiteral("ред 1"));

    QString error;
    TQuery bad(&mgr->OpenConnection(), ckStatic);
    bad.SetSQL(QStringLiteral("select * from missing_view"));
    bad.OnOpenError = [&](const QString& m) { error = m; };
    bad.OpenAsync();
    ASSERT_TRUE(WaitFor([&] { return !error.isEmpty(); }));
    EXPECT_TRUE(error.contains(QStringLiteral("missing_view"))) << error.toStdString();
    EXPECT_FALSE(bad.Active());
    EXPECT_FALSE(bad.Executing());
}

// A statement that would run for hours; only a working cancel lets these tests finish.
const char* kEndlessSqlite =
    "select count(*) from (with recursive c(x) as (select 1 union all select x+1 from c) select x from c "
    "where x < 0 limit 1)";

TEST_F(ScratchDb, CancelAndFreeDuringAsynchronousOpen)
{
    {
        TQuery q(&mgr->OpenConnection(), ckStatic);
        q.SetSQL(QString::fromUtf8(kEndlessSqlite));
        bool completed = false;
        q.AfterOpen = [&] { completed = true; };
        q.OnOpenError = [&](const QString&) { completed = true; };
        q.OpenAsync();
        WaitFor([] { return false; }, 300);
        q.Close(); // cancels and joins
        EXPECT_FALSE(q.Active());
        EXPECT_FALSE(q.Executing());
        WaitFor([] { return false; }, 100);
        EXPECT_FALSE(completed); // a cancelled open reports nothing
    }
    // Freed mid-query, with the manager and its connection after it.
    auto q = std::make_unique<TQuery>(&mgr->OpenConnection(), ckStatic);
    q->SetSQL(QString::fromUtf8(kEndlessSqlite));
    q->OpenAsync();
    WaitFor([] { return false; }, 200);
    q.reset();
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select 5")).toInt(), 5); // the connection still works
    mgr.reset();
}

// A cancel that comes between the count run ahead of a page and the page itself finds no
// statement running (a server ignores it there): the page must not be begun, else it would
// run to its end with nobody left to stop it.
TEST_F(ScratchDb, CancelAfterThePreludeStopsTheStatementBeforeItBegins)
{
    TQuery q(&mgr->OpenConnection(), ckStatic);
    q.SetSQL(QString::fromUtf8(kEndlessSqlite));
    // The prelude's mode is switched off on the worker once the count is done: the cancel
    // comes at that very moment.
    q.SetPreludeSQL(QStringLiteral("select count(*) from t_many"), [&q](bool on) {
        if (!on)
            q.Cancel();
    });
    QString error;
    bool opened = false;
    q.AfterOpen = [&] { opened = true; };
    q.OnOpenError = [&](const QString& m) { error = m; };
    q.OpenAsync();
    EXPECT_TRUE(WaitFor([&] { return opened || !error.isEmpty(); }, 5000)) << "the statement was begun";
    EXPECT_FALSE(opened);
    EXPECT_TRUE(error.contains(QStringLiteral("cancel"), Qt::CaseInsensitive)) << error.toStdString();
    EXPECT_EQ(q.PreludeValue().toInt(), 1000);
    q.Close(); // a statement begun after all is stopped here
}

// ---------------------------------------------------------------------------------------
// PostgreSQL

// The program's sessions cannot change the audited database: a statement that writes
// fails, and so does a read through a view whose function writes; the file or table is as
// it was. (The tests' own managers may write: they build the fixtures.)
TEST(ReadOnlySessions, NothingCanBeWritten)
{
    const struct {
        const char* name;
        TDbType type;
        QString dsn;
        const char* refusal; // part of the engine's message
    } engines[] = {
        {"SQLite", dbSqlite, kScratchDsn, "readonly database"},
        {"PostgreSQL", dbPostgres, kScratchPgDsn, "read-only transaction"},
    };
    for (const auto& e : engines) {
        SCOPED_TRACE(e.name);
        auto writer = TestManager(e.type, e.dsn);
        const bool pg = e.type == dbPostgres;
        for (const char* sql : {"drop view if exists v_writes", "drop table if exists t_written",
                                "create table t_written (n integer)"})
            writer->FastSql(QString::fromUtf8(sql));
        if (pg) {
            writer->FastSql(QStringLiteral("create or replace function f_writes() returns integer language sql volatile "
                                           "as $$ insert into t_written values (1); select 1 $$"));
            writer->FastSql(QStringLiteral("create view v_writes as select f_writes() as x"));
        }
        const QString file = pg ? QString() : OdbcDataSourceSetting(e.dsn, "Database");
        auto fileBytes = [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = pg ? QByteArray() : fileBytes();
        writer.reset(); // no other session holds the database

        TSqlDBModel model = TestModel(e.type, e.dsn);
        auto program = TSqlDataModule::CreateManager(&model);
        QStringList statements = {QStringLiteral("insert into t_written values (2)"),
                                  QStringLiteral("create table t_new (n integer)"),
                                  QStringLiteral("drop table t_written")};
        if (pg)
            statements << QStringLiteral("select x from v_writes");
        for (const QString& sql : statements) {
            SCOPED_TRACE(sql.toStdString());
            try {
                program->FastSql(sql);
                ADD_FAILURE() << "the statement went through";
            } catch (const Exception& ex) {
                EXPECT_TRUE(ex.Message().contains(QLatin1String(e.refusal))) << ex.Message().toStdString();
            }
        }
        EXPECT_EQ(program->FastSql(QStringLiteral("select count(*) from t_written")).toInt(), 0); // reading works
        program.reset();
        if (pg)
            EXPECT_EQ(TestManager(e.type, e.dsn)->FastSql(QStringLiteral("select count(*) from t_written")).toInt(), 0);
        else
            EXPECT_EQ(fileBytes(), before);
    }
}

TEST(PostgresDataLayer, FieldTypesValuesAndTexts)
{
    auto mgr = TestManager(dbPostgres);
    TQuery q(&mgr->OpenConnection(), ckStatic);
    q.SetSQL(QStringLiteral(
        "select 7::int as i, 9000000000::bigint as b, 3::smallint as s, 1.5::float8 as f, 12.5::numeric(12,2) as m, "
        "1.25::numeric(30,10) as big, date '2026-03-01' as d, time '10:11:12' as t, "
        "timestamp '2026-03-01 10:11:12' as ts, timestamp '2026-03-02 00:00:00' as midnight, "
        "'Текст'::varchar(10) as v, true as flag, null::int as nothing"));
    q.Open();
    struct Expect {
        const char* name;
        TFieldType type;
        const char16_t* text;
        TAlignment align;
    };
    const Expect expect[] = {
        {"i", ftInteger, u"7", taRightJustify},
        {"b", ftLargeint, u"9000000000", taRightJustify},
        {"s", ftSmallint, u"3", taRightJustify},
        {"f", ftFloat, u"1.5", taRightJustify},
        {"m", ftBCD, u"12.50", taRightJustify},
        {"big", ftFMTBcd, u"1.2500000000", taRightJustify},
        {"d", ftDate, u"01.03.2026", taLeftJustify},
        {"t", ftTime, u"10:11:12", taLeftJustify},
        {"ts", ftDateTime, u"01.03.2026 10:11:12", taLeftJustify},
        {"midnight", ftDateTime, u"02.03.2026", taLeftJustify},
        {"v", ftWideString, u"Текст", taLeftJustify},
        {"flag", ftBoolean, u"True", taLeftJustify},
        {"nothing", ftInteger, u"", taRightJustify},
    };
    ASSERT_EQ(q.FieldCount(), int(std::size(expect)));
    for (int i = 0; i < q.FieldCount(); ++i) {
        const TField& f = q.Fields(i);
        SCOPED_TRACE(expect[i].name);
        EXPECT_EQ(f.FieldName(), QString::fromUtf8(expect[i].name));
        EXPECT_STREQ(FieldTypeName(f.DataType()), FieldTypeName(expect[i].type));
        EXPECT_EQ(f.AsString(), QString::fromUtf16(expect[i].text));
        EXPECT_EQ(f.Alignment, expect[i].align);
    }
    EXPECT_EQ(q.Fields(1).Value().toLongLong(), 9000000000LL);
    EXPECT_DOUBLE_EQ(q.Fields(4).Value().toDouble(), 12.5);
    EXPECT_EQ(q.Fields(6).Value().toDate(), QDate(2026, 3, 1));
    EXPECT_EQ(q.Fields(8).Value().toDateTime().time(), QTime(10, 11, 12));
    EXPECT_FALSE(q.Fields(12).Value().isValid());
    EXPECT_TRUE(q.Fields(12).IsNull());

    q.Fields(4).DisplayFormat = QStringLiteral("#,##0.00");
    EXPECT_EQ(q.Fields(4).DisplayText(), QStringLiteral("12.50"));
    q.Fields(1).DisplayFormat = QStringLiteral("#,##0");
    EXPECT_EQ(q.Fields(1).DisplayText(), QStringLiteral("9,000,000,000"));
    q.Fields(6).DisplayFormat = QStringLiteral("yyyy-MM-dd");
    EXPECT_EQ(q.Fields(6).DisplayText(), QStringLiteral("2026-03-01"));
}

TEST(PostgresDataLayer, LoginFailuresCarryTheDriversMessage)
{
    TSqlDBModel m = TestModel(dbPostgres);
    m.Password = QStringLiteral("wrong");
    auto mgr = TSqlDataModule::CreateManager(&m);
    try {
        mgr->OpenConnection();
        FAIL() << "connected with a wrong password";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("password authentication failed"))) << e.what();
    }

    // A password that would add keywords if it were pasted into the connect string
    // reaches the server as one value: a login failure, not a changed connection.
    m.Password = QStringLiteral("x;UID=postgres;PWD=");
    mgr = TSqlDataModule::CreateManager(&m);
    try {
        mgr->OpenConnection();
        FAIL() << "connected";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("password authentication failed for user \"dba\"")))
            << e.what();
    }
}

// A session the server ends (its backend terminated): the error says so once; no record
// without a text of its own adds a line of a bare SQLSTATE.
TEST(PostgresDataLayer, ATerminatedSessionIsSaidOnce)
{
    TSqlDBModel m = TestModel(dbPostgres);
    auto session = TSqlDataModule::CreateManager(&m);
    const int pid = session->FastSql(QStringLiteral("select pg_backend_pid()")).toInt();
    TestManager(dbPostgres)->FastSql(QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
    try {
        session->FastSql(QStringLiteral("select 1"));
        FAIL() << "the terminated session answered";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(IsConnectionLost(e.SqlState())) << e.SqlState().toStdString();
        for (const QString& line : e.Message().split(u'\n'))
            EXPECT_FALSE(QRegularExpression(QStringLiteral("^\\[[0-9A-Z]{5}\\] *$")).match(line).hasMatch())
                << e.what();
    }
}

// A server that takes the connection and never answers the login (a socket that listens
// and nothing more): the attempt is given up with the driver's message, it does not hang.
TEST(PostgresDataLayer, ASilentServerIsGivenUpAtLogin)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    struct TClose {
        int Fd;
        ~TClose() { ::close(Fd); }
    } closeListener{listener};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    TSqlDBModel m = TestModel(dbPostgres);
    auto mgr = TSqlDataModule::CreateManager(&m);
    std::vector<TOdbcConnectParam> params = mgr->Connection().Params();
    params.push_back({QStringLiteral("Port"), QString::number(ntohs(address.sin_port))});
    mgr->Connection().SetParams(std::move(params));
    try {
        mgr->OpenConnection();
        FAIL() << "connected to a socket that never answers";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("timeout"), Qt::CaseInsensitive)) << e.what();
    }
}

TEST(PostgresDataLayer, PasswordsWithConnectStringSyntaxWork)
{
    auto admin = TestManager(dbPostgres);
    const QString odd = QStringLiteral("p;{w}=d");
    admin->FastSql(QStringLiteral("drop role if exists audit_odd_login"));
    admin->FastSql(QStringLiteral("create role audit_odd_login login password 'p;{w}=d'"));
    TSqlDBModel m = TestModel(dbPostgres);
    m.UserName = QStringLiteral("audit_odd_login");
    m.Password = odd;
    auto mgr = TSqlDataModule::CreateManager(&m);
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select current_user")).toString(), QStringLiteral("audit_odd_login"));
    mgr.reset();
    admin->FastSql(QStringLiteral("drop role audit_odd_login"));
}

TEST(PostgresDataLayer, CatalogueTestsAndCancel)
{
    auto mgr = TestManager(dbPostgres);
    EXPECT_TRUE(mgr->IsTableExists(QStringLiteral("SalesSummaryAudit")));
    EXPECT_TRUE(mgr->IsTableExists(QStringLiteral("UserFilterAudit")));
    EXPECT_FALSE(mgr->IsTableExists(QStringLiteral("NoSuchAudit")));
    EXPECT_FALSE(mgr->IsTableExists(QStringLiteral("x' or '1'='1")));
    EXPECT_TRUE(mgr->IsFieldExist(QStringLiteral("SalesSummaryAudit"), QStringLiteral("EndDocDate")));
    EXPECT_FALSE(mgr->IsFieldExist(QStringLiteral("SalesSummaryAudit"), QStringLiteral("Nope")));
    // Not a SELECT by its first six characters: run without a result set.
    EXPECT_FALSE(mgr->FastSql(QStringLiteral("(select 1)")).isValid());

    auto q = std::make_unique<TQuery>(&mgr->OpenConnection(), ckStatic);
    q->SetSQL(QStringLiteral("select pg_sleep(3600)"));
    QString error;
    q->OnOpenError = [&](const QString& m) { error = m; };
    q->OpenAsync();
    WaitFor([] { return false; }, 300);
    q->Close();
    EXPECT_FALSE(q->Executing());
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(mgr->FastSql(QStringLiteral("select 1 + 1")).toInt(), 2);
    q->OpenAsync(); // freed while running
    WaitFor([] { return false; }, 200);
    q.reset();
    mgr.reset();
}

} // namespace
