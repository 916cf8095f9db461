// What an interrupted auditor-export leaves: nothing after SIGTERM, SIGINT or SIGHUP during a
// spreadsheet export (its library's temporary folder included); after SIGKILL a temporary
// file or folder named for the dead process, which the next run into the same folder removes,
// keeping those of live processes and whatever only looks like one.
#include "DatabaseCopy.h"
#include "ExporterRun.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
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

// Waits until an entry of `dir` matches `pattern` or `p` has ended; the entry, or empty.
QString WaitForEntry(const QString& dir, const QRegularExpression& pattern, QProcess& p)
{
    while (p.state() == QProcess::Running) {
        for (const QString& name : EntriesIn(dir))
            if (pattern.match(name).hasMatch())
                return name;
        QThread::usleep(500);
    }
    return {};
}

// A spreadsheet export stopped while its library's temporary folder exists; false when the
// export was over before it could be caught (then it is tried again).
bool StopMidWorkbook(QProcess& p, const TDatabaseCopy& copy, const QString& tmp, const QString& target)
{
    p.setProcessEnvironment(copy.Environment(tmp));
    p.start(kExporter, {"--dsn", copy.Dsn, "--report", "sales-detail", "--format", "xlsx", "--output", target});
    EXPECT_TRUE(p.waitForStarted());
    static const QRegularExpression scratch(QStringLiteral("^auditor-xlsx-"));
    if (WaitForEntry(tmp, scratch, p).isEmpty()) {
        p.waitForFinished(60000);
        return false;
    }
    ::kill(pid_t(p.processId()), SIGSTOP);
    if (!EntriesIn(tmp).isEmpty())
        return true;
    ::kill(pid_t(p.processId()), SIGCONT);
    p.waitForFinished(60000);
    return false;
}

// SIGTERM, SIGINT and SIGHUP in the middle of a workbook: the process ends by the signal and
// leaves neither its temporary file nor the library's folder. SIGKILL leaves the folder,
// named for the process; the next spreadsheet export removes it, and keeps one named for a
// live process.
TEST(ExportLeftovers, SignalsDuringASpreadsheetExport)
{
    const TDatabaseCopy copy;
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(::strsignal(sig));
        QTemporaryDir tmp, out;
        const QString target = out.filePath(QStringLiteral("detail.xlsx"));
        QProcess p;
        bool caught = false;
        for (int attempt = 0; attempt < 10 && !caught; ++attempt)
            caught = StopMidWorkbook(p, copy, tmp.path(), target);
        ASSERT_TRUE(caught) << "no export was caught with its library's folder";
        const QString scratch = EntriesIn(tmp.path()).value(0);
        const qint64 pid = p.processId();
        EXPECT_EQ(EntriesIn(out.path()).size(), 1); // the temporary file beside the target
        ::kill(pid_t(p.processId()), sig);
        ::kill(pid_t(p.processId()), SIGCONT);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
        if (sig != SIGKILL) {
            EXPECT_EQ(EntriesIn(tmp.path()), QStringList());
            EXPECT_EQ(EntriesIn(out.path()), QStringList());
            continue;
        }
        EXPECT_EQ(EntriesIn(tmp.path()), QStringList{scratch});
        EXPECT_TRUE(scratch.startsWith(QStringLiteral("auditor-xlsx-%1-").arg(pid))) << scratch.toStdString();
        const QString live = QStringLiteral("auditor-xlsx-%1-aB3dE9").arg(::getpid());
        ASSERT_TRUE(QDir(tmp.path()).mkdir(live));
        QProcess next;
        next.setProcessEnvironment(copy.Environment(tmp.path()));
        next.start(kExporter, {"--dsn", copy.Dsn, "--report", "stores", "--format", "xlsx", "--output", target});
        ASSERT_TRUE(next.waitForFinished(60000));
        EXPECT_EQ(next.exitCode(), 0) << next.readAllStandardError().toStdString();
        EXPECT_EQ(EntriesIn(tmp.path()), QStringList{live});
    }
}

// A run killed while it waits for a locked database leaves its temporary file (one export)
// or folder (a bundle). The next run of the same kind into the same folder removes it, and
// keeps the temporary names of a live process, those of the other kind, and every name that
// only looks like one: another ending, no leading dot, a short random part, a symbolic link,
// a folder in place of a file.
TEST(ExportLeftovers, AKilledRunsPartGoesWithTheNextRun)
{
    const TDatabaseCopy copy;
    QTemporaryDir out;
    const QString target = out.filePath(QStringLiteral("stores.csv"));
    const QStringList single = {"--dsn", copy.Dsn, "--report", "stores", "--format", "csv", "--output", target};
    const QStringList bundle = {"--dsn", copy.Dsn, "--all", "--output-dir", out.filePath(QStringLiteral("b"))};

    // Killed with its file or folder in place; returns the dead process's id.
    const auto killMidway = [&](const QStringList& args, const QString& part) {
        TSqliteLock lock(copy.File());
        QProcess p;
        p.setProcessEnvironment(copy.Environment());
        p.start(kExporter, args);
        EXPECT_TRUE(p.waitForStarted());
        const qint64 pid = p.processId();
        EXPECT_FALSE(WaitForEntry(out.path(), QRegularExpression(part), p).isEmpty())
            << p.readAllStandardError().toStdString();
        p.kill();
        EXPECT_TRUE(p.waitForFinished(60000));
        return pid;
    };
    const qint64 dead = killMidway(single, QStringLiteral("^\\.stores\\.csv\\.[0-9]+\\.[A-Za-z0-9]{6}\\.part$"));
    const QString killedFile = EntriesIn(out.path()).value(0);
    ASSERT_TRUE(killedFile.startsWith(QStringLiteral(".stores.csv.%1.").arg(dead))) << killedFile.toStdString();
    const qint64 deadBundle = killMidway(bundle, QStringLiteral("^\\.b\\.part\\.[0-9]+\\.[A-Za-z0-9]{6}$"));
    QString killedFolder;
    for (const QString& name : EntriesIn(out.path()))
        if (name.startsWith(QStringLiteral(".b.part.%1.").arg(deadBundle)))
            killedFolder = name;
    ASSERT_FALSE(killedFolder.isEmpty()) << EntriesIn(out.path()).join(u' ').toStdString();
    WriteFile(out.filePath(killedFolder + QStringLiteral("/sales-summary.csv")), "half"); // as if killed later

    // Names around them.
    const QString me = QString::number(::getpid());
    const QString d = QString::number(dead);
    const QString otherDead = QStringLiteral(".other.csv.%1.qQ7rR8.part").arg(d); // removed too: same kind
    const QStringList kept = {
        QStringLiteral(".stores.csv.%1.aB3dE9.part").arg(me),     // a live process
        QStringLiteral(".b.part.%1.aB3dE9").arg(me),              // a live bundle
        QStringLiteral(".stores.csv.%1.aB3dE9.part.bak").arg(d),  // another ending
        QStringLiteral("stores.csv.%1.aB3dE9.part").arg(d),       // no leading dot
        QStringLiteral(".stores.csv.%1.aB3.part").arg(d),         // a short random part
        QStringLiteral(".link.csv.%1.zZ9yY8.part").arg(d),        // a symbolic link
        QStringLiteral(".dir.csv.%1.yY8xX7.part").arg(d),         // a folder
        QStringLiteral("keep-target"),
    };
    for (const QString& name : kept) {
        if (name.startsWith(QLatin1String(".b.part")) || name.startsWith(QLatin1String(".dir")))
            ASSERT_TRUE(QDir(out.path()).mkdir(name));
        else if (!name.startsWith(QLatin1String(".link")))
            WriteFile(out.filePath(name), "kept");
    }
    ASSERT_TRUE(QFile::link(out.filePath(QStringLiteral("keep-target")), out.filePath(kept[5])));
    WriteFile(out.filePath(otherDead), "stale");

    // The next single export: the dead file parts go, the bundle's folder stays.
    ExportRun r = RunExporter(single, copy.Ini());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList expected = kept + QStringList{QStringLiteral("stores.csv"), killedFolder};
    expected.sort();
    EXPECT_EQ(EntriesIn(out.path()), expected);
    EXPECT_EQ(ReadAll(out.filePath(QStringLiteral("keep-target"))), QByteArray("kept"));

    // The next bundle beside it: the dead bundle's folder goes with its files.
    r = RunExporter({"--dsn", copy.Dsn, "--all", "--output-dir", out.filePath(QStringLiteral("b2"))}, copy.Ini());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    expected.removeOne(killedFolder);
    expected << QStringLiteral("b2");
    expected.sort();
    EXPECT_EQ(EntriesIn(out.path()), expected);
}

} // namespace
