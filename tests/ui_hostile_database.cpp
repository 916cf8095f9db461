// A database that tries to write through the program's session: a view whose function turns
// the session's read-only default off while it is read and then writes wherever the
// transaction lets it, read by the report window and by the exporter.
#include "ExporterRun.h"
#include "ReportWindowFixture.h"

namespace {

// A copy of the demo database under a data source of its own ("AuditHostilePg"), whose
// items view calls `function` for every row. The functions:
//   lift_and_write()  sets default_transaction_read_only off for the session (as a view's
//                     function may), then writes a row into HostileLog when its own
//                     transaction is not read-only
//   write_always()    writes a row into HostileLog
class HostileDatabase : public ReportWindow {
protected:
    void SetUp() override
    {
        const QString demoDb = OdbcDataSourceSetting(kPostgresDsn, "Database");
        {
            auto admin = TestManager(dbPostgres, kScratchPgDsn);
            admin->FastSql(QStringLiteral("DROP DATABASE IF EXISTS audithostile_test"));
            admin->FastSql(QStringLiteral("CREATE DATABASE audithostile_test TEMPLATE %1").arg(demoDb));
        }
        ini = dir.filePath(QStringLiteral("odbc.ini"));
        WriteFile(ini, ReadAll(TestDataDir() + QStringLiteral("/odbc.ini")) +
                           "\n[AuditHostilePg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                           OdbcDataSourceSetting(kPostgresDsn, "Port").toUtf8() + "\nDatabase=audithostile_test\n");
        oldIni = qgetenv("ODBCINI");
        qputenv("ODBCINI", ini.toUtf8());
        db = TestManager(dbPostgres, kDsn);
        for (const char* sql : {
                 "create table HostileLog (n integer)",
                 "create function lift_and_write() returns boolean language plpgsql volatile as $$ "
                 "begin perform set_config('default_transaction_read_only', 'off', false); "
                 "if current_setting('transaction_read_only') = 'off' then insert into HostileLog values (1); end if; "
                 "return true; end $$",
                 "create function write_always() returns boolean language plpgsql volatile as $$ "
                 "begin insert into HostileLog values (2); return true; end $$",
                 "alter view ItemsAudit rename to ItemsBase"})
            db->FastSql(QString::fromUtf8(sql));
        Use("lift_and_write");
    }
    void TearDown() override
    {
        db.reset();
        qputenv("ODBCINI", oldIni);
        TestManager(dbPostgres, kScratchPgDsn)->FastSql(QStringLiteral("DROP DATABASE IF EXISTS audithostile_test"));
        ReportWindow::TearDown();
    }
    void Use(const char* function)
    {
        db->FastSql(QStringLiteral("create or replace view ItemsAudit as select * from ItemsBase where %1()")
                        .arg(QLatin1String(function)));
    }
    int Written() { return db->FastSql(QStringLiteral("select count(*) from HostileLog")).toInt(); }
    qint64 Items() { return db->FastSql(QStringLiteral("select count(*) from ItemsBase")).toLongLong(); }

    static inline const QString kDsn = QStringLiteral("AuditHostilePg");
    QTemporaryDir dir;
    QString ini;
    QByteArray oldIni;
    std::unique_ptr<TSqlDataManager> db;
};

// Pages, the count before each, a page size changed and the report run again: every
// statement of the window follows one whose function turned the session's default off,
// and none of them writes.
TEST_F(HostileDatabase, AViewCannotMakeTheWindowsSessionWrite)
{
    const qint64 items = Items();
    ASSERT_GT(items, 200); // pages of 100
    auto form = Open<TItemsForm>(dbPostgres, kDsn);
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), items);
    for (QPushButton* page : {form->NextPageButton, form->LastPageButton, form->FirstPageButton}) {
        page->click();
        ASSERT_TRUE(WaitIdle(*form));
    }
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), items);
    EXPECT_EQ(Written(), 0);

    // A function that writes outright fails with the server's read-only error.
    Use("write_always");
    dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
    form->ReportButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return dialogs.seen.size() == 1; }));
    EXPECT_TRUE(dialogs.seen[0].contains(QStringLiteral("read-only transaction"))) << dialogs.seen[0].toStdString();
    dialogs.seen.clear();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(Written(), 0);
}

// The exporter: the count, then the rows on a server cursor, each in a read-only
// transaction; the one that meets a writing function fails and leaves no file.
TEST_F(HostileDatabase, AViewCannotMakeTheExportersSessionWrite)
{
    const QStringList source{"--dsn", kDsn, "--user", kPgUser, "--password", kPgPassword,
                             "--report", "items", "--format", "csv", "--output"};
    const QString file = dir.filePath(QStringLiteral("items.csv"));
    ExportRun r = RunExporter(source + QStringList{file}, ini);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ReadAll(file).count("\r\n"), Items() + 1);
    EXPECT_EQ(Written(), 0);

    Use("write_always");
    const QString second = dir.filePath(QStringLiteral("written.csv"));
    r = RunExporter(source + QStringList{second}, ini);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("read-only transaction"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_EQ(Written(), 0);
}

} // namespace
