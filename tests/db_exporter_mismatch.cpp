// Exporter options that do not match: an --output extension that names the other format
// (refused), and a store, fiscal device or operator number that is not in its list (said,
// and the export goes on), on the real SQLite and PostgreSQL test data.
#include "ExporterRun.h"
#include "TestSupport.h"
#include "common/CodePage1251.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const char* EngineName(TDbType type) { return type == dbSqlite ? "SQLite" : "PostgreSQL"; }

QStringList FilesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot); }

// The numbers of a lookup as --list prints them.
QStringList ListedNumbers(TDbType type, const char* key)
{
    const ExportRun r = RunExporter(QStringList{"--list", QLatin1String(key)} + Source(type));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList numbers;
    for (const QString& line : QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts))
        numbers << line.section(u'\t', 0, 0);
    return numbers;
}

TEST(ExporterOutputExtension, MustNotNameTheOtherFormat)
{
    const struct {
        const char* format;
        const char* name;
        bool refused;
    } cases[] = {
        {"csv", "r.xlsx", true},  {"csv", "r.XLS", true},    {"xlsx", "r.csv", true},   {"xlsx", "r.Txt", true},
        {"xlsx", "r.TSV", true},  {"csv", "r.csv", false},   {"csv", "r.TXT", false},   {"csv", "r.tsv", false},
        {"csv", "r.dat", false},  {"csv", "r", false},       {"xlsx", "r.XLSX", false}, {"xlsx", "r.xls", false},
        {"xlsx", "r.dat", false}, {"xlsx", "r.csv.bak", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " into " + c.name);
        QTemporaryDir out;
        const QString target = out.filePath(QLatin1String(c.name));
        const ExportRun r = RunExporter(Source(dbSqlite) + QStringList{"--report", "stores", "--format",
                                                                       QLatin1String(c.format), "--output", target,
                                                                       "--quiet"});
        if (c.refused) {
            EXPECT_EQ(r.exitCode, 2);
            const QString other = QLatin1String(c.format) == u"csv" ? QStringLiteral("spreadsheet") : QStringLiteral("text");
            EXPECT_EQ(r.err, QStringLiteral("auditor-export: --output \"%1\" ends in .%2, the name of a %3 file, but "
                                            "--format is %4\nTry 'auditor-export --help'.\n")
                                 .arg(target, QFileInfo(target).suffix(), other, QLatin1String(c.format)));
            EXPECT_TRUE(FilesIn(out.path()).isEmpty()) << FilesIn(out.path()).join(u' ').toStdString();
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray bytes = ReadAll(target);
        if (QLatin1String(c.format) == u"xlsx")
            EXPECT_TRUE(bytes.startsWith("PK\x03\x04")); // a zip archive
        else
            EXPECT_TRUE(FromWindows1251(bytes).startsWith(QStringLiteral("Код\t"))) << bytes.left(40).toStdString();
    }

    // Standard output takes csv whatever; a folder's extension does not count.
    const ExportRun toStdout = RunExporter(Source(dbSqlite) + QStringList{"--report", "stores", "--format", "csv",
                                                                          "--output", "-", "--quiet"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err.toStdString();
    EXPECT_TRUE(FromWindows1251(toStdout.out).startsWith(QStringLiteral("Код\t")));
    QTemporaryDir out;
    ASSERT_TRUE(QDir(out.path()).mkdir(QStringLiteral("book.xlsx")));
    const QString inFolder = out.filePath(QStringLiteral("book.xlsx/r.csv"));
    const ExportRun r = RunExporter(Source(dbSqlite) +
                                    QStringList{"--report", "stores", "--format", "csv", "--output", inFolder, "--quiet"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(inFolder));
}

TEST(ExporterFilterNumbers, NotInTheirListsAreSaidAndTheExportGoesOn)
{
    const QString missing = QStringLiteral("987654");
    const auto notice = [](const char* what, const QString& n, const char* list, const char* key) {
        return QStringLiteral("auditor-export: no %1 %2 in the data source's %3 (auditor-export --list %4); the "
                              "export goes on\n")
            .arg(QLatin1String(what), n, QLatin1String(list), QLatin1String(key));
    };
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(EngineName(type));
        const QStringList stores = ListedNumbers(type, "stores");
        const QStringList devices = ListedNumbers(type, "fiscal-devices");
        const QStringList operators = ListedNumbers(type, "operators");
        ASSERT_FALSE(stores.isEmpty());
        ASSERT_FALSE(devices.isEmpty());
        ASSERT_FALSE(operators.isEmpty());
        ASSERT_FALSE(stores.contains(missing) || devices.contains(missing) || operators.contains(missing));

        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("s.csv"));
        const struct {
            const char* name;
            QStringList args;
            QString err; // before the count line
        } cases[] = {
            {"store", {"--store", missing}, notice("store", missing, "stores", "stores")},
            {"fiscal device", {"--fiscal-device", missing}, notice("fiscal device", missing, "fiscal devices", "fiscal-devices")},
            {"operator", {"--operator", missing}, notice("operator", missing, "operators", "operators")},
            {"all three",
             {"--store", missing, "--fiscal-device", missing, "--operator", missing},
             notice("store", missing, "stores", "stores") +
                 notice("fiscal device", missing, "fiscal devices", "fiscal-devices") +
                 notice("operator", missing, "operators", "operators")},
            {"listed ones", {"--store", stores.first(), "--fiscal-device", devices.first(), "--operator", operators.first()}, {}},
            {"listed store, missing operator", {"--store", stores.last(), "--operator", missing},
             notice("operator", missing, "operators", "operators")},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const ExportRun r = RunExporter(Source(type) + QStringList{"--report", "sales-detail", "--format", "csv",
                                                                       "--output", csv} + c.args);
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_TRUE(r.err.startsWith(c.err)) << r.err.toStdString();
            EXPECT_TRUE(r.err.mid(c.err.size()).startsWith(QStringLiteral("auditor-export: "))) << r.err.toStdString();
            EXPECT_FALSE(r.err.mid(c.err.size()).contains(QStringLiteral("no "))) << r.err.toStdString();
            if (!c.err.isEmpty()) { // nothing found, the file written all the same: the captions alone
                EXPECT_EQ(FromWindows1251(ReadAll(csv)).count(QStringLiteral("\r\n")), 1);
            }
        }

        // Onto standard output the line goes to standard error; --quiet does not hide it.
        const ExportRun piped = RunExporter(Source(type) + QStringList{"--report", "payments", "--format", "csv",
                                                                       "--output", "-", "--quiet", "--store", missing});
        ASSERT_EQ(piped.exitCode, 0) << piped.err.toStdString();
        EXPECT_EQ(piped.err, notice("store", missing, "stores", "stores"));
        EXPECT_EQ(FromWindows1251(piped.out).count(QStringLiteral("\r\n")), 1);

        // A bundle says it once, whichever reports take the filter.
        const QString dir = out.filePath(QStringLiteral("bundle"));
        const ExportRun bundle =
            RunExporter(Source(type) + QStringList{"--all", "--output-dir", dir, "--quiet", "--operator", missing});
        ASSERT_EQ(bundle.exitCode, 0) << bundle.err.toStdString();
        EXPECT_EQ(bundle.err, notice("operator", missing, "operators", "operators"));
        EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/SHA256SUMS")));
    }
}

} // namespace
