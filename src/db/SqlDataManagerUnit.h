#pragma once
// The data manager: the program's only gateway to a database. It owns one ODBC
// connection built from its own copy of a connection descriptor, one internal query for
// one-off statements, and a cache of the first row of the last quick SELECT.

#include "OdbcConnectionUnit.h"
#include "QueryUnit.h"
#include "SqlDbModelUnit.h"

#include <QVariant>
#include <functional>
#include <array>
#include <initializer_list>
#include <memory>

struct TDbEngine;

class TSqlDataManager {
public:
    static constexpr int MaxCachedFields = 60;

    TSqlDataManager(const TSqlDBModel& dbModel, const TDbEngine& engine);
    virtual ~TSqlDataManager();
    TSqlDataManager(const TSqlDataManager&) = delete;
    TSqlDataManager& operator=(const TSqlDataManager&) = delete;

    TOdbcConnection& OpenConnection();
    // A new connection in place of one that was lost, with the same definition. Every query
    // on the connection must be closed first: the old one's statements go with it.
    TOdbcConnection& Reconnect();

    // Runs one statement; for a SELECT returns the first column of the first row (NULL
    // and "no row" give the empty QVariant) and caches up to 60 columns of that row.
    QVariant FastSql(const QString& sqlStr, const std::vector<QVariant>& params = {});
    QVariant FastSQLField(const QString& FldName) const;

    // Asked of the engine's catalogue (TDbEngine::Catalog), the names as quoted literals.
    bool IsTableExists(const QString& tableName);
    bool IsFieldExist(const QString& TableName, const QString& FieldName);

    // Switches the connection into and out of the plain mode of one-row SELECTs (see
    // SetQuickSelectMode), for a page read whole and the count run ahead of it on the
    // query's worker.
    std::function<void(bool)> QuickSelectSwitch()
    {
        return [this](bool on) { SetQuickSelectMode(on); };
    }

    // From here every statement on this manager's connection sees one state of the
    // database, read-only, until EndReadSnapshot: the strongest such isolation the engine
    // allows without holding up those who write. Returns its name, as the manager knows it
    // from the engine. Throws EDatabaseError when the engine refuses.
    virtual QString BeginReadSnapshot() = 0;
    virtual void EndReadSnapshot() { FConn.EndTransaction(); }

    // One read-only transaction for the statements that follow, from the next one to
    // EndReadTransaction, with the strongest isolation the engine gives a reader without a
    // statement of its own: statements run one after another on the query workers (a count,
    // its page, the page's totals) see the same data where the engine allows. Sends nothing
    // now; throws EDatabaseError when the driver refuses.
    virtual void HoldReadTransaction() { FConn.HoldTransaction({}); }
    // Ends it (rolled back once its last statement is done).
    void EndReadTransaction() { FConn.EndTransaction(); }

    static void OpenQueryClean(TQuery& qry);
    static void FetchAllQuery(TQuery& qry);

    const TSqlDBModel& DbModel() const { return FDbModel; }
    // The connection definition as it is kept for the connection: key=value pairs, values
    // inserted as they are. The real connect escapes every value (see ConnectParams).
    const QString& ConnectionDefinition() const { return FConnectionDefinition; }
    const std::vector<TOdbcConnectParam>& ConnectParams() const { return FConn.Params(); }
    TOdbcConnection& Connection() { return FConn; }

    std::array<QString, MaxCachedFields> LastFldNames;
    std::array<QVariant, MaxCachedFields> LastFldValues;
    int LastFldCount = 0;

protected:
    // Builds the connection definition and the ODBC connect parameters from FDbModel.
    // Called by every concrete manager's constructor.
    virtual void SetConnectionParameters() = 0;
    // Checks made before connecting, for a failure the driver would not explain.
    virtual void CheckBeforeConnect() const {}
    // Around the one-row SELECTs of FastSql (counts, lookups of one value) and the runs of
    // a report's page: a driver that streams results through a server cursor may run them
    // plainly instead.
    virtual void SetQuickSelectMode(bool on) { Q_UNUSED(on); }
    // Shared part: "DriverID=ODBC;Provider=...;Datasource=...[;UID=...;Password=...]" and
    // DSN/UID/PWD connect parameters, plus the driver options of `extra`.
    void SetOdbcConnection(std::vector<TOdbcConnectParam> extra);
    // SQL string literal: single quotes, inner quotes doubled.
    static QString QuotedStr(const QString& s);

    const TDbEngine& FEngine;
    TSqlDBModel FDbModel;
    TOdbcConnection FConn;
    QString FConnectionDefinition;
    std::unique_ptr<TQuery> FQry;
};

// Process-wide settings of the data-access layer and the manager factory.
class TSqlDataModule {
public:
    TSqlDataModule();  // installs the busy cursor shown while the database works
    ~TSqlDataModule();
    // nullptr for no descriptor; throws "Not Implemented DbType in SqlDataManager.CreateManager!"
    // for an unsupported type. Uses no state, so it works before a module exists.
    static std::unique_ptr<TSqlDataManager> CreateManager(const TSqlDBModel* dbModel);
};
