#include "SybaseDataManagerUnit.h"

TSybaseDataManager::TSybaseDataManager(const TSqlDBModel& dbModel) : TSqlDataManager(dbModel)
{
    SetConnectionParameters();
}

void TSybaseDataManager::SetConnectionParameters()
{
    if (FDbModel.DSN.isEmpty() || FDbModel.ProviderDescr().isEmpty())
        return;
    if (FDbModel.DbType() != dbSybase)
        throw Exception(QStringLiteral("Not implemented TSybaseDataManager.SetConnectionParameters!"));
    SetOdbcConnection({});
}

bool TSybaseDataManager::IsTableExists(const QString& tableName)
{
    OpenConnection();
    return !FastSql(QStringLiteral("select table_name from sys.systable where  table_name=") + QuotedStr(tableName))
                .toString()
                .isEmpty();
}

bool TSybaseDataManager::IsFieldExist(const QString& TableName, const QString& FieldName)
{
    OpenConnection();
    return !FastSql(QStringLiteral("select column_name from sys.systable, sys.syscolumn where  "
                                   "systable.table_id=syscolumn.table_id  and systable.table_name=") +
                    QuotedStr(TableName) + QStringLiteral(" and syscolumn.column_name=") + QuotedStr(FieldName))
                .toString()
                .isEmpty();
}
