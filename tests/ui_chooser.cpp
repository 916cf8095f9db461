// The data source chooser against the real unixODBC enumeration over odbc.ini files
// written by the tests, with real widgets on the offscreen platform.

#include "db/ChooseDBUnit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <sql.h>
#include <sqlext.h>
#include <utility>
#include <vector>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

struct TDsnEntry {
    QString Name;
    QString Driver; // empty: the section has no Driver= line
};
using TDsnList = std::vector<TDsnEntry>;

// The system odbc.ini of the tests: $ODBCSYSINI/odbc.ini. unixODBC reads ODBCSYSINI once per
// process, at its first look at the configuration, so one directory serves every test of
// the process; it also holds a copy of the real odbcinst.ini, for tests that connect later.
QString SystemIniDir()
{
    static QTemporaryDir dir;
    static const bool prepared = [] {
        const QByteArray realDir =
            qEnvironmentVariableIsSet("ODBCSYSINI") ? qgetenv("ODBCSYSINI") : QByteArray("/etc");
        QFile::copy(QFile::decodeName(realDir) + QStringLiteral("/odbcinst.ini"),
                    dir.filePath(QStringLiteral("odbcinst.ini")));
        return true;
    }();
    Q_UNUSED(prepared);
    return dir.path();
}

void WriteIni(const QString& path, const TDsnList& dsns)
{
    QString text;
    for (const TDsnEntry& d : dsns) {
        text += QLatin1Char('[') + d.Name + QStringLiteral("]\n");
        if (!d.Driver.isEmpty())
            text += QStringLiteral("Driver=") + d.Driver + QLatin1Char('\n');
        text += QStringLiteral("Database=/nonexistent/db\n\n");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(text.toUtf8());
}

// The system data source names unixODBC reports at this moment.
QStringList SystemDsnNames()
{
    QStringList names;
    SQLHENV env = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[1024];
    SQLCHAR driver[1024];
    SQLUSMALLINT direction = SQL_FETCH_FIRST_SYSTEM;
    while (SQLDataSources(env, direction, name, sizeof name, nullptr, driver, sizeof driver, nullptr) == SQL_SUCCESS) {
        names << QString::fromUtf8(reinterpret_cast<const char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

// Every test runs with a user odbc.ini of its own (ODBCINI, read by unixODBC at every
// enumeration) and the shared system odbc.ini, emptied before and after; both variables
// are restored afterwards. unixODBC also remembers each data source's Driver= value for
// about 20 seconds, by name: a data source name keeps one driver in all these tests. The
// drivers named need not be installed: the enumeration reads only odbc.ini.
class Chooser : public ::testing::Test {
protected:
    void SetUp() override
    {
        Save("ODBCINI", FOldIni);
        Save("ODBCSYSINI", FOldSysIni);
        ASSERT_TRUE(FUserDir.isValid());
        qputenv("ODBCINI", QFile::encodeName(FUserDir.filePath(QStringLiteral("odbc.ini"))));
        qputenv("ODBCSYSINI", QFile::encodeName(SystemIniDir()));

        // Whether unixODBC reads our system file, or one it settled on earlier in the process.
        static int probes = 0;
        const QString probe = QStringLiteral("Probe %1").arg(++probes);
        WriteIni(SystemIniDir() + QStringLiteral("/odbc.ini"), {{probe, QStringLiteral("SQLite3")}});
        FOwnSystemIni = SystemDsnNames() == QStringList{probe};
        SetSystem({});
        if (!FOwnSystemIni && !SystemDsnNames().isEmpty())
            GTEST_SKIP() << "unixODBC reads a system odbc.ini with data sources, chosen earlier in this process";
    }
    void TearDown() override
    {
        if (FOwnSystemIni)
            WriteIni(SystemIniDir() + QStringLiteral("/odbc.ini"), {});
        Restore("ODBCINI", FOldIni);
        Restore("ODBCSYSINI", FOldSysIni);
    }

    void SetUser(const TDsnList& dsns) { WriteIni(FUserDir.filePath(QStringLiteral("odbc.ini")), dsns); }
    void SetSystem(const TDsnList& dsns)
    {
        if (FOwnSystemIni)
            WriteIni(SystemIniDir() + QStringLiteral("/odbc.ini"), dsns);
    }
    void RemoveFiles()
    {
        QFile::remove(FUserDir.filePath(QStringLiteral("odbc.ini")));
        if (FOwnSystemIni)
            QFile::remove(SystemIniDir() + QStringLiteral("/odbc.ini"));
    }
    // False when unixODBC settled on another system file earlier in the process (one without
    // data sources, or the test is skipped): SetSystem then writes nothing.
    bool OwnSystemIni() const { return FOwnSystemIni; }

private:
    using TSaved = std::pair<bool, QByteArray>;
    static void Save(const char* name, TSaved& saved) { saved = {qEnvironmentVariableIsSet(name), qgetenv(name)}; }
    static void Restore(const char* name, const TSaved& saved)
    {
        if (saved.first)
            qputenv(name, saved.second);
        else
            qunsetenv(name);
    }

    QTemporaryDir FUserDir;
    TSaved FOldIni;
    TSaved FOldSysIni;
    bool FOwnSystemIni = false;
};

QStringList Texts(const TChooseDBForm& form)
{
    QStringList texts;
    for (int i = 0; i < form.lbDSN->count(); ++i)
        texts << form.lbDSN->item(i)->text();
    return texts;
}

// Descriptor of entry `row`, read the way the dialog reads it: through the selection.
const TSqlDBModel* ModelAt(TChooseDBForm& form, int row)
{
    form.lbDSN->setCurrentRow(row);
    return form.GetCurrentDbModel();
}

bool WaitFor(const std::function<bool()>& condition, int ms = 2000)
{
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < ms)
        QTest::qWait(10);
    return condition();
}

// Calls `answer` with the next modal widget as soon as one is shown (the caller then runs
// the code that shows it). A modal widget the answer leaves open is closed, as a failure.
class TModalAnswer {
public:
    explicit TModalAnswer(std::function<void(QWidget*)> answer) : FAnswer(std::move(answer))
    {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            FTimer.stop();
            Answered = true;
            EXPECT_TRUE(QTest::qWaitForWindowActive(modal)) << "the modal window never became active";
            FAnswer(modal);
            if (modal->isVisible()) {
                ADD_FAILURE() << "the answer left " << modal->metaObject()->className() << " open";
                modal->close();
            }
        });
        FTimer.start();
    }
    bool Answered = false;

private:
    std::function<void(QWidget*)> FAnswer;
    QTimer FTimer;
};

// TChooseDBForm::Run answered by `answer`; `shown` tells whether the dialog appeared.
bool RunChooser(TSqlDBModel& model, const std::function<void(TChooseDBForm&)>& answer, bool* shown = nullptr)
{
    if (shown)
        *shown = false;
    TModalAnswer modal([&](QWidget* w) {
        if (shown)
            *shown = true;
        auto* form = qobject_cast<TChooseDBForm*>(w);
        if (!form) {
            ADD_FAILURE() << "unexpected modal widget " << w->metaObject()->className();
            return;
        }
        answer(*form);
    });
    return TChooseDBForm::Run(model);
}

void ExpectUntouched(const TSqlDBModel& m)
{
    EXPECT_EQ(m.DSN, QStringLiteral("Kept"));
    EXPECT_EQ(m.ProviderDescr(), QStringLiteral("PostgreSQL Unicode"));
    EXPECT_EQ(m.DbType(), dbPostgres);
    EXPECT_EQ(m.UserName, QStringLiteral("dba"));
    EXPECT_EQ(m.Password, QStringLiteral("secret"));
}

TSqlDBModel KeptModel()
{
    TSqlDBModel m(QStringLiteral("Kept"), QStringLiteral("PostgreSQL Unicode"));
    m.UserName = QStringLiteral("dba");
    m.Password = QStringLiteral("secret");
    return m;
}

// Data sources that must never be listed: the seven samples (with a supported driver) and
// drivers that are not exactly one of the supported descriptions.
const TDsnList kNeverListed = {
    {QStringLiteral("ASA 9.0 Client Sample"), QStringLiteral("Adaptive Server Anywhere 9.0")},
    {QStringLiteral("ASA 9.0 Sample"), QStringLiteral("Adaptive Server Anywhere 9.0")},
    {QStringLiteral("SQL Anywhere 10 CustDB"), QStringLiteral("SQL Anywhere 10")},
    {QStringLiteral("SQL Anywhere 10 Demo"), QStringLiteral("SQL Anywhere 10")},
    {QStringLiteral("QAnywhere 10 Demo"), QStringLiteral("SQL Anywhere 10")},
    {QStringLiteral("QAnywhere 9.0 Sample"), QStringLiteral("Adaptive Server Anywhere 9.0")},
    {QStringLiteral("UltraLite 9.0 Sample"), QStringLiteral("Adaptive Server Anywhere 9.0")},
    {QStringLiteral("Later Version"), QStringLiteral("SQL Anywhere 12")},
    {QStringLiteral("Lower Case Driver"), QStringLiteral("sql anywhere 11")},
    {QStringLiteral("Pg Ansi"), QStringLiteral("PostgreSQL ANSI")},
    {QStringLiteral("Plain SQLite"), QStringLiteral("SQLite")},
    {QStringLiteral("No Driver Line"), QString()},
};

} // namespace

TEST_F(Chooser, ListsSupportedDataSourcesSortedWithoutSamples)
{
    TDsnList user = kNeverListed;
    user.insert(user.end(), {
        {QStringLiteral("Shop Demo"), QStringLiteral("SQL Anywhere 10")}, // a sample's entry, renamed
        {QStringLiteral("sql anywhere 10 demo"), QStringLiteral("SQL Anywhere 10")}, // names match exactly
        {QStringLiteral("Shop Sa11"), QStringLiteral("SQL Anywhere 11")},
        {QStringLiteral("shop lite"), QStringLiteral("SQLite3")},
        {QStringLiteral("Продажби"), QStringLiteral("PostgreSQL Unicode")},
        {QStringLiteral("Shop Asa"), QStringLiteral("Adaptive Server Anywhere 9.0")},
        {QStringLiteral("Till Lite"), QStringLiteral("SQLite3")},
    });
    SetUser(user);

    TChooseDBForm form;
    form.FillDataSources();

    // Alphabetical without regard to letter case, Latin before Cyrillic.
    const QStringList expected = {QStringLiteral("Shop Asa"), QStringLiteral("Shop Demo"),
                                  QStringLiteral("shop lite"), QStringLiteral("Shop Sa11"),
                                  QStringLiteral("sql anywhere 10 demo"), QStringLiteral("Till Lite"),
                                  QStringLiteral("Продажби")};
    ASSERT_EQ(Texts(form), expected);

    ASSERT_NE(form.GetCurrentDbModel(), nullptr);
    EXPECT_EQ(form.GetCurrentDbModel()->DSN, QStringLiteral("Shop Asa"));
    EXPECT_EQ(form.lbDSN->currentRow(), 0);

    struct {
        const char16_t* Descr;
        TDbType Type;
    } const descriptors[] = {
        {u"Adaptive Server Anywhere 9.0", dbSybase}, {u"SQL Anywhere 10", dbSybase},
        {u"SQLite3", dbSqlite}, {u"SQL Anywhere 11", dbSybase}, {u"SQL Anywhere 10", dbSybase},
        {u"SQLite3", dbSqlite}, {u"PostgreSQL Unicode", dbPostgres},
    };
    for (int row = 0; row < int(expected.size()); ++row) {
        SCOPED_TRACE(expected[row].toStdString());
        const TSqlDBModel* m = ModelAt(form, row);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->DSN, expected[row]);
        EXPECT_EQ(m->ProviderDescr(), QString::fromUtf16(descriptors[row].Descr));
        EXPECT_EQ(m->DbType(), descriptors[row].Type);
        EXPECT_TRUE(m->UserName.isEmpty());
        EXPECT_TRUE(m->Password.isEmpty());
    }
}

TEST_F(Chooser, UserAndSystemDataSourceOfOneNameAreBothListed)
{
    if (!OwnSystemIni())
        GTEST_SKIP() << "unixODBC settled on another system odbc.ini earlier in this process";
    SetUser({{QStringLiteral("Общ склад"), QStringLiteral("PostgreSQL Unicode")}});
    SetSystem({{QStringLiteral("Общ склад"), QStringLiteral("SQLite3")},
               {QStringLiteral("Sys Only"), QStringLiteral("SQLite3")}});

    TChooseDBForm form;
    form.FillDataSources();

    ASSERT_EQ(Texts(form), (QStringList{QStringLiteral("Sys Only"), QStringLiteral("Общ склад"),
                                        QStringLiteral("Общ склад")}));
    // Each entry with the driver of its own file.
    std::set<TDbType> types;
    for (int row : {1, 2})
        types.insert(ModelAt(form, row)->DbType());
    EXPECT_EQ(types, (std::set<TDbType>{dbSqlite, dbPostgres}));
}

TEST_F(Chooser, OverLongNamesAreListedAndDoNotEndTheListing)
{
    // 300 ASCII characters and 200 Cyrillic ones (400 bytes): both beyond 256-byte buffers.
    const QString longAscii(300, QLatin1Char('L'));
    const QString longCyrillic(200, QChar(0x0414));
    SetUser({{QStringLiteral("Before Long"), QStringLiteral("SQLite3")},
             {longAscii, QStringLiteral("SQLite3")},
             {longCyrillic, QStringLiteral("SQLite3")},
             {QStringLiteral("After Long"), QStringLiteral("SQLite3")},
             {QStringLiteral("Still Listed"), QStringLiteral("SQLite3")}});

    TChooseDBForm form;
    form.FillDataSources();

    EXPECT_EQ(Texts(form), (QStringList{QStringLiteral("After Long"), QStringLiteral("Before Long"),
                                        longAscii, QStringLiteral("Still Listed"), longCyrillic}));
}

TEST_F(Chooser, NothingToListLeavesOkInertAndCancelReturnsFalse)
{
    struct {
        const char* Case;
        TDsnList User;
        TDsnList System;
        bool WriteFiles;
    } const cases[] = {
        {"no odbc.ini files", {}, {}, false},
        {"empty odbc.ini files", {}, {}, true},
        {"only samples and unsupported drivers", kNeverListed,
         {{QStringLiteral("UltraLite 9.0 Sample"), QStringLiteral("Adaptive Server Anywhere 9.0")},
          {QStringLiteral("Later Version"), QStringLiteral("SQL Anywhere 12")}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        if (c.WriteFiles) {
            SetUser(c.User);
            SetSystem(c.System);
        } else {
            RemoveFiles();
        }
        for (const bool viaEscape : {true, false}) {
            SCOPED_TRACE(viaEscape ? "Escape" : "Cancel button");
            TSqlDBModel model = KeptModel();
            bool shown = false;
            const bool accepted = RunChooser(model, [&](TChooseDBForm& form) {
                EXPECT_EQ(form.lbDSN->count(), 0);
                EXPECT_EQ(form.GetCurrentDbModel(), nullptr);
                form.btnOk->click();
                QTest::keyClick(form.lbDSN, Qt::Key_Return);
                EXPECT_TRUE(form.isVisible()) << "OK closed an empty chooser";
                if (viaEscape)
                    QTest::keyClick(form.lbDSN, Qt::Key_Escape);
                else
                    form.btnCancel->click();
            }, &shown);
            EXPECT_TRUE(shown);
            EXPECT_FALSE(accepted);
            ExpectUntouched(model);
        }
    }
}

TEST_F(Chooser, AcceptingCopiesTheChosenDescriptorWithoutCredentials)
{
    SetUser({{QStringLiteral("Accept C"), QStringLiteral("SQL Anywhere 11")},
             {QStringLiteral("Accept A"), QStringLiteral("SQLite3")},
             {QStringLiteral("Accept B"), QStringLiteral("PostgreSQL Unicode")}});

    const auto itemCenter = [](TChooseDBForm& f, int row) {
        return f.lbDSN->visualItemRect(f.lbDSN->item(row)).center();
    };
    struct {
        const char* Gesture;
        std::function<void(TChooseDBForm&)> Do;
        QString Dsn;
        QString Descr;
        TDbType Type;
        QString OleProvider;
    } const cases[] = {
        {"Enter on the list, first entry preselected",
         [](TChooseDBForm& f) {
             EXPECT_TRUE(f.lbDSN->hasFocus());
             QTest::keyClick(f.lbDSN, Qt::Key_Return);
         },
         QStringLiteral("Accept A"), QStringLiteral("SQLite3"), dbSqlite, QStringLiteral("MSDASQL")},
        {"OK button after a click on the third entry",
         [&](TChooseDBForm& f) {
             QTest::mouseClick(f.lbDSN->viewport(), Qt::LeftButton, {}, itemCenter(f, 2));
             f.btnOk->click();
         },
         QStringLiteral("Accept C"), QStringLiteral("SQL Anywhere 11"), dbSybase, QStringLiteral("SAOLEDB.11")},
        {"double click on the second entry",
         [&](TChooseDBForm& f) { QTest::mouseDClick(f.lbDSN->viewport(), Qt::LeftButton, {}, itemCenter(f, 1)); },
         QStringLiteral("Accept B"), QStringLiteral("PostgreSQL Unicode"), dbPostgres, QStringLiteral("MSDASQL")},
        {"double click on the list below the entries",
         [](TChooseDBForm& f) {
             QTest::mouseDClick(f.lbDSN->viewport(), Qt::LeftButton, {},
                                QPoint(20, f.lbDSN->viewport()->height() - 10));
         },
         QStringLiteral("Accept A"), QStringLiteral("SQLite3"), dbSqlite, QStringLiteral("MSDASQL")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Gesture);
        TSqlDBModel model = KeptModel();
        const bool accepted = RunChooser(model, [&](TChooseDBForm& form) {
            ASSERT_EQ(Texts(form), (QStringList{QStringLiteral("Accept A"), QStringLiteral("Accept B"),
                                                QStringLiteral("Accept C")}));
            c.Do(form);
            EXPECT_FALSE(form.isVisible());
        });
        EXPECT_TRUE(accepted);
        EXPECT_EQ(model.DSN, c.Dsn);
        EXPECT_EQ(model.ProviderDescr(), c.Descr);
        EXPECT_EQ(model.DbType(), c.Type);
        EXPECT_EQ(model.OleProvider(), c.OleProvider);
        EXPECT_TRUE(model.UserName.isEmpty());
        EXPECT_TRUE(model.Password.isEmpty());
    }
}

TEST_F(Chooser, RefreshListsAnewAndSelectsTheFirstEntry)
{
    SetUser({{QStringLiteral("Fresh B"), QStringLiteral("SQLite3")},
             {QStringLiteral("Fresh C"), QStringLiteral("SQLite3")}});

    TSqlDBModel model;
    const bool accepted = RunChooser(model, [&](TChooseDBForm& form) {
        ASSERT_EQ(Texts(form), (QStringList{QStringLiteral("Fresh B"), QStringLiteral("Fresh C")}));
        form.lbDSN->setCurrentRow(1);
        // One data source added, one removed while the dialog is open.
        SetUser({{QStringLiteral("Fresh B"), QStringLiteral("SQLite3")},
                 {QStringLiteral("Fresh A"), QStringLiteral("PostgreSQL Unicode")}});
        QTest::mouseClick(form.btnRefresh, Qt::LeftButton); // takes the focus, as a real click does
        EXPECT_EQ(Texts(form), (QStringList{QStringLiteral("Fresh A"), QStringLiteral("Fresh B")}));
        EXPECT_EQ(form.lbDSN->currentRow(), 0);
        EXPECT_TRUE(form.lbDSN->hasFocus());
        QTest::keyClick(form.lbDSN, Qt::Key_Return);
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(model.DSN, QStringLiteral("Fresh A"));
    EXPECT_EQ(model.DbType(), dbPostgres);
}

TEST_F(Chooser, RunAfterACancelledRunReusesTheDialogAndListsAnew)
{
    SetUser({{QStringLiteral("Again B"), QStringLiteral("SQLite3")},
             {QStringLiteral("Again C"), QStringLiteral("SQLite3")}});

    TSqlDBModel model = KeptModel();
    TChooseDBForm* first = nullptr;
    EXPECT_FALSE(RunChooser(model, [&](TChooseDBForm& form) {
        first = &form;
        form.lbDSN->setCurrentRow(1);
        form.btnRefresh->setFocus();
        form.btnCancel->click();
    }));
    ExpectUntouched(model);

    SetUser({{QStringLiteral("Again B"), QStringLiteral("SQLite3")},
             {QStringLiteral("Again C"), QStringLiteral("SQLite3")},
             {QStringLiteral("Again A"), QStringLiteral("SQLite3")}});
    EXPECT_FALSE(RunChooser(model, [&](TChooseDBForm& form) {
        EXPECT_EQ(&form, first);
        EXPECT_EQ(Texts(form), (QStringList{QStringLiteral("Again A"), QStringLiteral("Again B"),
                                            QStringLiteral("Again C")}));
        EXPECT_EQ(form.lbDSN->currentRow(), 0);
        EXPECT_TRUE(form.lbDSN->hasFocus());
        QTest::keyClick(form.lbDSN, Qt::Key_Escape);
    }));
    ExpectUntouched(model);
}

namespace {
SQLSMALLINT gFailingHandleType = 0;
SQLRETURN AllocFailingFor(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output)
{
    if (type == gFailingHandleType) {
        *output = SQL_NULL_HANDLE;
        return SQL_ERROR;
    }
    return SQLAllocHandle(type, input, output);
}

// Makes the driver manager refuse one kind of handle for the life of the object.
class TRefusedHandle {
public:
    explicit TRefusedHandle(SQLSMALLINT type) : FSaved(TChooseDBForm::AllocHandle)
    {
        gFailingHandleType = type;
        TChooseDBForm::AllocHandle = &AllocFailingFor;
    }
    ~TRefusedHandle() { TChooseDBForm::AllocHandle = FSaved; }

private:
    TChooseDBForm::TAllocHandleFn FSaved;
};
} // namespace

TEST_F(Chooser, HandleAllocationFailures)
{
    SetUser({{QStringLiteral("Alloc A"), QStringLiteral("SQLite3")}});
    struct {
        SQLSMALLINT Type;
        const char* Message;
    } const cases[] = {
        {SQL_HANDLE_ENV, "Cannot allocate ODBC handle"},
        {SQL_HANDLE_DBC, "Cannot allocate ODBC connection"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        const QString message = QString::fromLatin1(c.Message);

        // Listing: the exception, with the list already empty.
        TChooseDBForm form;
        form.FillDataSources();
        ASSERT_EQ(form.lbDSN->count(), 1);
        {
            TRefusedHandle refused(c.Type);
            try {
                form.FillDataSources();
                ADD_FAILURE() << "no EODBCError";
            } catch (const EODBCError& e) {
                EXPECT_EQ(e.Message(), message);
            }
        }
        EXPECT_EQ(form.lbDSN->count(), 0);
        EXPECT_EQ(form.GetCurrentDbModel(), nullptr);

        // Refresh: an error box with the message; the dialog stays open with an empty list.
        form.FillDataSources();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QString shownText;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        {
            TRefusedHandle refused(c.Type);
            TModalAnswer answer([&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                ASSERT_NE(box, nullptr);
                shownText = box->text();
                shownIcon = box->icon();
                box->button(QMessageBox::Ok)->click();
            });
            form.btnRefresh->click();
            EXPECT_TRUE(answer.Answered);
        }
        EXPECT_EQ(shownText, message);
        EXPECT_EQ(shownIcon, QMessageBox::Critical);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.lbDSN->count(), 0);
        form.hide();

        // Run (at start-up too): the error box, then the chooser all the same, empty, and
        // Refresh fills it once the driver manager answers again.
        TSqlDBModel model = KeptModel();
        QStringList seen;
        int listed = -1;
        bool accepted = false;
        {
            TRefusedHandle refused(c.Type);
            QTimer poll;
            poll.setInterval(5);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* b = qobject_cast<QMessageBox*>(modal)) {
                    seen << b->text();
                    EXPECT_EQ(b->icon(), QMessageBox::Critical);
                    b->button(QMessageBox::Ok)->click();
                } else if (auto* form = qobject_cast<TChooseDBForm*>(modal)) {
                    seen << QStringLiteral("chooser");
                    EXPECT_EQ(form->lbDSN->count(), 0);
                    TChooseDBForm::AllocHandle = &SQLAllocHandle; // the driver manager answers again
                    form->btnRefresh->click();
                    listed = form->lbDSN->count();
                    form->btnOk->click();
                }
            });
            poll.start();
            accepted = TChooseDBForm::Run(model);
        }
        EXPECT_EQ(seen, (QStringList{message, QStringLiteral("chooser")}));
        EXPECT_EQ(listed, 1);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(model.DSN, QStringLiteral("Alloc A"));
    }
}

TEST_F(Chooser, LayoutFollowsTheWindowSize)
{
    SetUser({{QStringLiteral("Layout A"), QStringLiteral("SQLite3")}});
    TChooseDBForm form;
    form.FillDataSources();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Избор на база данни"));
    EXPECT_EQ(form.size(), QSize(400, 399));
    EXPECT_TRUE(form.btnOk->isDefault());
    EXPECT_EQ(form.btnOk->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.btnCancel->text(), QStringLiteral("Отказ"));
    EXPECT_EQ(form.btnRefresh->text(), QStringLiteral("Опресни"));
    for (QPushButton* b : {form.btnOk, form.btnCancel, form.btnRefresh})
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();

    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE((form.frameGeometry().center() - screen.center()).manhattanLength(), 2) << "not centred";

    struct {
        QSize Size;
        QRect List;
        int ButtonLeft;
    } const sizes[] = {
        {QSize(400, 399), QRect(8, 8, 265, 383), 288},
        {QSize(640, 500), QRect(8, 8, 505, 484), 528},
    };
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.Size.width());
        form.resize(s.Size);
        EXPECT_TRUE(WaitFor([&] { return form.lbDSN->geometry() == s.List; }))
            << "list at " << form.lbDSN->geometry().x() << "," << form.lbDSN->geometry().y() << " "
            << form.lbDSN->geometry().width() << "x" << form.lbDSN->geometry().height();
        EXPECT_EQ(form.btnOk->geometry(), QRect(s.ButtonLeft, 24, 104, 25));
        EXPECT_EQ(form.btnCancel->geometry(), QRect(s.ButtonLeft, 55, 104, 25));
        EXPECT_EQ(form.btnRefresh->geometry(), QRect(s.ButtonLeft, 128, 104, 25));
    }
}
