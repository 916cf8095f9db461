// The headless exporter run as a program: wrong usage, the printed queries of every engine,
// CSV and spreadsheet files of the demo databases read back, one page of a result, the
// progress line on a terminal, and failures that leave no file and an existing one as it was.
#include "ExporterRun.h"
#include "TestSupport.h"
#include "common/CodePage1251.h"
#include "db/QueryUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QStringList FilesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

QJsonObject FilterRecord(const QString& name)
{
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray())
        if (v[QStringLiteral("name")].toString() == name)
            return v.toObject();
    ADD_FAILURE() << "no filter record " << name.toStdString();
    return {};
}

// The options of a filter record of expected.json.
QStringList FilterArgs(const QJsonObject& rec)
{
    QStringList args;
    if (!rec[QStringLiteral("FromDate")].isNull())
        args << QStringLiteral("--from") << rec[QStringLiteral("FromDate")].toString();
    if (!rec[QStringLiteral("ToDate")].isNull())
        args << QStringLiteral("--to") << rec[QStringLiteral("ToDate")].toString();
    const struct {
        const char* field;
        const char* option;
    } keyed[] = {{"StoreN", "--store"}, {"FiscalDeviceN", "--fiscal-device"}, {"UserN", "--operator"}};
    for (const auto& k : keyed)
        if (const int n = rec[QLatin1String(k.field)].toInt())
            args << QLatin1String(k.option) << QString::number(n);
    return args;
}

const char* EngineName(TDbType type) { return type == dbSqlite ? "SQLite" : "PostgreSQL"; }

QStringList Captions(TReportKind kind)
{
    const TReportDef& def = ReportDef(kind);
    QStringList names;
    for (int i = 0; i < def.ColumnCount; ++i)
        names << QString::fromUtf16(def.Columns[i].Caption);
    return names;
}

// The lines of an exported CSV file, which must end with CR LF.
QStringList CsvLines(const QString& path)
{
    const QString text = FromWindows1251(ReadAll(path));
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    return text.left(text.size() - 2).split(QStringLiteral("\r\n"));
}

QJsonArray ReadWorkbook(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(AUDITOR_SOURCE_DIR "/tests/support/read_xlsx.py"), path});
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// The section `name` of an ini file's text again, under the name `as`.
QByteArray SectionAs(const QByteArray& ini, const char* name, const char* as)
{
    const QByteArray head = QByteArray("[") + name + "]\n";
    const qsizetype at = ini.indexOf(head);
    EXPECT_GE(at, 0) << name;
    const qsizetype next = ini.indexOf("\n[", at + head.size());
    return QByteArray("\n[") + as + "]\n" + ini.mid(at + head.size(), next < 0 ? -1 : next + 1 - at - head.size());
}

// An odbc.ini of its own: the test data sources, both again under names in Cyrillic, and
// three more: two SQL Anywhere registrations (one under a driver the program does not know)
// and an audit database whose payment types view fails at row 600 of 1000 while its count
// works (its row 7 holds a character outside Windows-1251). That database is built through
// the scratch data source, attached.
class PrivateSources {
public:
    PrivateSources()
    {
        const QString file = dir.filePath(QStringLiteral("broken.sqlite"));
        auto db = TestManager(dbSqlite, kScratchDsn);
        db->FastSql(QStringLiteral("attach database '%1' as broken").arg(file));
        for (const char* s : {
                 "create table broken.SalesSummaryAudit (EndDocDate date)",
                 "create table broken.Numbers (x integer primary key)", // read in key order: no sort
                 "insert into broken.Numbers with recursive c(x) as (select 1 union all select x + 1 from c "
                 "where x < 1000) select x from c",
                 "create view broken.PayTypesAudit as select x as PayTypeCode, case when x = 600 then "
                 "abs(-9223372036854775807 - (x - 599)) when x = 7 then 'Вид Ω' else 'Вид ' || x end as PayTypeName, null as "
                 "PayTypeCreateDate, null as PayTypeChangeDate, null as PayTypeDate from Numbers",
             })
            db->FastSql(QString::fromUtf8(s));
        db->FastSql(QStringLiteral("detach database broken"));
        ini = dir.filePath(QStringLiteral("odbc.ini"));
        const QByteArray testIni = ReadAll(TestDataDir() + QStringLiteral("/odbc.ini"));
        WriteFile(ini, testIni + QStringLiteral("\n[Broken]\nDriver=SQLite3\nDatabase=%1\n\n"
                                      "[SaDsn]\nDriver=SQL Anywhere 17\nServerName=nowhere\n\n"
                                      "[OddDsn]\nDriver=Some Other Driver\n\n"
                                      "[NoFile]\nDriver=SQLite3\nDatabase=%2\n\n")
                               .arg(file, missingFile())
                               .toUtf8() +
                           SectionAs(testIni, "AuditDemo", "Одит Продажби") + SectionAs(testIni, "AuditDemoPg", "Одит ПГ"));
    }
    // The file of the data source "NoFile", which is not there.
    QString missingFile() const { return dir.filePath(QStringLiteral("missing.sqlite")); }
    QTemporaryDir dir;
    QString ini;
};

class Exporter : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sources = new PrivateSources; }
    static void TearDownTestSuite()
    {
        delete sources;
        sources = nullptr;
    }
    QString Path(const QString& name) const { return out.filePath(name); }

    static PrivateSources* sources;
    QTemporaryDir out;
};
PrivateSources* Exporter::sources = nullptr;

TEST_F(Exporter, WrongUsageIsRefusedBeforeAnythingIsWritten)
{
    const QString target = Path(QStringLiteral("r.csv"));
    // A complete command line for `report` with `extra` added; "format" and "output" may be
    // replaced or left out.
    auto line = [&](const QString& report, const QStringList& extra, const QString& format = QStringLiteral("csv"),
                    bool withOutput = true) {
        QStringList a = Source(dbSqlite);
        if (!report.isEmpty())
            a << QStringLiteral("--report") << report;
        if (!format.isEmpty())
            a << QStringLiteral("--format") << format;
        if (withOutput)
            a << QStringLiteral("--output") << target;
        return a + extra;
    };
    const QStringList month = {"--from", "2026-03-01", "--to", "2026-03-31"};
    const struct {
        const char* name;
        QStringList args;
        const char* message;
    } cases[] = {
        {"no report", line({}, {}), "--report is missing"},
        {"unknown report", line("sales", {}), "unknown report \"sales\"; the reports are: sales-summary, "},
        {"store filter of a nomenclature", line("items", {"--store", "1"}),
         "report \"items\" has no --store filter (it offers: none)"},
        {"period of a nomenclature", line("stores", month), "report \"stores\" has no --from filter"},
        {"operator of the users' log", line("users-log", {"--operator", "3"}),
         "report \"users-log\" has no --operator filter (it offers: --from/--to)"},
        {"impossible date", line("sales-summary", {"--from", "2026-02-30", "--to", "2026-03-31"}),
         "--from wants a date as YYYY-MM-DD, not \"2026-02-30\""},
        {"date as the window shows it", line("sales-summary", {"--from", "2026-03-01", "--to", "31.03.2026"}),
         "--to wants a date as YYYY-MM-DD, not \"31.03.2026\""},
        {"one end of the period", line("payments", {"--from", "2026-03-01"}), "--from and --to go together"},
        {"unknown format", line("items", {}, "pdf"), "--format is csv or xlsx, not \"pdf\""},
        {"no format", line("items", {}, {}), "--format is missing"},
        {"no output", line("items", {}, "csv", false), "--output is missing"},
        {"negative store", line("sales-detail", {"--store", "-1"}), "--store wants a whole number from 0 up, not \"-1\""},
        {"store not whole", line("sales-detail", {"--store", "1.5"}), "--store wants a whole number from 0 up, not \"1.5\""},
        {"period backwards", line("sales-detail", {"--from", "2026-03-31", "--to", "2026-03-01"}),
         "the period starts after it ends (--from 2026-03-31, --to 2026-03-01)"},
        {"page zero", line("items", {"--page", "0"}), "--page wants a whole number from 1 up, not \"0\""},
        {"filter twice", line("payments", {"--store", "1", "--store", "2"}), "--store is given more than once"},
        {"engine without --print-sql", line("items", {"--engine", "sqlite"}), "--engine goes only with --print-sql"},
        {"unknown engine", {"--print-sql", "--engine", "oracle", "--report", "items"},
         "--engine is sqlanywhere, sqlite or postgres, not \"oracle\""},
        {"password without user", {"--dsn", "AuditDemoPg", "--password", "sql", "--report", "items", "--format", "csv",
                                   "--output", target},
         "--password goes with --user"},
        {"unknown option", line("items", {"--colour"}), "Unknown option 'colour'."},
        {"stray argument", line("items", {"extra.csv"}), "unexpected argument \"extra.csv\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ExportRun r = RunExporter(c.args);
        EXPECT_EQ(r.exitCode, 2);
        // One line naming the problem and where to read more, not the whole help.
        const QStringList lines = r.err.split(u'\n');
        ASSERT_EQ(lines.size(), 3) << r.err.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("auditor-export: ") + QString::fromUtf8(c.message)))
            << r.err.toStdString();
        EXPECT_EQ(lines[1], QStringLiteral("Try 'auditor-export --help'."));
        EXPECT_TRUE(lines[2].isEmpty());
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(FilesIn(out.path()).isEmpty()) << FilesIn(out.path()).join(u' ').toStdString();
    }

    const ExportRun help = RunExporter({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: auditor-export --dsn NAME"));
    EXPECT_TRUE(help.err.isEmpty());
    const ExportRun version = RunExporter({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("auditor-export 1.0.0.0\n"));
    EXPECT_TRUE(version.err.isEmpty());
}

// --print-sql prints the query builder's two texts for the engine the options or the data
// source's registered driver decide, without connecting.
TEST_F(Exporter, PrintSqlIsTheQueryBuildersOutput)
{
    TReportFilters sales;
    sales.FromDate = DateToDays(QDate(2026, 3, 1));
    sales.ToDate = DateToDays(QDate(2026, 3, 31));
    sales.StoreN = 4;
    sales.FiscalDeviceN = 6;
    sales.UserN = 25;
    const QStringList salesArgs = {"--from", "2026-03-01", "--to",     "2026-03-31", "--store",
                                   "4",      "--fiscal-device", "6", "--operator", "25"};
    TReportFilters page3;
    page3.PageNumber = 2;
    page3.RecordsPerPage = 40;
    TReportFilters logPage2;
    logPage2.FromDate = DateToDays(QDate(2026, 3, 13));
    logPage2.ToDate = logPage2.FromDate;
    logPage2.PageNumber = 1;
    logPage2.RecordsPerPage = 500; // the window's page size when only --page is given

    const struct {
        QStringList source;
        TDbType dialect;
        const char* report;
        TReportKind kind;
        QStringList extra;
        TReportFilters filters;
    } cases[] = {
        {{"--engine", "sqlanywhere"}, dbSybase, "sales-summary", rkSalesSummary, salesArgs, sales},
        {{"--engine", "sqlite"}, dbSqlite, "sales-summary", rkSalesSummary, salesArgs, sales},
        {{"--engine", "postgres"}, dbPostgres, "sales-summary", rkSalesSummary, salesArgs, sales},
        {{"--engine", "sqlanywhere"}, dbSybase, "items", rkItems, {"--page", "3", "--page-size", "40"}, page3},
        {{"--engine", "sqlite"}, dbSqlite, "items", rkItems, {"--page", "3", "--page-size", "40"}, page3},
        {{"--engine", "postgres"}, dbPostgres, "items", rkItems, {"--page", "3", "--page-size", "40"}, page3},
        {{"--dsn", "AuditDemo"}, dbSqlite, "revoked-sales", rkRevokedSales, salesArgs, sales},
        {{"--dsn", "AuditDemoPg"}, dbPostgres, "users-log", rkUsersLog,
         {"--from", "2026-03-13", "--to", "2026-03-13", "--page", "2"}, logPage2},
        {{"--dsn", "AuditDemo", "--engine", "postgres"}, dbPostgres, "partners", rkPartners, {}, {}},
        {{"--dsn", "SaDsn"}, dbSybase, "payments", rkPayments, salesArgs, sales},
        {{"--dsn", "OddDsn"}, dbSybase, "stores", rkStores, {"--page-size", "100"}, TReportFilters{.RecordsPerPage = 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.source.join(u' ') + u' ' + QLatin1String(c.report)).toStdString());
        QString reportSql, recCountSql;
        TRepository(c.dialect).FillReportQuery(c.kind, reportSql, recCountSql, c.filters);
        const ExportRun r = RunExporter(QStringList{"--print-sql", "--report", QLatin1String(c.report)} + c.source + c.extra,
                               sources->ini);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out), recCountSql + u'\n' + reportSql + u'\n');
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }

    const ExportRun unknown = RunExporter({"--print-sql", "--dsn", "NoSuchSource", "--report", "items"}, sources->ini);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, QStringLiteral("auditor-export: no ODBC data source is named \"NoSuchSource\"\n"));
    EXPECT_TRUE(unknown.out.isEmpty());
}

// A sales report under a filter record of the generator on both engines: one line per
// counted row under the caption line, the filter visible in the rows, on standard error
// (no terminal) only how many records went where (nothing with --quiet); pages are slices
// of the whole result; the spreadsheet holds the same rows in the same order under its bold
// caption row.
TEST_F(Exporter, CsvAndSpreadsheetOfAFilteredSalesReport)
{
    const QJsonObject rec = FilterRecord(QStringLiteral("monthStore"));
    const int count = rec[QStringLiteral("counts")][QStringLiteral("SalesSummaryAudit")].toInt();
    ASSERT_GT(count, 20);
    const QStringList captions = Captions(rkSalesSummary);
    const QStringList base = QStringList{"--report", "sales-summary"} + FilterArgs(rec);
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(EngineName(type));
        const QString csv = Path(QStringLiteral("whole.csv"));
        ExportRun r = RunExporter(Source(type) + base + QStringList{"--format", "csv", "--output", csv});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, QStringLiteral("auditor-export: %1 records written to %2\n").arg(count).arg(csv));
        EXPECT_TRUE(r.out.isEmpty());
        r = RunExporter(Source(type) + base + QStringList{"--format", "csv", "--output", csv, "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        const QStringList lines = CsvLines(csv);
        ASSERT_EQ(lines.size(), count + 1);
        EXPECT_EQ(lines[0], captions.join(u'\t'));
        const QString store = lines[1].split(u'\t').value(2);
        EXPECT_FALSE(store.isEmpty());
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(u'\t');
            ASSERT_EQ(cells.size(), captions.size()) << lines[i].toStdString();
            EXPECT_EQ(cells[2], store);
            EXPECT_TRUE(cells[13].endsWith(QStringLiteral(".03.2026"))) << cells[13].toStdString(); // EndDocDate
        }

        // Pages: the second full one and the short last one.
        for (int page : {2, 3}) {
            SCOPED_TRACE(page);
            const QString part = Path(QStringLiteral("page.csv"));
            r = RunExporter(Source(type) + base +
                         QStringList{"--page", QString::number(page), "--page-size", "10", "--format", "csv", "--output", part});
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            const QStringList pageLines = CsvLines(part);
            EXPECT_EQ(pageLines, QStringList{lines[0]} + lines.mid(1 + (page - 1) * 10, 10));
        }

        const QString xlsx = Path(QStringLiteral("whole.xlsx"));
        r = RunExporter(Source(type) + base + QStringList{"--format", "xlsx", "--output", xlsx});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QJsonArray sheets = ReadWorkbook(xlsx);
        ASSERT_EQ(sheets.size(), 1);
        const QJsonArray rows = sheets[0][QStringLiteral("rows")].toArray();
        ASSERT_EQ(rows.size(), count + 1);
        ASSERT_EQ(rows[0].toArray().size(), captions.size());
        for (int c = 0; c < captions.size(); ++c) {
            EXPECT_EQ(rows[0][c][QStringLiteral("value")].toString(), captions[c]);
            EXPECT_TRUE(rows[0][c][QStringLiteral("bold")].toBool());
        }
        for (int i = 1; i < rows.size(); ++i) // UNP, text in both
            EXPECT_EQ(rows[i][0][QStringLiteral("value")].toString(), lines[i].section(u'\t', 0, 0));
        EXPECT_FALSE(rows[1][0][QStringLiteral("bold")].toBool());

        // Ready to read and to print: the names frozen with an autofilter over every row,
        // landscape A4 one page wide with the names on each page; the properties say what
        // the rows are of.
        const QJsonObject sheet = sheets[0].toObject();
        EXPECT_EQ(sheet[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
        EXPECT_EQ(sheet[QStringLiteral("autofilter")].toString(), QStringLiteral("A1:Q%1").arg(count + 1));
        EXPECT_EQ(sheet[QStringLiteral("orientation")].toString(), QStringLiteral("landscape"));
        EXPECT_EQ(sheet[QStringLiteral("paper")].toInt(), 9);
        EXPECT_TRUE(sheet[QStringLiteral("fit_to_page")].toBool());
        EXPECT_EQ(sheet[QStringLiteral("fit_width")].toInt(), 1);
        EXPECT_EQ(sheet[QStringLiteral("fit_height")].toInt(), 0);
        EXPECT_EQ(sheet[QStringLiteral("print_title_rows")].toString(), QStringLiteral("$1:$1"));
        const QJsonObject doc = sheet[QStringLiteral("doc")].toObject();
        EXPECT_EQ(doc[QStringLiteral("title")].toString(), ReportTitle(rkSalesSummary));
        const QString subject = doc[QStringLiteral("subject")].toString();
        const QRegularExpression said(QStringLiteral("^Източник: %1 · Период: 01\\.03\\.2026 – 31\\.03\\.2026 · "
                                                     "Обект: \\D.*$")
                                          .arg(Source(type)[1]));
        EXPECT_TRUE(said.match(subject).hasMatch()) << subject.toStdString();
    }
}

// On a terminal the progress is one line written over: from "0 / n" to "n / n".
TEST_F(Exporter, ProgressLineOnATerminal)
{
    const QJsonObject rec = FilterRecord(QStringLiteral("monthStore"));
    const QString n = QString::number(rec[QStringLiteral("counts")][QStringLiteral("SalesSummaryAudit")].toInt());
    const QString csv = Path(QStringLiteral("tty.csv"));
    const QStringList args = Source(dbSqlite) + QStringList{"--report", "sales-summary"} + FilterArgs(rec) +
                             QStringList{"--format", "csv", "--output", csv};
    // The exporter on a pseudo-terminal; everything it writes there is passed on.
    const char* script = "import os, pty, sys\n"
                         "pid, fd = pty.fork()\n"
                         "if pid == 0:\n"
                         "    os.execv(sys.argv[1], sys.argv[1:])\n"
                         "out = b''\n"
                         "while True:\n"
                         "    try:\n"
                         "        d = os.read(fd, 4096)\n"
                         "    except OSError:\n"
                         "        break\n"
                         "    if not d:\n"
                         "        break\n"
                         "    out += d\n"
                         "_, status = os.waitpid(pid, 0)\n"
                         "sys.stdout.buffer.write(out)\n"
                         "sys.exit(os.waitstatus_to_exitcode(status))\n";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{"-c", QString::fromUtf8(script), kExporter} + args);
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString terminal = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << terminal.toStdString() << p.readAllStandardError().toStdString();
    EXPECT_TRUE(terminal.startsWith(QStringLiteral("\r0 / ") + n)) << terminal.toStdString();
    // The progress line ends at "n / n"; the line of what was written follows it.
    EXPECT_TRUE(terminal.endsWith(QStringLiteral("\r") + n + QStringLiteral(" / ") + n + QStringLiteral("\r\n") +
                                  QStringLiteral("auditor-export: %1 records written to %2\r\n").arg(n, csv)))
        << terminal.toStdString();
    EXPECT_EQ(CsvLines(csv).size(), n.toInt() + 1);

    // A bundle: a line of its own for each report (and then each check), named, that ends at
    // its count.
    const QString dir = Path(QStringLiteral("tty-bundle"));
    QProcess b;
    b.start(QStringLiteral("/usr/bin/python3"), QStringList{"-c", QString::fromUtf8(script), kExporter} +
                                                    Source(dbSqlite) + FilterArgs(rec) +
                                                    QStringList{"--all", "--output-dir", dir});
    ASSERT_TRUE(b.waitForFinished(120000));
    const QString lines = QString::fromUtf8(b.readAllStandardOutput());
    EXPECT_EQ(b.exitCode(), 0) << lines.toStdString();
    const QJsonArray reports =
        QJsonDocument::fromJson(ReadAll(dir + QStringLiteral("/manifest.json")))[QStringLiteral("reports")].toArray();
    ASSERT_EQ(reports.size(), qsizetype(ReportList().size()));
    const qsizetype files =
        reports.size() +
        QJsonDocument::fromJson(ReadAll(dir + QStringLiteral("/manifest.json")))[QStringLiteral("checks")].toArray().size();
    qsizetype at = 0;
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const QString rows = QString::number(reports[i][QStringLiteral("rows")].toInteger());
        const QString line = QStringLiteral("\r[%1/%2] %3: %4 / %4\r\n")
                                 .arg(i + 1)
                                 .arg(files)
                                 .arg(reports[i][QStringLiteral("key")].toString(), rows);
        const qsizetype found = lines.indexOf(line, at);
        EXPECT_GE(found, at) << line.toStdString() << lines.toStdString();
        at = std::max(at, found);
    }
}

// A failed run: status 1, the reason on standard error, no file, and a file that was there
// before left as it was, whether the run fails before the export starts or in its middle.
TEST_F(Exporter, FailuresLeaveNoFileAndAnExistingOneUntouched)
{
    const struct {
        const char* name;
        QStringList args;
        const char* reason;
    } cases[] = {
        {"wrong password", {"--dsn", "AuditDemoPg", "--user", "dba", "--password", "wrong", "--report", "items"},
         "password authentication failed for user \"dba\""},
        {"no audit views", {"--dsn", "AuditScratch", "--report", "items"}, "Избраната база данни не е валидна Дравик база!"},
        {"not registered", {"--dsn", "NoSuchSource", "--report", "items"}, "no ODBC data source is named \"NoSuchSource\""},
        {"no database file", {"--dsn", "NoFile", "--report", "items"}, "не съществува"},
        {"row fails in the middle", {"--dsn", "Broken", "--report", "payment-types"}, "integer overflow"},
    };
    for (const auto& c : cases) {
        for (const char* format : {"csv", "xlsx"}) {
            for (bool existed : {false, true}) {
                SCOPED_TRACE(QStringLiteral("%1, %2, %3")
                                 .arg(QLatin1String(c.name), QLatin1String(format),
                                      existed ? QStringLiteral("existing target") : QStringLiteral("new target"))
                                 .toStdString());
                const QString target = Path(QStringLiteral("out.") + QLatin1String(format));
                QFile::remove(target);
                if (existed)
                    WriteFile(target, "the export of yesterday\r\n");
                const ExportRun r = RunExporter(c.args + QStringList{"--format", QLatin1String(format), "--output", target},
                                       sources->ini);
                EXPECT_EQ(r.exitCode, 1);
                EXPECT_TRUE(r.err.startsWith(QStringLiteral("auditor-export: "))) << r.err.toStdString();
                EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << r.err.toStdString();
                EXPECT_FALSE(r.err.contains(QStringLiteral("usage:")));
                if (existed) {
                    EXPECT_EQ(ReadAll(target), QByteArray("the export of yesterday\r\n"));
                    EXPECT_EQ(FilesIn(out.path()).join(u' '), QFileInfo(target).fileName());
                } else {
                    EXPECT_TRUE(FilesIn(out.path()).isEmpty()) << FilesIn(out.path()).join(u' ').toStdString();
                }
                QFile::remove(target);
            }
        }
    }

    EXPECT_FALSE(QFile::exists(sources->missingFile())); // tried, and not created

    // The same database and report without the failing row: the fixture itself is sound.
    const QString good = Path(QStringLiteral("good.csv"));
    ExportRun r = RunExporter({"--dsn", "Broken", "--report", "payment-types", "--page", "1", "--page-size", "599", "--format",
                      "csv", "--output", good},
                     sources->ini);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(CsvLines(good).size(), 600);
    // Row 7's "Ω" has no byte in Windows-1251: written as "?", and said.
    EXPECT_TRUE(CsvLines(good).contains(QStringLiteral("7\tВид ?\t\t\t"))) << CsvLines(good)[7].toStdString();
    EXPECT_EQ(r.err, QStringLiteral("auditor-export: 1 character outside Windows-1251 was written as \"?\"\n"
                                    "auditor-export: 599 records written to %1\n")
                         .arg(good));
    QFile::remove(good);

    // A folder that does not exist, and a folder in place of the file (refused as wrong usage).
    r = RunExporter(Source(dbSqlite) + QStringList{"--report", "items", "--format", "csv", "--output",
                                                Path(QStringLiteral("missing/dir/x.csv"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("auditor-export: cannot write into the folder of"))) << r.err.toStdString();
    r = RunExporter(Source(dbSqlite) + QStringList{"--report", "items", "--format", "csv", "--output", out.path()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is a folder"))) << r.err.toStdString();
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// The password need not stand on the command line: from a file, from standard input, or
// from the environment; a wrong one from there fails as a wrong one on the command line.
TEST_F(Exporter, PasswordFromAFileStandardInputOrTheEnvironment)
{
    const QString file = Path(QStringLiteral("password"));
    WriteFile(file, "sql\n");
    const QString wrongFile = Path(QStringLiteral("wrong"));
    WriteFile(wrongFile, "wrong\r\n");
    const QStringList base = {"--list", "stores", "--dsn", kPostgresDsn, "--user", kPgUser};
    const struct {
        const char* name;
        QStringList args;
        QByteArray input;    // standard input
        QString environment; // AUDITOR_PASSWORD; empty: unset
        int exitCode;
        const char* err; // start of standard error
    } cases[] = {
        {"file", base + QStringList{"--password-file", file}, {}, {}, 0, ""},
        {"standard input", base + QStringList{"--password-file", "-"}, "sql\n", {}, 0, ""},
        {"environment", base, {}, QStringLiteral("sql"), 0, ""},
        {"the option wins over the environment", base + QStringList{"--password", "sql"}, {}, QStringLiteral("wrong"), 0, ""},
        {"wrong in a file", base + QStringList{"--password-file", wrongFile}, {}, {}, 1,
         "auditor-export: cannot connect to \"AuditDemoPg\": "},
        {"both options", base + QStringList{"--password", "sql", "--password-file", file}, {}, {}, 2,
         "auditor-export: --password and --password-file exclude each other"},
        {"file without user", {"--list", "stores", "--dsn", kPostgresDsn, "--password-file", file}, {}, {}, 2,
         "auditor-export: --password-file goes with --user"},
        {"no such file", base + QStringList{"--password-file", Path(QStringLiteral("none"))}, {}, {}, 2,
         "auditor-export: cannot read the password file"},
    };
    const int stores = FilterRecord(QStringLiteral("all"))[QStringLiteral("counts")][QStringLiteral("StoreNamesAudit")].toInt();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("AUDITOR_PASSWORD"));
        if (!c.environment.isEmpty())
            env.insert(QStringLiteral("AUDITOR_PASSWORD"), c.environment);
        p.setProcessEnvironment(env);
        p.start(kExporter, c.args);
        p.write(c.input);
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.exitCode) << err.toStdString();
        if (*c.err)
            EXPECT_TRUE(err.startsWith(QString::fromUtf8(c.err))) << err.toStdString();
        else
            EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        if (c.exitCode == 0) {
            EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()).count(u'\n'), stores);
        }
    }
}

// --list: the number and name of every entry of a filter's lookup, TAB-separated, in the
// report windows' order; the same on both engines.
TEST_F(Exporter, ListsTheLookupsOfTheFilters)
{
    for (const char* key : {"stores", "fiscal-devices", "operators"}) {
        SCOPED_TRACE(key);
        QByteArray first;
        for (TDbType type : {dbSqlite, dbPostgres}) {
            const ExportRun r = RunExporter(QStringList{"--list", QLatin1String(key)} + Source(type));
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
            // Read back against the lookup's own query.
            auto db = TestManager(type);
            TQuery q(&db->OpenConnection(), ckStatic);
            q.SetSQL(QString::fromUtf16(FindLookupByKey(QString::fromLatin1(key))->Sql));
            q.Open();
            QStringList expected;
            for (; !q.Eof(); q.Next())
                expected << q.Fields(0).AsString() + u'\t' + q.Fields(1).AsString();
            ASSERT_FALSE(expected.isEmpty());
            EXPECT_EQ(QString::fromUtf8(r.out), expected.join(u'\n') + u'\n');
            if (first.isEmpty())
                first = r.out;
            else
                EXPECT_EQ(r.out, first);
        }
    }
    const ExportRun wrong = RunExporter(QStringList{"--list", "items"} + Source(dbSqlite));
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.startsWith(QStringLiteral("auditor-export: --list is one of stores, fiscal-devices, operators")))
        << wrong.err.toStdString();
    const ExportRun withReport = RunExporter(QStringList{"--list", "stores", "--report", "items"} + Source(dbSqlite));
    EXPECT_EQ(withReport.exitCode, 2);
    EXPECT_TRUE(withReport.err.startsWith(QStringLiteral("auditor-export: --list takes no --report")));
}

// A disk that fills up (a limit on the size of every file the exporter writes, its temporary
// files included): exit 1 with the system's reason, the earlier file untouched, nothing left.
TEST_F(Exporter, FullDiskFailsAndKeepsTheEarlierFile)
{
    for (const char* format : {"csv", "xlsx"}) {
        SCOPED_TRACE(format);
        const QString target = Path(QStringLiteral("detail.") + QLatin1String(format));
        WriteFile(target, "the export of yesterday\r\n");
        QTemporaryDir tmp;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit l{};
            ::getrlimit(RLIMIT_FSIZE, &l);
            l.rlim_cur = 100000;
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
        p.start(kExporter, Source(dbSqlite) + QStringList{"--report", "sales-detail", "--format", QLatin1String(format),
                                                          "--output", target});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("File too large"))) << err.toStdString();
        EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
        if (QLatin1String(format) == QLatin1String("xlsx")) // the rows fill the temporary folder
            EXPECT_EQ(err.toStdString(), QStringLiteral("auditor-export: Cannot write \"%1\": File too large (in the "
                                                        "temporary folder \"%2\")\n")
                                             .arg(target, tmp.path())
                                             .toStdString());
        else // the file the user named, not its temporary stand-in
            EXPECT_TRUE(err.startsWith(QStringLiteral("auditor-export: Writing to \"%1\" failed: ").arg(target)))
                << err.toStdString();
        EXPECT_EQ(ReadAll(target), QByteArray("the export of yesterday\r\n"));
        EXPECT_EQ(FilesIn(out.path()).join(u' '), QFileInfo(target).fileName());
        EXPECT_TRUE(QDir(tmp.path()).isEmpty());
        QFile::remove(target);
    }
}

// A disk that is really full while the workbook is packed into its file (the temporary
// folder elsewhere has room): one line naming the file the user asked for, none of the
// library's own messages, the earlier file untouched. The exporter runs in a mount
// namespace of its own (unshare: a user namespace, no privileges needed where the system
// allows them) with a small tmpfs over the output folder.
TEST_F(Exporter, FullDiskWhileTheWorkbookIsPackedIsOneLine)
{
    const QString folder = Path(QStringLiteral("small-disk"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = QDir(folder).filePath(QStringLiteral("detail.xlsx"));
    QTemporaryDir tmp;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    p.setProcessEnvironment(env);
    // 64 KB: the earlier file fits, the workbook (about a megabyte) does not. Afterwards the
    // folder's files and the earlier file are printed, from inside the namespace.
    const QString script = QStringLiteral(
        "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 77\n"
        "printf 'the export of yesterday' > \"$1/detail.xlsx\"\n"
        "\"$2\" --dsn \"$3\" --report sales-detail --format xlsx --output \"$1/detail.xlsx\"\n"
        "status=$?\n"
        "ls -A \"$1\"; cat \"$1/detail.xlsx\"\n"
        "exit $status\n");
    p.start(QStringLiteral("unshare"), {QStringLiteral("-Urm"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                                        QStringLiteral("sh"), folder, kExporter, kSqliteDsn});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitCode() == 77 || (p.exitCode() == 1 && err.startsWith(QStringLiteral("unshare:"))))
        GTEST_SKIP() << "no mount namespace of its own: " << err.toStdString();
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_EQ(err.toStdString(),
              QStringLiteral("auditor-export: Cannot write \"%1\": No space left on device\n").arg(target).toStdString());
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), QStringLiteral("detail.xlsx\nthe export of yesterday"));
    EXPECT_TRUE(QDir(tmp.path()).isEmpty());
}

// Data sources named in Cyrillic, as Bulgarian users name them, connect on both engines.
TEST_F(Exporter, CyrillicDataSourceNamesConnect)
{
    QByteArray first;
    for (const QStringList& source : {QStringList{"--dsn", "Одит Продажби"},
                                      QStringList{"--dsn", "Одит ПГ", "--user", kPgUser, "--password", kPgPassword}}) {
        SCOPED_TRACE(source[1].toStdString());
        const QString target = Path(QStringLiteral("stores.csv"));
        const ExportRun r = RunExporter(source + QStringList{"--report", "stores", "--format", "csv", "--output", target},
                                        sources->ini);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray bytes = ReadAll(target);
        EXPECT_GT(CsvLines(target).size(), 1);
        if (first.isEmpty())
            first = bytes;
        else
            EXPECT_EQ(bytes, first); // the same stores through either engine
        QFile::remove(target);
    }
}

// A successful run over an existing file replaces it and keeps its permissions; a new file
// gets those of any new file, not the private ones of a temporary file.
TEST_F(Exporter, ReplacesAnExistingFileWithItsPermissions)
{
    auto modeOf = [](const QString& path) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode & 07777;
    };
    const QString target = Path(QStringLiteral("stores.csv"));
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ExportRun r = RunExporter(Source(dbSqlite) + QStringList{"--report", "stores", "--format", "csv", "--output", target});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const int stores = FilterRecord(QStringLiteral("all"))[QStringLiteral("counts")][QStringLiteral("StoreNamesAudit")].toInt();
    EXPECT_EQ(CsvLines(target).size(), stores + 1);
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(FilesIn(out.path()).join(u' '), QStringLiteral("stores.csv"));

    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QString fresh = Path(QStringLiteral("fresh.xlsx"));
    r = RunExporter(Source(dbSqlite) + QStringList{"--report", "stores", "--format", "xlsx", "--output", fresh});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(modeOf(fresh), 0666u & ~mask);
}

} // namespace
