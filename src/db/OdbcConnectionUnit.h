#pragma once
// Thin RAII layer over the unixODBC wide-character API: handles, diagnostics as
// exceptions, the process-wide environment and one connection.

#include "Exception.h"

#include <QString>
#include <condition_variable>
#include <mutex>
#include <sql.h>
#include <sqlext.h>
#include <utility>
#include <vector>

// A failed ODBC call. Message() is what the user sees: the driver's diagnostic records,
// each as "[SQLSTATE] message", joined by line breaks.
class EDatabaseError : public Exception {
public:
    EDatabaseError(QString message, QString sqlState, SQLINTEGER nativeError)
        : Exception(std::move(message)), FSqlState(std::move(sqlState)), FNativeError(nativeError) {}
    const QString& SqlState() const { return FSqlState; }
    SQLINTEGER NativeError() const { return FNativeError; }

private:
    QString FSqlState;
    SQLINTEGER FNativeError;
};

// Owns one ODBC handle of any type; frees it on destruction.
class TOdbcHandle {
public:
    TOdbcHandle() = default;
    TOdbcHandle(SQLSMALLINT type, SQLHANDLE parent); // allocates, throws on failure
    ~TOdbcHandle() { reset(); }
    TOdbcHandle(const TOdbcHandle&) = delete;
    TOdbcHandle& operator=(const TOdbcHandle&) = delete;
    TOdbcHandle(TOdbcHandle&& o) noexcept : FType(o.FType), FHandle(std::exchange(o.FHandle, nullptr)) {}
    TOdbcHandle& operator=(TOdbcHandle&& o) noexcept;

    SQLHANDLE get() const { return FHandle; }
    SQLSMALLINT type() const { return FType; }
    explicit operator bool() const { return FHandle != nullptr; }
    void reset();

private:
    SQLSMALLINT FType = 0;
    SQLHANDLE FHandle = nullptr;
};

// Throws EDatabaseError with the diagnostics of `handle` unless `rc` is a success.
void OdbcCheck(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what);
// The diagnostic records of a handle as one message, and the first SQLSTATE.
QString OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* firstState = nullptr,
                        SQLINTEGER* firstNative = nullptr);

// The process-wide environment handle (ODBC 3 behaviour), created on first use.
SQLHENV OdbcEnvironment();

// ODBC connection-string value: enclosed in braces with "}" doubled whenever it contains a
// character that would otherwise end or split the value, so a value can never add keywords.
QString OdbcQuoteValue(const QString& value);

struct TOdbcConnectParam {
    QString Key;
    QString Value;
    // Written as it is: for a driver that knows no braces and reads a value up to the next
    // ";" (the value must hold no ";").
    bool Verbatim = false;
};
QString OdbcConnectionString(const std::vector<TOdbcConnectParam>& params);

// An error that means the connection is gone (SQLSTATE class 08, or the server ending the
// session: PostgreSQL's 57P01 to 57P03); a new connection may well work.
bool IsConnectionLost(const QString& sqlState);

// The value of `key` in the registration of data source `dsn` (odbc.ini); empty when it has none.
QString OdbcDataSourceSetting(const QString& dsn, const char* key);

// Seconds a login may take before it is given up.
inline constexpr int kLoginTimeoutSeconds = 15;

// One ODBC connection. The login is never prompted for (SQL_DRIVER_NOPROMPT).
class TOdbcConnection {
public:
    TOdbcConnection() = default;
    ~TOdbcConnection();
    TOdbcConnection(const TOdbcConnection&) = delete;
    TOdbcConnection& operator=(const TOdbcConnection&) = delete;

    void SetParams(std::vector<TOdbcConnectParam> params) { FParams = std::move(params); }
    const std::vector<TOdbcConnectParam>& Params() const { return FParams; }

    void Open();  // no-op when already open; throws EDatabaseError
    void Close(); // no-op when closed
    bool Connected() const { return FConnected; }
    SQLHDBC Handle() const { return FDbc.get(); }

    // Text columns are read as the driver's own UTF-8 (SQL_C_CHAR) instead of UTF-16. For
    // drivers without wide entry points, where the driver manager would convert every cell.
    void SetNarrowText(bool on) { FNarrowText = on; }
    bool NarrowText() const { return FNarrowText; }

    // Dates and times are read as text and parsed here: psqlODBC's conversion to a date
    // structure drops the era of a time stamp BC, while its text keeps it.
    void SetTemporalAsText(bool on) { FTemporalAsText = on; }
    bool TemporalAsText() const { return FTemporalAsText; }

    // Numbers, booleans, dates and times are read as the engine's text and taken as values
    // of their column's type only when they are exactly that: a driver that converts what
    // it can (SQLite: "12,50" in a REAL column to 12, "0x1F" to 31, 12.7 in an INTEGER column
    // to 12, a number in a TIME column to a time) would show values the database does not
    // hold. Any other stored value is shown as the engine's text.
    void SetTypedAsText(bool on) { FTypedAsText = on; }
    bool TypedAsText() const { return FTypedAsText; }

    // A stored value the driver cannot convert to its column's type comes back as NULL
    // (SQLite: "abc" in an integer column, 2025-02-30 in a date column): a NULL of a typed
    // column is read again as text, and a value found so is shown as it is stored.
    void SetCheckTypedNulls(bool on) { FCheckTypedNulls = on; }
    bool CheckTypedNulls() const { return FCheckTypedNulls; }

    // The driver names an unaliased result column "table.column" (SQLite with LongNames):
    // such names are given back as the column name alone.
    void SetQualifiedColumnNames(bool on) { FQualifiedColumnNames = on; }
    bool QualifiedColumnNames() const { return FQualifiedColumnNames; }

    // The server cuts identifiers to this many bytes (PostgreSQL: 63); 0 = no limit. A
    // result column name cut so is given back as the statement spells it.
    void SetIdentifierByteLimit(int bytes) { FIdentifierByteLimit = bytes; }
    int IdentifierByteLimit() const { return FIdentifierByteLimit; }

    // The session asks the driver for read-only access (SQL_ATTR_ACCESS_MODE); on by default.
    // Drivers that honour it refuse every change; the data managers add what their engine
    // needs on top of it.
    void SetReadOnly(bool on) { FReadOnly = on; }
    bool ReadOnly() const { return FReadOnly; }

    // Seconds every statement on the connection may run before the driver gives it up
    // (SQL_ATTR_QUERY_TIMEOUT, set on each statement as it is made); 0, the default: no limit.
    void SetQueryTimeout(int seconds) { FQueryTimeout = seconds; }
    int QueryTimeout() const { return FQueryTimeout; }

    QString DriverName() const; // SQLGetInfo(SQL_DRIVER_NAME), empty when closed
    // A text the driver reports of the connection (SQLGetInfo: SQL_DRIVER_VER,
    // SQL_SERVER_NAME, SQL_DATABASE_NAME, ...); empty when closed or not reported.
    QString InfoText(SQLUSMALLINT infoType) const;

    // Transactions of the program's own: the session runs in manual-commit mode, every
    // transaction begins with `startSql` before any other statement (PostgreSQL: "SET
    // TRANSACTION READ ONLY", after the BEGIN the driver sends), and it is rolled back as
    // soon as its last statement is done (TStatementUse). What a statement does to the
    // session's defaults then never reaches the next transaction: each is read-only from its
    // start. An empty `startSql` keeps manual commit and the rollback alone. Set before Open.
    void SetOwnTransactions(bool on, QString startSql = {});
    bool OwnTransactions() const { return FOwnTransactions; }

    // Manual commit: the statements that follow form one transaction until EndTransaction.
    // Throws EDatabaseError when the driver refuses.
    void SetAutoCommit(bool on);
    // One transaction for every statement that follows, until EndTransaction, begun with
    // `startSql` when the session has transactions of its own (else in manual commit). A
    // transaction still open is rolled back first.
    void HoldTransaction(const QString& startSql);
    // Ends the open transaction (rolled back: nothing is ever written) and returns to
    // autocommit, or to a transaction per statement. A failure is dropped: the transaction
    // goes with the connection anyway.
    void EndTransaction();
    bool GetDataSupport(SQLUINTEGER flag) const; // SQL_GETDATA_EXTENSIONS bits

private:
    friend class TStatementUse;
    // A statement begins on `stmt` (the transaction's first statement runs on it first);
    // returns the session generation it belongs to. Throws EDatabaseError.
    quint64 BeginStatement(SQLHSTMT stmt);
    void EndStatement(quint64 generation) noexcept; // the last one ends the transaction
    void RollBack() noexcept;

    std::vector<TOdbcConnectParam> FParams;
    TOdbcHandle FDbc;
    bool FConnected = false;
    bool FNarrowText = false;
    bool FReadOnly = true;
    bool FTemporalAsText = false;
    bool FTypedAsText = false;
    bool FCheckTypedNulls = false;
    bool FQualifiedColumnNames = false;
    int FIdentifierByteLimit = 0;
    int FQueryTimeout = 0;
    SQLUINTEGER FGetDataExtensions = 0;

    // Own transactions: the statements under way, whether a transaction is open and
    // whether it is held past them; one lock, as statements begin and end on any thread.
    bool FOwnTransactions = false;
    QString FTransactionStart;
    QString FHeldStart;
    bool FHeld = false;
    bool FInTransaction = false;
    int FStatements = 0;
    quint64 FGeneration = 0; // of the session: a statement of a closed one ends nothing
    bool FBeginning = false; // a transaction's first statement is with the server
    std::mutex FTransactionLock;
    std::condition_variable FTransactionBegun;
};

// One statement's share of the session's transaction, from before its first execution to
// the end of its result (see TOdbcConnection::SetOwnTransactions). Does nothing on a
// session without transactions of its own.
class TStatementUse {
public:
    TStatementUse() = default;
    ~TStatementUse() { End(); }
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;

    void Begin(TOdbcConnection& connection, SQLHSTMT stmt); // throws EDatabaseError
    void End() noexcept;

private:
    TOdbcConnection* FConnection = nullptr;
    quint64 FGeneration = 0;
};

// Marks a stretch of synchronous database work (connect, execute, fetch) on the calling
// thread; the data module installs hooks that show the busy cursor meanwhile. Nests.
class TDbBusyScope {
public:
    TDbBusyScope();
    ~TDbBusyScope();
    TDbBusyScope(const TDbBusyScope&) = delete;
    TDbBusyScope& operator=(const TDbBusyScope&) = delete;
    static void InstallHooks(void (*begin)(), void (*end)());

private:
    bool FActive;
};
