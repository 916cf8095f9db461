// The data manager of SQLite.
#include "SqliteDataManagerUnit.h"

#include "DbEngineUnit.h"

#include <QFileInfo>

TSqliteDataManager::TSqliteDataManager(const TSqlDBModel& dbModel)
    : TSqlDataManager(dbModel, DbEngine(dbSqlite))
{
    SetConnectionParameters();
}

void TSqliteDataManager::SetConnectionParameters()
{
    if (FDbModel.DSN.isEmpty() || FDbModel.ProviderDescr().isEmpty())
        return;
    if (FDbModel.DbType() != dbSqlite)
        throw Exception(QStringLiteral("Not implemented TSqliteDataManager.SetConnectionParameters!"));
    // LongNames: result columns keep captions that contain "."; StepAPI: rows stream from
    // the database instead of being collected by the driver before the first one.
    std::vector<TOdbcConnectParam> params{{QStringLiteral("LongNames"), QStringLiteral("1")},
                                          {QStringLiteral("StepAPI"), QStringLiteral("1")}};
    // The audited file is opened read-only (an SQLite URI in place of the data source's
    // file name), and NoCreat keeps a missing file from being created empty. The driver reads
    // the value up to the next ";" and knows no braces: what the URI or the connection string
    // would read as syntax is written as %HH, which SQLite decodes.
    const QString file = OdbcDataSourceSetting(FDbModel.DSN, "Database");
    if (!file.isEmpty() && !file.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        FDatabaseFile = file;
        QString uri = QStringLiteral("file:");
        for (const QChar c : file) {
            if (QStringView(u"%?#;{}").contains(c))
                uri += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                uri += c;
        }
        params.push_back({QStringLiteral("Database"), uri + QStringLiteral("?mode=ro"), true});
    }
    params.push_back({QStringLiteral("NoCreat"), QStringLiteral("1")});
    SetOdbcConnection(std::move(params));
    FConn.SetNarrowText(true); // an ANSI driver that keeps its text in UTF-8
    FConn.SetQualifiedColumnNames(true);
    // A column holds whatever was stored in it: typed values are read as their text.
    FConn.SetTypedAsText(true);
    FConn.SetCheckTypedNulls(true);
}

void TSqliteDataManager::CheckBeforeConnect() const
{
    if (!FDatabaseFile.isEmpty() && !QFileInfo::exists(FDatabaseFile))
        throw Exception(QStringLiteral("Файлът на базата данни \"%1\" на източника на данни \"%2\" не съществува.")
                            .arg(FDatabaseFile, FDbModel.DSN));
}

QString TSqliteDataManager::BeginReadSnapshot()
{
    OpenConnection();
    FastSql(QStringLiteral("BEGIN DEFERRED"));
    FastSql(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    return QStringLiteral("SERIALIZABLE (one read transaction)");
}

void TSqliteDataManager::EndReadSnapshot()
{
    if (!FConn.Connected())
        return;
    try {
        FastSql(QStringLiteral("ROLLBACK"));
    } catch (const Exception&) {
        // nothing was written; the transaction ends with the connection anyway
    }
}
