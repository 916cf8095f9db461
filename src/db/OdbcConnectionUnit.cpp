// ODBC handles, diagnostics, the environment and one connection.
#include "OdbcConnectionUnit.h"

#include <QStringList>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <odbcinst.h>
#include <sqlucode.h>

namespace {
// SQLWCHAR is 16-bit UTF-16 with unixODBC's default build, the same as QChar.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));

const SQLWCHAR* W(const QString& s) { return reinterpret_cast<const SQLWCHAR*>(s.utf16()); }
} // namespace

TOdbcHandle::TOdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : FType(type)
{
    SQLRETURN rc = SQLAllocHandle(type, parent, &FHandle);
    if (!SQL_SUCCEEDED(rc)) {
        FHandle = nullptr;
        if (parent && type != SQL_HANDLE_ENV)
            OdbcCheck(rc, type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC, parent,
                      "SQLAllocHandle");
        throw EDatabaseError(QStringLiteral("SQLAllocHandle failed"), QString(), 0);
    }
}

TOdbcHandle& TOdbcHandle::operator=(TOdbcHandle&& o) noexcept
{
    if (this != &o) {
        reset();
        FType = o.FType;
        FHandle = std::exchange(o.FHandle, nullptr);
    }
    return *this;
}

void TOdbcHandle::reset()
{
    if (FHandle) {
        SQLFreeHandle(FType, FHandle);
        FHandle = nullptr;
    }
}

QString OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QString* firstState, SQLINTEGER* firstNative)
{
    QString text;
    if (!handle)
        return text;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, nullptr, 0, &len);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
            break;
        std::vector<SQLWCHAR> msg(size_t(len) + 1);
        rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, msg.data(), SQLSMALLINT(msg.size()), &len);
        if (!SQL_SUCCEEDED(rc))
            break;
        QString sqlState = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
        QString message = QString::fromUtf16(reinterpret_cast<const char16_t*>(msg.data()), len).trimmed();
        if (rec == 1) {
            if (firstState)
                *firstState = sqlState;
            if (firstNative)
                *firstNative = native;
        }
        // psqlODBC follows a lost connection's record with one of the same state and no text.
        const QString line = QStringLiteral("[%1] %2").arg(sqlState, message);
        if (!text.isEmpty() && (message.isEmpty() || text.split(QLatin1Char('\n')).contains(line)))
            continue;
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += line;
    }
    return text;
}

void OdbcCheck(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(rc))
        return;
    QString state;
    SQLINTEGER native = 0;
    QString text = OdbcDiagnostics(handleType, handle, &state, &native);
    if (text.isEmpty())
        text = QStringLiteral("%1 failed (return code %2)").arg(QLatin1String(what)).arg(rc);
    throw EDatabaseError(text, state, native);
}

SQLHENV OdbcEnvironment()
{
    static TOdbcHandle env;
    static std::once_flag once;
    std::call_once(once, [] {
        TOdbcHandle h(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
        OdbcCheck(SQLSetEnvAttr(h.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                  SQL_HANDLE_ENV, h.get(), "SQLSetEnvAttr");
        env = std::move(h);
    });
    return env.get();
}

QString OdbcQuoteValue(const QString& value)
{
    // A value that starts with "{" or holds ";" "{" "}" "=" or surrounding blanks would be
    // read as syntax; braces make it literal, with "}" doubled inside them.
    bool needsBraces = value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '));
    for (QChar c : value)
        if (c == QLatin1Char(';') || c == QLatin1Char('{') || c == QLatin1Char('}') || c == QLatin1Char('='))
            needsBraces = true;
    if (!needsBraces)
        return value;
    QString v = value;
    v.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

QString OdbcConnectionString(const std::vector<TOdbcConnectParam>& params)
{
    QString s;
    for (const auto& p : params) {
        if (!s.isEmpty())
            s += QLatin1Char(';');
        s += p.Key + QLatin1Char('=') + (p.Verbatim ? p.Value : OdbcQuoteValue(p.Value));
    }
    return s;
}

bool IsConnectionLost(const QString& sqlState)
{
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

QString OdbcDataSourceSetting(const QString& dsn, const char* key)
{
    // The ini file holds names and values in UTF-8, as the narrow call reads them.
    char value[4096] = {};
    const int n = SQLGetPrivateProfileString(dsn.toUtf8().constData(), key, "", value, int(sizeof value), "odbc.ini");
    return n > 0 ? QString::fromUtf8(value, n) : QString();
}

TOdbcConnection::~TOdbcConnection() { Close(); }

void TOdbcConnection::Open()
{
    if (FConnected)
        return;
    TDbBusyScope busy;
    TOdbcHandle dbc(SQL_HANDLE_DBC, OdbcEnvironment());
    if (FReadOnly) // drivers that do not know the attribute may say so; the connection goes on
        SQLSetConnectAttr(dbc.get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_MODE_READ_ONLY)), 0);
    // A server that does not answer the login is given up (statements themselves get no limit).
    SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(kLoginTimeoutSeconds)), 0);
    const QString connStr = OdbcConnectionString(FParams);
    SQLRETURN rc;
    if (std::all_of(connStr.begin(), connStr.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        SQLWCHAR out[1024];
        SQLSMALLINT outLen = 0;
        rc = SQLDriverConnectW(dbc.get(), nullptr, const_cast<SQLWCHAR*>(W(connStr)), SQL_NTS, out,
                               SQLSMALLINT(std::size(out)), &outLen, SQL_DRIVER_NOPROMPT);
    } else {
        // The driver manager finds a data source by the bytes of its name in the ini file
        // (UTF-8), but narrows a wide connection string by dropping what is not ASCII: a
        // name in Cyrillic would never be found. A connection string with such characters
        // goes in as the UTF-8 that the ini file holds.
        QByteArray narrow = connStr.toUtf8();
        SQLCHAR out[1024];
        SQLSMALLINT outLen = 0;
        rc = SQLDriverConnect(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(narrow.data()), SQL_NTS, out,
                              SQLSMALLINT(std::size(out)), &outLen, SQL_DRIVER_NOPROMPT);
    }
    OdbcCheck(rc, SQL_HANDLE_DBC, dbc.get(), "SQLDriverConnect");
    SQLUINTEGER gd = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), SQL_GETDATA_EXTENSIONS, &gd, sizeof gd, nullptr)))
        gd = 0;
    FGetDataExtensions = gd;
    if (FOwnTransactions) // never a statement in the driver's autocommit
        OdbcCheck(SQLSetConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                    reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_OFF)), 0),
                  SQL_HANDLE_DBC, dbc.get(), "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)");
    {
        std::lock_guard lock(FTransactionLock);
        ++FGeneration;
        FStatements = 0;
        FInTransaction = FHeld = false;
    }
    FDbc = std::move(dbc);
    FConnected = true;
}

void TOdbcConnection::Close()
{
    if (!FConnected)
        return;
    SQLDisconnect(FDbc.get());
    FDbc.reset();
    FConnected = false;
}

QString TOdbcConnection::DriverName() const { return InfoText(SQL_DRIVER_NAME); }

QString TOdbcConnection::InfoText(SQLUSMALLINT infoType) const
{
    if (!FConnected)
        return {};
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(FDbc.get(), infoType, buf, sizeof buf - sizeof buf[0], &len)))
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(buf));
}

void TOdbcConnection::SetAutoCommit(bool on)
{
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    OdbcCheck(SQLSetConnectAttr(FDbc.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0),
              SQL_HANDLE_DBC, FDbc.get(), "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)");
}

void TOdbcConnection::SetOwnTransactions(bool on, QString startSql)
{
    FOwnTransactions = on;
    FTransactionStart = on ? std::move(startSql) : QString();
}

void TOdbcConnection::HoldTransaction(const QString& startSql)
{
    if (!FOwnTransactions) {
        SetAutoCommit(false);
        return;
    }
    std::lock_guard lock(FTransactionLock);
    if (FInTransaction && FStatements == 0)
        RollBack();
    FHeld = true;
    FHeldStart = startSql;
}

void TOdbcConnection::EndTransaction()
{
    if (!FConnected)
        return;
    if (!FOwnTransactions) {
        SQLEndTran(SQL_HANDLE_DBC, FDbc.get(), SQL_ROLLBACK);
        SQLSetConnectAttr(FDbc.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_AUTOCOMMIT_ON)),
                          0);
        return;
    }
    std::lock_guard lock(FTransactionLock);
    FHeld = false;
    FHeldStart.clear();
    if (FInTransaction && FStatements == 0)
        RollBack();
}

void TOdbcConnection::RollBack() noexcept
{
    // Nothing is ever written: the end of a transaction is a rollback. A connection that is
    // gone takes its transaction with it.
    if (FDbc)
        SQLEndTran(SQL_HANDLE_DBC, FDbc.get(), SQL_ROLLBACK);
    FInTransaction = false;
}

quint64 TOdbcConnection::BeginStatement(SQLHSTMT stmt)
{
    std::unique_lock lock(FTransactionLock);
    FTransactionBegun.wait(lock, [this] { return !FBeginning; });
    if (!FInTransaction) {
        const QString start = FHeld ? FHeldStart : FTransactionStart;
        if (!start.isEmpty()) {
            // The first statement goes to the server without the lock held, so that a
            // statement ending elsewhere never waits for it; one beginning waits its turn.
            FBeginning = true;
            lock.unlock();
            // The driver sends BEGIN first, in manual-commit mode. Outside a transaction
            // block PostgreSQL would only warn (25P01) and the transaction would take the
            // session's default: that is refused, not run.
            const SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(start)), SQL_NTS);
            QString state, text;
            SQLINTEGER native = 0;
            if (rc != SQL_SUCCESS)
                text = OdbcDiagnostics(SQL_HANDLE_STMT, stmt, &state, &native);
            SQLFreeStmt(stmt, SQL_CLOSE);
            lock.lock();
            FBeginning = false;
            FTransactionBegun.notify_all();
            if (!SQL_SUCCEEDED(rc) || state == QLatin1String("25P01")) {
                RollBack();
                throw EDatabaseError(text.isEmpty() ? QStringLiteral("\"%1\" failed").arg(start) : text, state, native);
            }
        }
        FInTransaction = true;
    }
    ++FStatements;
    return FGeneration;
}

void TOdbcConnection::EndStatement(quint64 generation) noexcept
{
    std::lock_guard lock(FTransactionLock);
    if (generation != FGeneration || FStatements == 0)
        return;
    if (--FStatements == 0 && !FHeld && FInTransaction && FConnected)
        RollBack();
}

void TStatementUse::Begin(TOdbcConnection& connection, SQLHSTMT stmt)
{
    End();
    if (!connection.OwnTransactions())
        return;
    FGeneration = connection.BeginStatement(stmt);
    FConnection = &connection;
}

void TStatementUse::End() noexcept
{
    if (FConnection)
        std::exchange(FConnection, nullptr)->EndStatement(FGeneration);
}

bool TOdbcConnection::GetDataSupport(SQLUINTEGER flag) const { return (FGetDataExtensions & flag) == flag; }

namespace {
std::atomic<void (*)()> gBusyBegin{nullptr};
std::atomic<void (*)()> gBusyEnd{nullptr};
thread_local int tBusyDepth = 0;
} // namespace

void TDbBusyScope::InstallHooks(void (*begin)(), void (*end)())
{
    gBusyBegin = begin;
    gBusyEnd = end;
}

TDbBusyScope::TDbBusyScope() : FActive(tBusyDepth++ == 0)
{
    if (FActive)
        if (auto f = gBusyBegin.load())
            f();
}

TDbBusyScope::~TDbBusyScope()
{
    --tBusyDepth;
    if (FActive)
        if (auto f = gBusyEnd.load())
            f();
}
