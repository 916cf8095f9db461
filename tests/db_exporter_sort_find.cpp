// auditor-export's --find, --sort and --descending: refused usage (exit status 2), the
// printed queries, a sorted and found export of the demo databases read back against the
// whole export, and the bundle's manifest naming both.
#include "ExporterRun.h"
#include "TestSupport.h"
#include "common/CodePage1251.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ExporterSortFind, WrongOrderOrFindIsRefused)
{
    const QStringList print = {"--print-sql", "--engine", "sqlite", "--report", "sales-summary"};
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {print + QStringList{"--sort", "NoSuchColumn"}, "has no column \"NoSuchColumn\"; its columns are 1 to 17: UNP,"},
        {print + QStringList{"--sort", "0"}, "has no column \"0\""},
        {print + QStringList{"--sort", "18"}, "has no column \"18\""},
        {print + QStringList{"--sort", ""}, "--sort is empty"},
        {print + QStringList{"--descending"}, "--descending goes with --sort"},
        {print + QStringList{"--find", "a", "--find", "b"}, "--find is given more than once"},
        {{"--all", "--dsn", kSqliteDsn, "--output-dir", "/nonexistent/x", "--sort", "11"},
         "--all --sort takes a column's name, not a number"},
        {{"--all", "--dsn", kSqliteDsn, "--output-dir", "/nonexistent/x", "--sort", "Nothing"},
         "no report has a column \"Nothing\""},
        {{"--list", "stores", "--dsn", kSqliteDsn, "--find", "x"}, "--list takes no --find"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const ExportRun run = RunExporter(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    const ExportRun help = RunExporter({"--help"});
    for (const char* option : {"--find TEXT", "--sort COLUMN", "--descending"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

// The column by its name in any case or by its number gives one text; the count has the
// find, the page the order.
TEST(ExporterSortFind, PrintedQueriesCarryOrderAndFind)
{
    QStringList texts;
    for (const char* column : {"TotalSumWithVAT", "totalsumwithvat", "11"}) {
        const ExportRun run = RunExporter({"--print-sql", "--engine", "postgres", "--report", "sales-summary", "--sort",
                                           column, "--descending", "--find", "O'Brien\\"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        texts << QString::fromUtf8(run.out);
    }
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(texts[0], texts[2]);
    const QStringList lines = texts[0].split(u'\n');
    EXPECT_TRUE(lines[0].contains(QStringLiteral("OPERATOR(pg_catalog.~)")));
    EXPECT_FALSE(texts[0].contains(QStringLiteral("Brien"))); // only as the hex of its bytes
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" ORDER BY TotalSumWithVAT DESC, EndDocDate,UNP")));
}

// Sorted by name descending with a find in small letters: just the rows of the whole export
// whose texts hold it in any case, in the order of their names.
TEST(ExporterSortFind, SortedFoundExportReadBack)
{
    QTemporaryDir dir;
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "sqlite" : "postgres");
        const QString whole = dir.filePath(QStringLiteral("whole.csv"));
        const QString found = dir.filePath(QStringLiteral("found.csv"));
        const QStringList base = Source(type) + QStringList{"--report", "items", "--format", "csv", "--quiet"};
        ASSERT_EQ(RunExporter(base + QStringList{"--output", whole}).exitCode, 0);
        const ExportRun run =
            RunExporter(base + QStringList{"--output", found, "--find", "кафе", "--sort", "2", "--descending"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

        const QStringList wholeLines = FromWindows1251(ReadAll(whole)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const QStringList foundLines = FromWindows1251(ReadAll(found)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_FALSE(foundLines.isEmpty());
        EXPECT_EQ(foundLines[0], wholeLines[0]); // the captions
        QStringList expected;
        for (const QString& line : wholeLines.mid(1)) {
            const QStringList cells = line.split(u'\t');
            if (cells.value(0).toLower().contains(u"кафе") || cells.value(1).toLower().contains(u"кафе"))
                expected << line;
        }
        ASSERT_FALSE(expected.isEmpty());
        // By name, from the greatest down; equal names in the report's own order (the code).
        std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
            return a.section(u'\t', 1, 1).toUtf8() > b.section(u'\t', 1, 1).toUtf8();
        });
        EXPECT_EQ(foundLines.mid(1), expected);
    }
}

TEST(ExporterSortFind, BundleManifestNamesOrderAndFind)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("bundle"));
    const ExportRun run = RunExporter(Source(dbSqlite) + QStringList{"--all", "--output-dir", out, "--quiet", "--find",
                                                                      "ЕООД", "--sort", "partnername", "--descending"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject manifest =
        QJsonDocument::fromJson(ReadAll(out + QStringLiteral("/manifest.json"))).object();
    const QJsonObject filters = manifest[QStringLiteral("filters")].toObject();
    EXPECT_EQ(filters[QStringLiteral("find")].toString(), QStringLiteral("ЕООД"));
    EXPECT_EQ(filters[QStringLiteral("sort")].toObject()[QStringLiteral("column")].toString(),
              QStringLiteral("PartnerName"));
    EXPECT_TRUE(filters[QStringLiteral("sort")].toObject()[QStringLiteral("descending")].toBool());
    QStringList sorted;
    for (const QJsonValue report : manifest[QStringLiteral("reports")].toArray()) {
        const QJsonObject f = report[QStringLiteral("filters")].toObject();
        EXPECT_EQ(f[QStringLiteral("find")].toString(), QStringLiteral("ЕООД"));
        if (f.contains(QStringLiteral("sort")))
            sorted << report[QStringLiteral("key")].toString();
    }
    EXPECT_EQ(sorted, QStringList({"sales-summary", "payments", "partners", "stores"}));
}

} // namespace
