// The data manager of PostgreSQL.
#include "PostgresDataManagerUnit.h"

#include "DbEngineUnit.h"

TPostgresDataManager::TPostgresDataManager(const TSqlDBModel& dbModel)
    : TSqlDataManager(dbModel, DbEngine(dbPostgres))
{
    SetConnectionParameters();
}

void TPostgresDataManager::SetConnectionParameters()
{
    if (FDbModel.DSN.isEmpty() || FDbModel.ProviderDescr().isEmpty())
        return;
    if (FDbModel.DbType() != dbPostgres)
        throw Exception(QStringLiteral("Not implemented TPostgresDataManager.SetConnectionParameters!"));
    // Declare/fetch: results stream in blocks of Fetch rows instead of arriving whole.
    // BoolsAsChar=0: booleans come as SQL_BIT, not as the texts "1"/"0".
    // pqopt, libpq's own options: every transaction of the session is read-only, so that
    // nothing, not even a function a view calls, can change the audited database; a server
    // that does not answer the login is given up after 15 s, and one that is gone while a
    // statement runs is noticed by TCP keepalives within a minute.
    SetOdbcConnection({{QStringLiteral("UseDeclareFetch"), QStringLiteral("1")},
                       {QStringLiteral("Fetch"), QStringLiteral("2000")},
                       {QStringLiteral("BoolsAsChar"), QStringLiteral("0")},
                       {QStringLiteral("pqopt"),
                        QStringLiteral("options='-c default_transaction_read_only=on' connect_timeout=%1 "
                                       "keepalives=1 keepalives_idle=20 keepalives_interval=10 keepalives_count=3")
                            .arg(kLoginTimeoutSeconds)}});
    // The session's default is not enough: a function a view calls may turn it off for
    // the statements after its own (set_config(..., false)). Every transaction therefore
    // begins read-only by a statement of the program's own, before any other.
    FConn.SetOwnTransactions(true, QStringLiteral("SET TRANSACTION READ ONLY"));
    // Longer captions come back cut to 63 bytes (NAMEDATALEN).
    FConn.SetIdentifierByteLimit(63);
    // A time stamp BC comes whole only as text.
    FConn.SetTemporalAsText(true);
}

void TPostgresDataManager::SetQuickSelectMode(bool on)
{
    // SQL_ATTR_PGOPT_USE_DECLAREFETCH, a connection attribute of psqlODBC read when a
    // statement runs. Failing to set it only costs speed.
    constexpr SQLINTEGER kUseDeclareFetch = 65539;
    SQLSetConnectAttr(FConn.Handle(), kUseDeclareFetch, reinterpret_cast<SQLPOINTER>(SQLULEN(on ? 0 : 1)),
                      SQL_IS_UINTEGER);
}

QString TPostgresDataManager::BeginReadSnapshot()
{
    OpenConnection();
    // One transaction for every statement until EndReadSnapshot, begun with its isolation;
    // the snapshot is taken by the first query that follows.
    FConn.HoldTransaction(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    FastSql(QStringLiteral("SELECT upper(current_setting('transaction_isolation')) AS isolation, "
                           "current_setting('transaction_read_only') AS read_only"));
    const QString isolation = FastSQLField(QStringLiteral("ISOLATION")).toString();
    if (isolation != QLatin1String("REPEATABLE READ") ||
        FastSQLField(QStringLiteral("READ_ONLY")).toString() != QLatin1String("on"))
        throw Exception(QStringLiteral("The server did not begin a read-only REPEATABLE READ transaction (it runs %1)")
                            .arg(isolation));
    return QStringLiteral("REPEATABLE READ, READ ONLY");
}

void TPostgresDataManager::HoldReadTransaction()
{
    // A REPEATABLE READ transaction keeps the snapshot of its first statement for all of them.
    FConn.HoldTransaction(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
}
