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
    // SQL Anywhere has no read-only transaction a client can begin: each transaction is
    // rolled back when its statements are done, so that nothing a view's procedure changes
    // without committing it stays.
    FConn.SetOwnTransactions(true);
}

QString TSybaseDataManager::BeginReadSnapshot()
{
    OpenConnection();
    FConn.HoldTransaction({});
    try {
        FastSql(QStringLiteral("SET TEMPORARY OPTION isolation_level = 'snapshot'"));
        FastSql(QStringLiteral("SELECT count(*) FROM SYS.DUMMY"));
        return QStringLiteral("SNAPSHOT");
    } catch (const Exception&) {
        FConn.EndTransaction();
        FConn.HoldTransaction({});
        FastSql(QStringLiteral("SET TEMPORARY OPTION isolation_level = 1"));
        return QStringLiteral("READ COMMITTED (the database does not allow snapshot isolation: the reports may "
                              "see changes made while they are written)");
    }
}
