#pragma once
// Running auditor-export as a program from a test: its path, a run with its exit code and
// output, the data source options of the demo databases, and files read and written whole.
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

inline const QString kExporter = QStringLiteral(AUDITOR_BIN_DIR "/auditor-export");

struct ExportRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs the exporter; `odbcIni` replaces the test odbc.ini when given.
inline ExportRun RunExporter(const QStringList& args, const QString& odbcIni = {})
{
    QProcess p;
    if (!odbcIni.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ODBCINI"), odbcIni);
        p.setProcessEnvironment(env);
    }
    p.start(kExporter, args);
    EXPECT_TRUE(p.waitForFinished(300000)) << "auditor-export did not finish";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The data source options of a demo database.
inline QStringList Source(TDbType type)
{
    if (type == dbSqlite)
        return {QStringLiteral("--dsn"), kSqliteDsn};
    return {QStringLiteral("--dsn"), kPostgresDsn, QStringLiteral("--user"), kPgUser, QStringLiteral("--password"),
            kPgPassword};
}
