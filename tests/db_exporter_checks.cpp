// auditor-export and the audit checks: --list checks, --check with its filters and
// parameters (refused where the check does not take them), the printed statements, and a
// check's export read back: its title, what it looks for, its filters and parameters, then
// as many findings as its count gives.
#include "ExporterRun.h"
#include "TestSupport.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckQueryUnit.h"
#include "common/CodePage1251.h"
#include "db/DbEngineUnit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A check that takes `param`, and one that does not.
const TCheckDef* CheckTaking(TCheckParamSet param, bool takes)
{
    for (const TCheckDef& def : CheckList())
        if (bool(def.Params & param) == takes)
            return &def;
    return nullptr;
}

TEST(ExporterChecks, ListsTheChecksAndRefusesWrongUsage)
{
    const ExportRun list = RunExporter({"--list", "checks"});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    QStringList expected;
    for (const TCheckDef& def : CheckList())
        expected << QLatin1String(def.Key) + u'\t' + QString::fromUtf16(def.Title);
    EXPECT_EQ(QString::fromUtf8(list.out), expected.join(u'\n') + u'\n');

    const TCheckDef* plain = CheckTaking(cpTolerance, false);
    ASSERT_TRUE(plain);
    const QString key = QLatin1String(plain->Key);
    const QStringList print = {"--print-sql", "--engine", "sqlite"};
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {print + QStringList{"--check", "no-such-check"}, "unknown check \"no-such-check\"; the checks are: "},
        {print + QStringList{"--check", key, "--report", "items"}, "--report and --check exclude each other"},
        {print + QStringList{"--check", key, "--tolerance", "0.5"}, "takes no --tolerance"},
        {print + QStringList{"--report", "items", "--open-minutes", "5"}, "--open-minutes goes with --check or --all"},
        {print + QStringList{"--check", key, "--sort", "NoSuchColumn"}, "has no column \"NoSuchColumn\""},
        {{"--list", "checks", "--dsn", kSqliteDsn}, "--list checks takes no --dsn"},
        {{"--list", "stores", "--dsn", kSqliteDsn, "--check", key}, "--list takes no --check"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ExportRun run = RunExporter(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    if (const TCheckDef* tolerant = CheckTaking(cpTolerance, true)) {
        const QStringList base = print + QStringList{"--check", QLatin1String(tolerant->Key)};
        for (const char* bad : {"abc", "-1", "0.001", "1.2.3"}) {
            const ExportRun run = RunExporter(base + QStringList{"--tolerance", bad});
            EXPECT_EQ(run.exitCode, 2) << bad;
            EXPECT_TRUE(run.err.contains(QStringLiteral("--tolerance wants an amount"))) << run.err.toStdString();
        }
    }
    const ExportRun help = RunExporter({"--help"});
    for (const char* option : {"--check KEY", "--list checks", "--tolerance", "--open-minutes", "--opening-hours",
                               "--reversal-activity"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

// Every check on every engine: two lines, the count and the page, with no line break
// inside either, as the window runs them.
TEST(ExporterChecks, PrintsEachChecksStatements)
{
    for (const char* engine : {"sqlite", "postgres", "sqlanywhere"}) {
        const TDbEngine* found = FindDbEngineByCommandLineName(QString::fromLatin1(engine));
        ASSERT_TRUE(found);
        const TRepository repo(found->DbType);
        for (const TCheckDef& def : CheckList()) {
            SCOPED_TRACE(std::string(engine) + " " + def.Key);
            const ExportRun run = RunExporter({"--print-sql", "--engine", engine, "--check", def.Key, "--from",
                                               "2025-03-01", "--to", "2025-03-31"});
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            const QStringList lines = QString::fromUtf8(run.out).split(u'\n');
            ASSERT_EQ(lines.size(), 3);
            EXPECT_TRUE(lines[2].isEmpty());
            TReportFilters filters;
            filters.FromDate = DateToDays(QDate(2025, 3, 1));
            filters.ToDate = DateToDays(QDate(2025, 3, 31));
            QString page, count;
            TCheckQuery(repo, QDate::currentDate()).FillQuery(def, filters, TCheckParams{}, page, count);
            EXPECT_EQ(lines[0], count);
            EXPECT_EQ(lines[1], page);
        }
    }
}

// Each check's CSV on both engines: the title, its purpose and run words under it, the
// captions between dashed lines, then as many findings as the engine counts.
TEST(ExporterChecks, ExportReadBack)
{
    QTemporaryDir dir;
    for (TDbType type : {dbSqlite, dbPostgres}) {
        const TRepository repo(type);
        const auto db = TestManager(type);
        for (const TCheckDef& def : CheckList()) {
            SCOPED_TRACE(std::string(type == dbSqlite ? "sqlite " : "postgres ") + def.Key);
            const QString file = dir.filePath(QLatin1String(def.Key) + QStringLiteral(".csv"));
            const ExportRun run = RunExporter(Source(type) + QStringList{"--check", def.Key, "--format", "csv",
                                                                         "--output", file, "--quiet"});
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            const QStringList lines = FromWindows1251(ReadAll(file)).split(QStringLiteral("\r\n"));
            // The title, underlined; what the check looks for; its parameters, one a line;
            // the captions between dashed lines; the findings.
            const QStringList words = TCheckParams{}.Words(def.Params);
            const qsizetype head = 3 + words.size();
            ASSERT_GE(lines.size(), head + 3);
            EXPECT_EQ(lines[0], QString::fromUtf16(def.Title));
            EXPECT_TRUE(lines[1].startsWith(u'='));
            EXPECT_EQ(lines[2], QString::fromUtf16(def.Purpose));
            EXPECT_EQ(lines.mid(3, words.size()), words);
            EXPECT_TRUE(lines[head].startsWith(u'-'));
            EXPECT_TRUE(lines[head + 1].startsWith(QString::fromUtf16(def.Grid.Columns[0].Caption) + u'\t'));
            EXPECT_TRUE(lines[head + 2].startsWith(u'-'));
            QString page, count;
            TCheckQuery(repo, QDate::currentDate()).FillQuery(def, TReportFilters{}, TCheckParams{}, page, count);
            const qsizetype findings =
                std::count_if(lines.begin() + head + 3, lines.end(), [](const QString& line) { return !line.isEmpty(); });
            EXPECT_EQ(findings, db->FastSql(count).toLongLong());
        }
    }
}

} // namespace
