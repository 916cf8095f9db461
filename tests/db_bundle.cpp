// The evidence bundle of auditor-export --all: every report of both demo databases read back
// (checksums, counts against the engine, each file equal to the report's own export), one
// state of the database while new rows are written, and failures that leave no folder.
#include "ExporterRun.h"
#include "TestSupport.h"
#include "app/ExportBundleUnit.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "db/QueryUnit.h"
#include "export/ZipReadBackUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Everything in a folder, hidden entries and folders included.
QStringList EntriesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The records of the report for `filters`, counted by the engine itself.
qint64 EngineCount(TDbType type, const TReportListItem& report, const TReportFilters& filters)
{
    QString reportSql, countSql;
    TRepository(type).FillReportQuery(report.Kind, reportSql, countSql, filters);
    return TestManager(type)->FastSql(countSql).toLongLong();
}

QJsonObject Manifest(const QString& dir)
{
    return QJsonDocument::fromJson(ReadAll(dir + QStringLiteral("/manifest.json"))).object();
}

// sha256sum -c in the folder: its exit code.
int CheckSums(const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), QStringLiteral("--quiet"), QStringLiteral("SHA256SUMS")});
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

class Bundle : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return out.filePath(name); }
    QTemporaryDir out;
};

// On both engines, with a period and a store asked for: twelve files whose checksums
// sha256sum accepts, each with the filters its window offers, as many records as the engine
// counts for them, and the very bytes of the report's own export; the manifest says where
// they come from and never holds the password.
TEST_F(Bundle, EveryReportReadBackOnBothEngines)
{
    const QStringList filterArgs = {"--from", "2025-01-01", "--to", "2025-12-31", "--store", "1"};
    TReportFilters asked;
    asked.FromDate = DateToDays(QDate(2025, 1, 1));
    asked.ToDate = DateToDays(QDate(2025, 12, 31));
    asked.StoreN = 1;
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "SQLite" : "PostgreSQL");
        const QString dir = Path(type == dbSqlite ? QStringLiteral("sqlite") : QStringLiteral("pg"));
        const ExportRun r = RunExporter(Source(type) + QStringList{"--all", "--output-dir", dir} + filterArgs);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("12 reports"))) << r.err.toStdString();
        EXPECT_EQ(CheckSums(dir), 0);

        const QJsonObject m = Manifest(dir);
        EXPECT_EQ(m[QStringLiteral("program")].toString(), QStringLiteral("auditor-export"));
        EXPECT_EQ(m[QStringLiteral("version")].toString(), QStringLiteral(AUDITOR_VERSION));
        const QJsonObject source = m[QStringLiteral("data_source")].toObject();
        EXPECT_EQ(source[QStringLiteral("name")].toString(), type == dbSqlite ? kSqliteDsn : kPostgresDsn);
        EXPECT_EQ(source[QStringLiteral("engine")].toString(), type == dbSqlite ? "sqlite" : "postgres");
        EXPECT_EQ(source[QStringLiteral("isolation")].toString(),
                  type == dbSqlite ? "SERIALIZABLE (one read transaction)" : "REPEATABLE READ, READ ONLY");
        EXPECT_FALSE(source[QStringLiteral("driver")].toString().isEmpty());
        EXPECT_FALSE(source[QStringLiteral("database")].toString().isEmpty());
        if (type == dbPostgres) {
            EXPECT_EQ(source[QStringLiteral("server")].toString(), QStringLiteral("127.0.0.1"));
            EXPECT_EQ(m[QStringLiteral("user")].toString(), kPgUser);
            EXPECT_FALSE(ReadAll(dir + QStringLiteral("/manifest.json")).contains(kPgPassword.toUtf8() + '"'));
        }
        const QRegularExpression utc(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
        EXPECT_TRUE(utc.match(m[QStringLiteral("started")].toString()).hasMatch());
        EXPECT_LE(m[QStringLiteral("started")].toString(), m[QStringLiteral("finished")].toString());
        EXPECT_EQ(m[QStringLiteral("filters")].toObject(),
                  QJsonObject({{"from", "2025-01-01"}, {"to", "2025-12-31"}, {"store", 1}, {"fiscal_device", 0},
                               {"operator", 0}}));

        const QJsonArray reports = m[QStringLiteral("reports")].toArray();
        ASSERT_EQ(reports.size(), qsizetype(ReportList().size()));
        QStringList listed = EntriesIn(dir);
        for (const TReportListItem& report : ReportList()) {
            const QString key = QLatin1String(report.Key);
            SCOPED_TRACE(report.Key);
            QJsonObject entry;
            for (const QJsonValue v : reports)
                if (v[QStringLiteral("key")].toString() == key)
                    entry = v.toObject();
            const QString file = key + QStringLiteral(".csv");
            EXPECT_EQ(entry[QStringLiteral("file")].toString(), file);
            EXPECT_EQ(entry[QStringLiteral("title")].toString(), QString::fromUtf16(report.Title));
            listed.removeOne(file);
            // The filters of its window, and nothing else.
            QStringList own;
            if (report.Filters & rfPeriod)
                own << QStringLiteral("--from") << QStringLiteral("2025-01-01") << QStringLiteral("--to")
                    << QStringLiteral("2025-12-31");
            if (report.Filters & rfStore)
                own << QStringLiteral("--store") << QStringLiteral("1");
            const QJsonObject filters = entry[QStringLiteral("filters")].toObject();
            EXPECT_EQ(filters.contains(QStringLiteral("from")), bool(report.Filters & rfPeriod));
            EXPECT_EQ(filters.contains(QStringLiteral("store")), bool(report.Filters & rfStore));
            EXPECT_EQ(filters.contains(QStringLiteral("operator")), bool(report.Filters & rfUser));
            const qint64 rows = entry[QStringLiteral("rows")].toInteger(-1);
            EXPECT_EQ(rows, EngineCount(type, report, BundleFilters(report, asked)));
            EXPECT_GT(rows, 0);
            // The report's own export, byte for byte.
            const QString single = Path(QStringLiteral("single-") + file);
            const ExportRun s =
                RunExporter(Source(type) + QStringList{"--report", key, "--format", "csv", "--output", single} + own);
            ASSERT_EQ(s.exitCode, 0) << s.err.toStdString();
            EXPECT_EQ(ReadAll(dir + QLatin1Char('/') + file), ReadAll(single));
        }
        // Every check's findings, with the filters it offers, the default parameters, as many
        // findings as its count gives in the same state, and the bytes of its own export.
        EXPECT_EQ(m[QStringLiteral("check_day")].toString(), QDate::currentDate().toString(Qt::ISODate));
        const QJsonArray checks = m[QStringLiteral("checks")].toArray();
        ASSERT_EQ(checks.size(), qsizetype(CheckList().size()));
        const TRepository repo(type);
        for (const TCheckDef& def : CheckList()) {
            SCOPED_TRACE(def.Key);
            const QString key = QLatin1String(def.Key);
            QJsonObject entry;
            for (const QJsonValue v : checks)
                if (v[QStringLiteral("key")].toString() == key)
                    entry = v.toObject();
            const QString file = QStringLiteral("check-") + key + QStringLiteral(".csv");
            EXPECT_EQ(entry[QStringLiteral("file")].toString(), file);
            EXPECT_TRUE(listed.removeOne(file));
            EXPECT_EQ(entry[QStringLiteral("parameters")].toObject().isEmpty(), def.Params == 0);
            QString page, count;
            TCheckQuery(repo, QDate::currentDate()).FillQuery(def, OfferedFilters(def.Filters, asked), TCheckParams{},
                                                            page, count);
            EXPECT_EQ(entry[QStringLiteral("findings")].toInteger(-1), TestManager(type)->FastSql(count).toLongLong());
            QStringList own;
            if (def.Filters & rfPeriod)
                own << QStringLiteral("--from") << QStringLiteral("2025-01-01") << QStringLiteral("--to")
                    << QStringLiteral("2025-12-31");
            if (def.Filters & rfStore)
                own << QStringLiteral("--store") << QStringLiteral("1");
            const QString single = Path(QStringLiteral("single-") + file);
            const ExportRun s =
                RunExporter(Source(type) + QStringList{"--check", key, "--format", "csv", "--output", single} + own);
            ASSERT_EQ(s.exitCode, 0) << s.err.toStdString();
            EXPECT_EQ(ReadAll(dir + QLatin1Char('/') + file), ReadAll(single));
        }
        listed.sort();
        EXPECT_EQ(listed, QStringList({"SHA256SUMS", "manifest.json"}));
    }

    // A workbook bundle: whole workbooks, as many records as the text bundle.
    const QString xlsx = Path(QStringLiteral("xlsx"));
    const ExportRun r = RunExporter(Source(dbSqlite) + QStringList{"--all", "--output-dir", xlsx, "--format", "xlsx"} +
                                    filterArgs);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(CheckSums(xlsx), 0);
    const QJsonArray csvReports = Manifest(Path(QStringLiteral("sqlite")))[QStringLiteral("reports")].toArray();
    const QJsonArray xlsxReports = Manifest(xlsx)[QStringLiteral("reports")].toArray();
    ASSERT_EQ(xlsxReports.size(), csvReports.size());
    for (qsizetype i = 0; i < xlsxReports.size(); ++i) {
        const QString file = xlsxReports[i][QStringLiteral("file")].toString();
        EXPECT_TRUE(file.endsWith(QStringLiteral(".xlsx"))) << file.toStdString();
        EXPECT_EQ(xlsxReports[i][QStringLiteral("rows")], csvReports[i][QStringLiteral("rows")]) << file.toStdString();
        EXPECT_EQ(FirstIncompleteZipPart(xlsx + QLatin1Char('/') + file), QString()) << file.toStdString();
    }
}

// On PostgreSQL the whole bundle reads one state: rows of the users' log committed by
// another session after the first report is written are in the database, but in none of
// the bundle's files, and its counts still match its files.
TEST_F(Bundle, OneStateWhileNewRowsAreWritten)
{
    // A database of its own, copied from the demo, under a data source of its own.
    const QString demoDb = OdbcDataSourceSetting(kPostgresDsn, "Database");
    {
        auto admin = TestManager(dbPostgres, kScratchPgDsn);
        admin->FastSql(QStringLiteral("DROP DATABASE IF EXISTS auditbundle_test"));
        admin->FastSql(QStringLiteral("CREATE DATABASE auditbundle_test TEMPLATE %1").arg(demoDb));
    }
    const QByteArray testIni = ReadAll(TestDataDir() + QStringLiteral("/odbc.ini"));
    QByteArray section = "\n[AuditBundlePg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" +
                         OdbcDataSourceSetting(kPostgresDsn, "Port").toUtf8() + "\nDatabase=auditbundle_test\n";
    const QString ini = Path(QStringLiteral("odbc.ini"));
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testIni + section);
    }
    const QByteArray oldIni = qgetenv("ODBCINI");
    qputenv("ODBCINI", ini.toUtf8());
    struct TRestore {
        QByteArray Ini;
        ~TRestore() { qputenv("ODBCINI", Ini); }
    } restore{oldIni};

    TSqlDBModel bundleModel = TestModel(dbPostgres, QStringLiteral("AuditBundlePg"));
    auto writer = TSqlDataModule::CreateManager(&bundleModel);
    writer->Connection().SetReadOnly(false);
    writer->Connection().SetOwnTransactions(false);
    {
        std::vector<TOdbcConnectParam> params;
        for (const TOdbcConnectParam& p : writer->Connection().Params())
            if (p.Key != QLatin1String("pqopt"))
                params.push_back(p);
        writer->Connection().SetParams(std::move(params));
    }
    const TReportListItem& log = ReportListItem(rkUsersLog);
    QString reportSql, countSql;
    TRepository(dbPostgres).FillReportQuery(log.Kind, reportSql, countSql, TReportFilters());
    const qint64 before = writer->FastSql(countSql).toLongLong();

    int added = 0;
    BundleReportWritten() = [&](const QString& key) {
        if (key != QLatin1String(ReportList().front().Key))
            return;
        writer->FastSql(QStringLiteral("INSERT INTO UserLog SELECT LogId + 10000000, UserN, RoleId, OperationCode, "
                                       "ActivityDate, ActivityDateTime, ActivityText || ' (нов запис)', UNP "
                                       "FROM UserLog WHERE LogId <= 100"));
        added = writer->FastSql(QStringLiteral("SELECT count(*) FROM UserLog WHERE LogId > 10000000")).toInt();
    };
    struct TUnhook {
        ~TUnhook() { BundleReportWritten() = nullptr; }
    } unhook;

    TRequest request;
    request.All = true;
    request.Dsn = QStringLiteral("AuditBundlePg");
    request.User = kPgUser;
    request.Password = kPgPassword;
    request.Kind = ekTextFile;
    request.OutputDir = Path(QStringLiteral("bundle"));
    const TBundleOutcome outcome = WriteBundle(request, 022);
    EXPECT_EQ(outcome.Reports, int(ReportList().size()));
    EXPECT_EQ(added, 100);
    EXPECT_EQ(writer->FastSql(countSql).toLongLong(), before + 100); // committed and seen outside

    const QString dir = request.OutputDir;
    EXPECT_EQ(CheckSums(dir), 0);
    for (const QJsonValue v : Manifest(dir)[QStringLiteral("reports")].toArray()) {
        if (v[QStringLiteral("key")].toString() == QLatin1String(log.Key)) {
            EXPECT_EQ(v[QStringLiteral("rows")].toInteger(), before);
        }
    }
    const QByteArray file = ReadAll(dir + QStringLiteral("/users-log.csv"));
    EXPECT_EQ(file.count("\r\n"), before + 1); // the captions and the records of the start
    EXPECT_FALSE(file.contains(" (\xed\xee\xe2 \xe7\xe0\xef\xe8\xf1)")); // " (нов запис)" in Windows-1251

    writer.reset();
    TestManager(dbPostgres, kScratchPgDsn)->FastSql(QStringLiteral("DROP DATABASE IF EXISTS auditbundle_test"));
}

// A folder that exists is refused; a disk that fills halfway and a run interrupted while
// the server holds a statement leave neither the folder nor anything beside it.
TEST_F(Bundle, FailuresLeaveNoFolder)
{
    // Wrong usage.
    const QString dir = Path(QStringLiteral("bundle"));
    for (const QStringList& extra : {QStringList{"--report", "items"}, QStringList{"--output", "x.csv"},
                                     QStringList{"--page", "1"}, QStringList{"--format", "pdf"}}) {
        const ExportRun r = RunExporter(Source(dbSqlite) + QStringList{"--all", "--output-dir", dir} + extra);
        EXPECT_EQ(r.exitCode, 2) << extra.join(u' ').toStdString() << r.err.toStdString();
    }
    EXPECT_EQ(RunExporter(Source(dbSqlite) + QStringList{"--all"}).exitCode, 2);
    EXPECT_EQ(RunExporter(Source(dbSqlite) + QStringList{"--report", "items", "--format", "csv", "--output-dir", dir})
                  .exitCode,
              2);
    EXPECT_EQ(EntriesIn(out.path()), QStringList());

    // A folder that is there, even empty, is left as it is.
    ASSERT_TRUE(QDir().mkdir(dir));
    ExportRun r = RunExporter(Source(dbSqlite) + QStringList{"--all", "--output-dir", dir});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("exists already"))) << r.err.toStdString();
    EXPECT_EQ(EntriesIn(out.path()), QStringList({"bundle"}));
    EXPECT_EQ(EntriesIn(dir), QStringList());
    ASSERT_TRUE(QDir().rmdir(dir));

    // The disk fills while the second report is written.
    {
        QProcess p;
        p.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit l{};
            ::getrlimit(RLIMIT_FSIZE, &l);
            l.rlim_cur = 1000000;
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
        p.start(kExporter, Source(dbSqlite) + QStringList{"--all", "--output-dir", dir});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("sales-detail:")) && err.contains(QStringLiteral("File too large")))
            << err.toStdString();
        EXPECT_EQ(EntriesIn(out.path()), QStringList());
    }

    // Interrupted while the server holds its statement (its session stopped).
    {
        auto observer = TestManager(dbPostgres, kScratchPgDsn);
        QProcess p;
        p.start(kExporter, Source(dbPostgres) + QStringList{"--all", "--output-dir", dir});
        ASSERT_TRUE(p.waitForStarted());
        const QString appPid = QString::number(p.processId());
        qint64 backend = 0;
        for (int i = 0; i < 2000 && !backend; ++i) {
            // The exporter's session: the one whose client port belongs to the new process.
            backend = observer
                          ->FastSql(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = '%1' AND pid <> "
                                                   "pg_backend_pid() AND backend_start > now() - interval '1 minute' "
                                                   "ORDER BY backend_start DESC LIMIT 1")
                                        .arg(OdbcDataSourceSetting(kPostgresDsn, "Database")))
                          .toLongLong();
            if (!backend)
                QThread::msleep(5);
        }
        ASSERT_GT(backend, 0);
        ASSERT_EQ(::kill(pid_t(backend), SIGSTOP), 0);
        struct TGoOn {
            qint64 Pid;
            ~TGoOn() { ::kill(pid_t(Pid), SIGCONT); }
        } goOn{backend};
        QThread::msleep(300);
        EXPECT_EQ(p.state(), QProcess::Running);
        EXPECT_EQ(EntriesIn(out.path()).size(), 1); // the temporary folder beside the target
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(EntriesIn(out.path()), QStringList());
    }
}

} // namespace
