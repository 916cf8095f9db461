#include "SqliteDataManagerUnit.h"

TSqliteDataManager::TSqliteDataManager(const TSqlDBModel& dbModel) : TSqlDataManager(dbModel)
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

bool TSqliteDataManager::IsTableExists(const QString& tableName)
{
    OpenConnection();
    // Identifiers are case-insensitive in SQLite, as the report queries use them.
    return !FastSql(QStringLiteral("select name from sqlite_master where type in ('table','view') and "
                                   "name=") + QuotedStr(tableName) + QStringLiteral(" collate nocase"))
                .toString()
                .isEmpty();
}

bool TSqliteDataManager::IsFieldExist(const QString& TableName, const QString& FieldName)
{
    OpenConnection();
    return !FastSql(QStringLiteral("select name from pragma_table_info(") + QuotedStr(TableName) +
                    QStringLiteral(") where name=") + QuotedStr(FieldName) + QStringLiteral(" collate nocase"))
                .toString()
                .isEmpty();
}
