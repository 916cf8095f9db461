// The data manager of SQLite.
#include "SqliteDataManagerUnit.h"

#include "DbEngineUnit.h"

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
    SetOdbcConnection({{QStringLiteral("LongNames"), QStringLiteral("1")},
                       {QStringLiteral("StepAPI"), QStringLiteral("1")}});
    FConn.SetNarrowText(true); // an ANSI driver that keeps its text in UTF-8
    FConn.SetQualifiedColumnNames(true);
}
