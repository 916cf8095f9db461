// The data manager of SQL Anywhere.
#include "SybaseDataManagerUnit.h"

#include "DbEngineUnit.h"

TSybaseDataManager::TSybaseDataManager(const TSqlDBModel& dbModel)
    : TSqlDataManager(dbModel, DbEngine(dbSybase))
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
