// auditor-export and a database that does not answer: a PostgreSQL statement held by a lock,
// with its server session stopped or not, and a SQLite file another program has locked.
// --timeout ends the wait with status 1 and leaves nothing; without it the export waits, says
// so on a terminal, and goes on once the database answers.
#include "DatabaseCopy.h"
#include "ExporterRun.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QStringList EntriesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The table behind the "stores" report held in ACCESS EXCLUSIVE mode by a session of the
// test: the report's statements wait for it on the server. Another session watches (the
// locking one, inside its transaction, would see the activity of its start only).
class TStoresLocked {
public:
    TStoresLocked() : FSession(TestManager(dbPostgres)), FObserver(TestManager(dbPostgres, kScratchPgDsn))
    {
        FSession->OpenConnection().SetAutoCommit(false);
        FSession->FastSql(QStringLiteral("LOCK TABLE Stores IN ACCESS EXCLUSIVE MODE"));
    }
    ~TStoresLocked() { FSession->Connection().EndTransaction(); }
    // The server process of the session that waits for the lock; 0 when none does yet.
    qint64 Waiting() const
    {
        return FObserver
            ->FastSql(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND datname = '%1'")
                          .arg(OdbcDataSourceSetting(kPostgresDsn, "Database")))
            .toLongLong();
    }

private:
    std::unique_ptr<TSqlDataManager> FSession;
    std::unique_ptr<TSqlDataManager> FObserver;
};

// A statement the server holds: with its session going on the server stops it at the limit
// (the driver sets the server's statement_timeout), with its session stopped nothing would
// ever answer, and the run gives up by itself a little after the limit. Either way: status
// 1, one line, no file and no temporary file.
TEST(ExportWaits, AStatementOverTheLimitEndsTheRun)
{
    const struct {
        const char* name;
        bool stopSession;
        const char* timeout;
        const char* said;
    } cases[] = {
        {"server going on", false, "1",
         "auditor-export: the database gave no answer within 1 s (--timeout): [57014] ERROR: canceling statement due "
         "to statement timeout"},
        {"server session stopped", true, "2", "auditor-export: the database gave no answer within 2 s (--timeout)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir out;
        TStoresLocked lock;
        QProcess p;
        p.start(kExporter, Source(dbPostgres) + QStringList{"--report", "stores", "--format", "csv", "--output",
                                                            out.filePath(QStringLiteral("stores.csv")), "--timeout",
                                                            QLatin1String(c.timeout)});
        ASSERT_TRUE(p.waitForStarted());
        qint64 session = 0;
        for (int i = 0; i < 3000 && !session && p.state() == QProcess::Running; ++i) {
            session = lock.Waiting();
            if (!session)
                QThread::msleep(5);
        }
        ASSERT_GT(session, 0) << p.readAllStandardError().toStdString();
        struct TGoOn {
            pid_t Pid = 0;
            ~TGoOn()
            {
                if (Pid)
                    ::kill(Pid, SIGCONT);
            }
        } goOn;
        if (c.stopSession) {
            ASSERT_EQ(::kill(pid_t(session), SIGSTOP), 0);
            goOn.Pid = pid_t(session);
        }
        // The test's own limit, far beyond the run's: a run that waits for ever fails here.
        const bool finished = p.waitForFinished(90000);
        if (!finished)
            p.kill();
        ASSERT_TRUE(finished) << "the run did not give up";
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith(QString::fromUtf8(c.said))) << err.toStdString();
        EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
        EXPECT_EQ(EntriesIn(out.path()), QStringList());
    }
}

// A SQLite file that another program holds locked: with --timeout the run fails with the
// driver's reason once the limit has passed; without it, it waits, says so on a terminal, and
// writes the file once the lock is let go.
TEST(ExportWaits, ALockedSqliteFile)
{
    const TDatabaseCopy copy;
    QTemporaryDir out;
    const QString target = out.filePath(QStringLiteral("stores.csv"));
    const QStringList args = {"--dsn", copy.Dsn, "--report", "stores", "--format", "csv", "--output", target};
    TSqliteLock lock(copy.File());

    const ExportRun limited = RunExporter(args + QStringList{"--timeout", "1"}, copy.Ini());
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_TRUE(limited.err.startsWith(QStringLiteral("auditor-export: "))) << limited.err.toStdString();
    EXPECT_TRUE(limited.err.contains(QStringLiteral("database is locked"))) << limited.err.toStdString();
    EXPECT_EQ(limited.err.count(u'\n'), 1) << limited.err.toStdString();
    EXPECT_EQ(EntriesIn(out.path()), QStringList());

    // On a terminal: the lock goes once the run has said that it waits.
    QProcess p;
    p.setProcessEnvironment(copy.Environment());
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(AUDITOR_SOURCE_DIR "/tests/support/on_terminal.py"), kExporter} + args);
    QString terminal;
    const QString waiting = QStringLiteral("auditor-export: waiting for the database (no time limit; --timeout sets one)");
    while (!terminal.contains(waiting) && p.waitForReadyRead(60000))
        terminal += QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_TRUE(terminal.contains(waiting)) << terminal.toStdString();
    lock.Release();
    ASSERT_TRUE(p.waitForFinished(60000));
    terminal += QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << terminal.toStdString();
    EXPECT_TRUE(terminal.contains(QStringLiteral("records written to ") + target)) << terminal.toStdString();
    const ExportRun again = RunExporter({"--dsn", copy.Dsn, "--report", "stores", "--format", "csv", "--output", "-"},
                                        copy.Ini());
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(ReadAll(target) == again.out) << "the file differs from an export without a lock";
    EXPECT_EQ(EntriesIn(out.path()), QStringList({"stores.csv"}));
}

} // namespace
