// Where auditor-export may write: a regular file or a new name, never a folder, a FIFO, a
// device, a socket or the data source's own database (by any of its names), refused before
// connecting; "-" is standard output.
#include "DatabaseCopy.h"
#include "ExporterRun.h"
#include "TestSupport.h"
#include "common/CodePage1251.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList EntriesIn(const QString& dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

struct stat StatOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

// Every kind of target that is no regular file, and every name of the database itself: exit
// 2 with one line saying why, before anything is read (a data source that cannot connect
// would fail otherwise), and whatever stood there is as it was.
TEST(ExportTarget, WhatIsNoRegularFileAndTheDatabaseAreRefused)
{
    // "AuditCopyUri" names the copy through a SQLite URI; "NoServer" cannot connect.
    const TDatabaseCopy copy(QStringLiteral("\n[AuditCopyUri]\nDriver=SQLite3\nDatabase=file:%1?cache=shared\n"
                                            "\n[NoServer]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=1\n"
                                            "Database=none\n"));
    const QByteArray database = ReadAll(copy.File());
    ASSERT_GT(database.size(), 0);
    QTemporaryDir out;
    const QString fifo = out.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = out.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString fifoLink = out.filePath(QStringLiteral("to-fifo.xlsx"));
    const QString databaseLink = out.filePath(QStringLiteral("to-database.xlsx"));
    const QString hardLink = copy.Dir.filePath(QStringLiteral("hard-link.csv"));
    ASSERT_TRUE(QFile::link(fifo, fifoLink));
    ASSERT_TRUE(QFile::link(copy.File(), databaseLink));
    ASSERT_EQ(::link(QFile::encodeName(copy.File()).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QString dotted = copy.Dir.path() + QStringLiteral("/../") + QDir(copy.Dir.path()).dirName() +
                           QStringLiteral("/copy.sqlite");
    const struct stat devNull = StatOf(QStringLiteral("/dev/null"));

    const QStringList noServer = {"--dsn", "NoServer", "--user", "u", "--password", "p"};
    const QStringList toCopy = {"--dsn", copy.Dsn};
    const struct {
        const char* name;
        QStringList source;
        QString output;
        const char* format;
        const char* said;
    } cases[] = {
        {"FIFO", noServer, fifo, "csv", "is a FIFO"},
        {"FIFO, spreadsheet", noServer, fifo, "xlsx", "is a FIFO"},
        {"the system's /dev/null", noServer, QStringLiteral("/dev/null"), "csv", "is a device"},
        {"folder", noServer, folder, "csv", "is a folder"},
        {"link to a FIFO", noServer, fifoLink, "xlsx", "is a symbolic link to a FIFO"},
        {"the database file", toCopy, copy.File(), "csv", "is a file of the database of data source \"AuditCopy\""},
        {"a link to it", toCopy, databaseLink, "xlsx", "is a file of the database"},
        {"a hard link to it", toCopy, hardLink, "csv", "is a file of the database"},
        {"its path through \"..\"", toCopy, dotted, "csv", "is a file of the database"},
        {"the file a URI names", {"--dsn", "AuditCopyUri"}, copy.File(), "csv", "is a file of the database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ExportRun r = RunExporter(c.source + QStringList{"--report", "stores", "--format", QLatin1String(c.format),
                                                               "--output", c.output},
                                        copy.Ini());
        EXPECT_EQ(r.exitCode, 2);
        const QStringList lines = r.err.split(u'\n');
        ASSERT_EQ(lines.size(), 3) << r.err.toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("auditor-export: --output \"%1\" %2")
                                            .arg(c.output, QString::fromUtf8(c.said))))
            << r.err.toStdString();
        EXPECT_EQ(lines[1], QStringLiteral("Try 'auditor-export --help'."));
        EXPECT_TRUE(r.out.isEmpty());
    }

    // Everything as it was, and nothing beside it.
    EXPECT_TRUE(ReadAll(copy.File()) == database) << "the database was written";
    EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));
    const struct stat devNullAfter = StatOf(QStringLiteral("/dev/null"));
    EXPECT_TRUE(S_ISCHR(devNullAfter.st_mode));
    EXPECT_EQ(devNullAfter.st_rdev, devNull.st_rdev);
    EXPECT_EQ(devNullAfter.st_ino, devNull.st_ino);
    EXPECT_EQ(EntriesIn(out.path()), QStringList({"fifo", "folder", "to-database.xlsx", "to-fifo.xlsx"}));
    EXPECT_EQ(EntriesIn(folder), QStringList());
    EXPECT_EQ(EntriesIn(copy.Dir.path()), QStringList({"copy.sqlite", "hard-link.csv", "odbc.ini"}));

    // A bundle's folder must be new: a FIFO there is refused too, and stays.
    const ExportRun bundle = RunExporter(toCopy + QStringList{"--all", "--output-dir", fifo}, copy.Ini());
    EXPECT_EQ(bundle.exitCode, 2);
    EXPECT_TRUE(bundle.err.contains(QStringLiteral("exists already"))) << bundle.err.toStdString();
    EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));

    // The data source's file is refused, but another file of the same folder is written.
    const QString beside = copy.Dir.filePath(QStringLiteral("stores.csv"));
    const ExportRun fine = RunExporter(toCopy + QStringList{"--report", "stores", "--format", "csv", "--output", beside},
                                       copy.Ini());
    EXPECT_EQ(fine.exitCode, 0) << fine.err.toStdString();
    EXPECT_TRUE(ReadAll(beside).startsWith(ToWindows1251(u"Код\t")));
}

// "--output -": the CSV goes to standard output, byte for byte the file the same export
// writes, the count line to standard error, and no file anywhere; a workbook needs a file.
TEST(ExportTarget, StandardOutputHoldsTheBytesOfTheFile)
{
    QTemporaryDir out;
    const QStringList report = {"--report", "sales-summary", "--from", "2026-03-01", "--to", "2026-03-31", "--format",
                                "csv"};
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "SQLite" : "PostgreSQL");
        const QString file = out.filePath(QStringLiteral("march.csv"));
        const ExportRun written = RunExporter(Source(type) + report + QStringList{"--output", file});
        ASSERT_EQ(written.exitCode, 0) << written.err.toStdString();
        const QByteArray bytes = ReadAll(file);
        ASSERT_GT(bytes.count("\r\n"), 2);
        QFile::remove(file);

        QProcess p;
        p.setWorkingDirectory(out.path());
        p.start(kExporter, Source(type) + report + QStringList{"--output", "-"});
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(p.readAllStandardOutput() == bytes) << "standard output differs from the file";
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()),
                  QStringLiteral("auditor-export: %1 records written to standard output\n").arg(bytes.count("\r\n") - 1));
        EXPECT_EQ(EntriesIn(out.path()), QStringList());
    }
    const ExportRun workbook =
        RunExporter(Source(dbSqlite) + QStringList{"--report", "stores", "--format", "xlsx", "--output", "-"});
    EXPECT_EQ(workbook.exitCode, 2);
    EXPECT_TRUE(workbook.err.startsWith(QStringLiteral("auditor-export: --output - (standard output) takes csv only")))
        << workbook.err.toStdString();
    EXPECT_TRUE(workbook.out.isEmpty());
}

} // namespace
