#pragma once
// A copy of the SQLite demo database under a data source of its own (in an odbc.ini that
// holds the test data sources too), and another program's lock on such a file: for tests
// that lock the file, stop its readers or aim an export at it.
#include "ExporterRun.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TDatabaseCopy {
public:
    // `sections` is more of the odbc.ini, with "%1" for the copy's file.
    explicit TDatabaseCopy(const QString& sections = {})
    {
        EXPECT_TRUE(QFile::copy(OdbcDataSourceSetting(kSqliteDsn, "Database"), File()));
        QByteArray ini = ReadAll(TestDataDir() + QStringLiteral("/odbc.ini"));
        ini += QStringLiteral("\n[%1]\nDriver=SQLite3\nDatabase=%2\n").arg(Dsn, File()).toUtf8();
        if (!sections.isEmpty())
            ini += sections.arg(File()).toUtf8();
        WriteFile(Ini(), ini);
    }
    QString File() const { return Dir.filePath(QStringLiteral("copy.sqlite")); }
    QString Ini() const { return Dir.filePath(QStringLiteral("odbc.ini")); }
    // The environment of an exporter that reads this odbc.ini; `tmpdir` its TMPDIR when given.
    QProcessEnvironment Environment(const QString& tmpdir = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ODBCINI"), Ini());
        if (!tmpdir.isEmpty())
            env.insert(QStringLiteral("TMPDIR"), tmpdir);
        return env;
    }

    const QString Dsn = QStringLiteral("AuditCopy");
    QTemporaryDir Dir;
};

// The sqlite3 program holding BEGIN EXCLUSIVE on a file: no other connection reads it until
// Release (or the end of this object).
class TSqliteLock {
public:
    explicit TSqliteLock(const QString& file)
    {
        FHolder.start(QStringLiteral("sqlite3"), {file});
        FHolder.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
        QByteArray said;
        while (!said.contains("locked") && FHolder.waitForReadyRead(30000))
            said += FHolder.readAllStandardOutput();
        EXPECT_TRUE(said.contains("locked")) << FHolder.readAllStandardError().toStdString();
    }
    ~TSqliteLock() { Release(); }
    void Release()
    {
        if (FHolder.state() == QProcess::NotRunning)
            return;
        FHolder.write("ROLLBACK;\n");
        FHolder.closeWriteChannel();
        EXPECT_TRUE(FHolder.waitForFinished(30000));
    }

private:
    QProcess FHolder;
};
