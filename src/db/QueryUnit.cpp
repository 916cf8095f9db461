// The query object: runs its statement, takes over the result and moves over its rows
// (see QueryUnit.h).
#include "QueryUnit.h"

#include "ReadAheadUnit.h"
#include "ResultSetUnit.h"

#include <algorithm>

#include <cstring>
#include <utility>
#include <sqlucode.h>

namespace {

const SQLWCHAR* W(const QString& s) { return reinterpret_cast<const SQLWCHAR*>(s.utf16()); }

} // namespace

TQuery::TQuery(TOdbcConnection* connection, TCursorKind kind)
    : FConnection(connection), FCursorKind(kind), FAsync([this] { FinishAsync(); })
{
}

TQuery::~TQuery()
{
    try {
        Close();
    } catch (...) {
    }
}

void TQuery::SetConnection(TOdbcConnection* connection)
{
    CheckInactive("SetConnection");
    FConnection = connection;
}

void TQuery::SetSQL(const QString& sql)
{
    if (FActive || FAsync.Executing())
        Close();
    FSql = sql;
}

void TQuery::SetCursorKind(TCursorKind kind)
{
    CheckInactive("SetCursorKind");
    FCursorKind = kind;
}

void TQuery::SetRowArraySize(int rows) { FRowArraySize = std::max(1, rows); }

void TQuery::CheckConnection() const
{
    if (!FConnection)
        throw Exception(QStringLiteral("The query has no connection"));
    if (!FConnection->Connected())
        throw Exception(QStringLiteral("The query's connection is not open"));
}

void TQuery::CheckInactive(const char* what) const
{
    if (FActive || FAsync.Executing())
        throw Exception(QStringLiteral("%1 is not allowed on an open query").arg(QLatin1String(what)));
}

void TQuery::BindParams(SQLHSTMT stmt, std::vector<QByteArray>& keep, std::vector<SQLLEN>& ind)
{
    keep.resize(Params.size());
    ind.resize(Params.size());
    for (size_t i = 0; i < Params.size(); ++i) {
        const QVariant& v = Params[i];
        const SQLUSMALLINT n = SQLUSMALLINT(i + 1);
        SQLRETURN rc;
        if (!v.isValid() || v.isNull()) {
            ind[i] = SQL_NULL_DATA;
            rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0, &ind[i]);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Bool: {
                qint64 x = v.toLongLong();
                keep[i] = QByteArray(reinterpret_cast<const char*>(&x), sizeof x);
                ind[i] = 0;
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                      keep[i].data(), 0, &ind[i]);
                break;
            }
            case QMetaType::Double: {
                double x = v.toDouble();
                keep[i] = QByteArray(reinterpret_cast<const char*>(&x), sizeof x);
                ind[i] = 0;
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                      keep[i].data(), 0, &ind[i]);
                break;
            }
            default: {
                const QString s = v.toString();
                keep[i] = QByteArray(reinterpret_cast<const char*>(s.utf16()), qsizetype(s.size() * 2 + 2));
                ind[i] = SQLLEN(s.size() * 2);
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                      SQLULEN(std::max<qsizetype>(s.size(), 1)), 0, keep[i].data(),
                                      SQLLEN(keep[i].size()), &ind[i]);
            }
            }
        }
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLBindParameter");
    }
}

void TQuery::Execute(TRunResult& run)
{
    {
        std::lock_guard lock(run.Mutex);
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
        run.Stmt = TOdbcHandle(SQL_HANDLE_STMT, FConnection->Handle());
    }
    // Before the transaction's first statement, which runs on the same handle. A driver
    // that knows no statement limit may refuse it: the statement runs without.
    if (const int seconds = FConnection->QueryTimeout(); seconds > 0)
        SQLSetStmtAttr(run.Stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(seconds)), 0);
    try {
        run.Use.Begin(*FConnection, run.Stmt.get());
        ExecuteStatement(run);
    } catch (...) {
        run.Use.End(); // the failed transaction is rolled back here, on the thread that ran it
        throw;
    }
}

void TQuery::ExecuteStatement(TRunResult& run)
{
    SQLHSTMT stmt = run.Stmt.get();
    if (!FPreludeSql.isEmpty()) {
        RunPrelude(run);
        // A cancel that came while the prelude's result was on its way found no statement
        // left to stop (the server ignores it between statements): the query is not begun.
        std::lock_guard lock(run.Mutex);
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
    }
    std::vector<QByteArray> keep;
    std::vector<SQLLEN> ind;
    BindParams(stmt, keep, ind);
    SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(FSql)), SQL_NTS);
    if (rc != SQL_NO_DATA)
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLExecDirect");
    DescribeColumns(run, *FConnection, FSql);
    if (!run.HasResult)
        return;
    // Values that may have to be read again (texts longer than their slot, NULLs hiding a
    // stored text) need a driver that re-reads inside a row array, else one row per fetch.
    const bool mayReread = std::any_of(run.Columns.begin(), run.Columns.end(),
                                       [](const TColumn& c) { return c.Text || c.NullChecked || c.TemporalChecked; });
    if (run.Mode != fmGetData && mayReread && !FConnection->GetDataSupport(SQL_GD_BLOCK | SQL_GD_BOUND))
        run.Mode = fmSingle;
    run.BlockRows = SQLULEN(FRowArraySize);
    if (run.Mode != fmGetData) {
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(run.RowSize), 0),
                  SQL_HANDLE_STMT, stmt, "SQLSetStmtAttr");
        const SQLULEN rowset = run.Mode == fmArray ? run.BlockRows : 1;
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0),
                  SQL_HANDLE_STMT, stmt, "SQLSetStmtAttr");
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &run.Fetched, 0), SQL_HANDLE_STMT, stmt,
                  "SQLSetStmtAttr");
    }
    // The first block is read here in either cursor kind, so that an open stands on a row.
    run.Blocks.push_back(std::make_unique<TBlock>(run.RowSize, run.BlockRows));
    if (!FetchBlock(run, *run.Blocks.back(), run.Overflow)) {
        run.StreamDone = true;
    } else if (run.FetchAll) {
        FetchRemaining(run);
    }
    if (run.FetchAll || run.StreamDone) {
        SQLFreeStmt(stmt, SQL_CLOSE); // the connection is free for other statements at once
        run.Use.End();
    }
}

namespace {

// A mode switched on for a scope (see SetPreludeSQL, SetRunMode).
struct TModeScope {
    const std::function<void(bool)>& Switch;
    explicit TModeScope(const std::function<void(bool)>& s) : Switch(s)
    {
        if (Switch)
            Switch(true);
    }
    ~TModeScope()
    {
        if (Switch)
            Switch(false);
    }
    TModeScope(const TModeScope&) = delete;
    TModeScope& operator=(const TModeScope&) = delete;
};

} // namespace

void TQuery::RunPrelude(TRunResult& run)
{
    SQLHSTMT stmt = run.Stmt.get();
    TModeScope mode(FPreludeMode);
    SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(FPreludeSql)), SQL_NTS);
    OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLExecDirect");
    rc = SQLFetch(stmt);
    if (rc != SQL_NO_DATA) {
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
        SQLWCHAR text[64] = {};
        SQLLEN len = 0;
        OdbcCheck(SQLGetData(stmt, 1, SQL_C_WCHAR, text, sizeof text, &len), SQL_HANDLE_STMT, stmt, "SQLGetData");
        if (len != SQL_NULL_DATA)
            run.PreludeValue = QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
    run.PreludeDone = true;
}

void TQuery::SetPreludeSQL(const QString& sql, std::function<void(bool)> mode)
{
    CheckInactive("SetPreludeSQL");
    FPreludeSql = sql;
    FPreludeMode = std::move(mode);
}

void TQuery::SetRunMode(std::function<void(bool)> mode)
{
    CheckInactive("SetRunMode");
    FRunMode = std::move(mode);
}

void TQuery::Adopt(std::unique_ptr<TRunResult> run)
{
    if (FCursorKind == ckStatic || run->StreamDone) {
        run->Stmt.reset();
        run->Use.End();
    }
    FResult = std::move(run);
    FRowsBefore = 0;
    FFields.clear();
    for (size_t i = 0; i < FResult->Columns.size(); ++i) {
        auto f = std::make_unique<TField>();
        const TColumn& col = FResult->Columns[i];
        f->FQuery = this;
        f->FIndex = int(i);
        f->FFieldName = col.Name;
        f->FDataType = col.Type;
        f->FSqlType = col.SqlType;
        f->FSize = int(std::min<SQLULEN>(col.ColSize, 1u << 30));
        f->FScale = col.Digits;
        f->Alignment = IsNumericFieldType(col.Type) ? taRightJustify : taLeftJustify;
        f->DisplayWidth = DefaultDisplayWidth(col.Type, f->FSize, f->FScale, int(col.Name.size()));
        FFields.push_back(std::move(f));
    }
    FActive = true;
    FBlockIdx = 0;
    FRowInBlock = 0;
    FRecNo = 0;
    FBof = true;
    FEof = IsEmpty();
    Scrolled();
}

void TQuery::Open()
{
    if (FActive)
        return;
    CheckConnection();
    TDbBusyScope busy;
    auto run = std::make_unique<TRunResult>();
    run->FetchAll = FCursorKind == ckStatic;
    FPreludeValue = QVariant();
    FPreludeDone = false;
    struct TKeepPrelude { // also when the query's own statement fails
        TQuery& Query;
        TRunResult& Run;
        ~TKeepPrelude()
        {
            Query.FPreludeValue = Run.PreludeValue;
            Query.FPreludeDone = Run.PreludeDone;
        }
    } keep{*this, *run};
    Execute(*run);
    if (!run->HasResult)
        throw Exception(QStringLiteral("The statement returned no result set"));
    Adopt(std::move(run));
}

void TQuery::ExecSQL()
{
    CheckInactive("ExecSQL");
    CheckConnection();
    TDbBusyScope busy;
    TRunResult run;
    Execute(run);
}

void TQuery::OpenAsync()
{
    if (FActive || FAsync.Executing())
        Close();
    CheckConnection();
    FPreludeValue = QVariant();
    FPreludeDone = false;
    auto run = std::make_unique<TRunResult>();
    run->FetchAll = FCursorKind == ckStatic;
    FAsync.Start(std::move(run), [this](TRunResult& running) {
        TModeScope mode(FRunMode);
        Execute(running);
        if (!running.HasResult)
            throw Exception(QStringLiteral("The statement returned no result set"));
    });
}

void TQuery::FinishAsync()
{
    std::unique_ptr<TRunResult> run = FAsync.TakeFinished();
    if (!run)
        return;
    FPreludeValue = run->PreludeValue;
    FPreludeDone = run->PreludeDone;
    FLastErrorState = run->Failed ? run->ErrorState : QString();
    if (run->Failed) {
        EDatabaseError error(run->Error, run->ErrorState, run->ErrorNative);
        run.reset(); // its statement goes before a handler may close the connection
        if (OnOpenError) {
            OnOpenError(error.Message());
            return;
        }
        throw error;
    }
    Adopt(std::move(run));
    if (AfterOpen)
        AfterOpen();
}

void TQuery::Cancel() { FAsync.Cancel(); }

bool TQuery::TryClose(std::chrono::milliseconds patience)
{
    const bool stopped = FAsync.StopWithin(patience);
    DropResult();
    return stopped;
}

void TQuery::Close()
{
    FAsync.Stop();
    DropResult();
}

void TQuery::DropResult()
{
    const bool wasActive = FActive;
    FFields.clear();
    FResult.reset();
    FActive = false;
    FEof = FBof = true;
    FRecNo = 0;
    if (wasActive)
        NotifyObservers();
}

bool TQuery::LoadNextForwardBlock()
{
    const qint64 rowsLeft = qint64(FResult->Blocks.front()->Rows);
    if (!NextStreamBlock(*FResult))
        return false;
    FRowsBefore += rowsLeft;
    return true;
}

void TQuery::First()
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FCursorKind == ckForwardOnly && (FRowsBefore > 0 || FRowInBlock > 0 || (FEof && !IsEmpty())))
        throw Exception(QStringLiteral("A forward-only query cannot go back to its first row"));
    FBlockIdx = 0;
    FRowInBlock = 0;
    FRecNo = 0;
    FBof = true;
    FEof = IsEmpty();
    Scrolled();
}

void TQuery::Next()
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FEof)
        return;
    const auto& blocks = FResult->Blocks;
    if (FRowInBlock + 1 < blocks[FBlockIdx]->Rows) {
        ++FRowInBlock;
    } else if (FCursorKind == ckStatic) {
        if (FBlockIdx + 1 < blocks.size() && blocks[FBlockIdx + 1]->Rows > 0) {
            ++FBlockIdx;
            FRowInBlock = 0;
        } else {
            FEof = true; // stays on the last row
            return;
        }
    } else {
        const SQLULEN keepRow = FRowInBlock;
        if (!LoadNextForwardBlock()) {
            FRowInBlock = keepRow;
            FEof = true;
            return;
        }
        FRowInBlock = 0;
    }
    ++FRecNo;
    FBof = false;
    Scrolled();
}

void TQuery::MoveTo(qint64 recNo)
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FCursorKind != ckStatic)
        throw Exception(QStringLiteral("Only a static query can move to any row"));
    if (IsEmpty())
        return;
    recNo = std::clamp<qint64>(recNo, 0, RecordCount() - 1);
    // Blocks are full but for the last one; the walk is short (a page holds a few dozen).
    qint64 before = 0;
    size_t b = 0;
    const auto& blocks = FResult->Blocks;
    while (before + qint64(blocks[b]->Rows) <= recNo) {
        before += qint64(blocks[b]->Rows);
        ++b;
    }
    FBlockIdx = b;
    FRowInBlock = SQLULEN(recNo - before);
    FRecNo = recNo;
    FBof = recNo == 0;
    FEof = false;
}

bool TQuery::IsEmpty() const
{
    return !FResult || FResult->Blocks.empty() || FResult->Blocks.front()->Rows == 0;
}

qint64 TQuery::RecordCount() const
{
    if (!FActive)
        return 0;
    if (FCursorKind == ckForwardOnly)
        return FRecNo + (IsEmpty() ? 0 : 1);
    qint64 n = 0;
    for (const auto& b : FResult->Blocks)
        n += qint64(b->Rows);
    return n;
}

TField* TQuery::FindField(const QString& name)
{
    for (auto& f : FFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

const std::byte* TQuery::Cell(int col, SQLLEN& indicator) const
{
    if (!FActive || IsEmpty()) {
        indicator = SQL_NULL_DATA;
        return nullptr;
    }
    const TColumn& c = FResult->Columns[size_t(col)];
    const std::byte* row = FResult->Blocks[FBlockIdx]->Row(FRowInBlock);
    std::memcpy(&indicator, row + c.IndOffset, sizeof indicator);
    return row + c.Offset;
}

const QString* TQuery::Overflow(int col) const
{
    if (FResult->Overflow.empty())
        return nullptr;
    auto it = FResult->Overflow.find({FBlockIdx, FRowInBlock, col});
    return it == FResult->Overflow.end() ? nullptr : &it->second;
}

int TQuery::AddDataObserver(std::function<void()> observer)
{
    const int id = FNextObserverId++;
    FObservers.emplace_back(id, std::move(observer));
    return id;
}

void TQuery::RemoveDataObserver(int id)
{
    std::erase_if(FObservers, [id](const auto& p) { return p.first == id; });
}

void TQuery::DisableControls() { ++FDisableCount; }

void TQuery::EnableControls()
{
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0 && FChangedWhileDisabled) {
        FChangedWhileDisabled = false;
        NotifyObservers();
    }
}

void TQuery::Scrolled()
{
    if (AfterScroll)
        AfterScroll();
    NotifyObservers();
}

void TQuery::NotifyObservers()
{
    if (FDisableCount > 0) {
        FChangedWhileDisabled = true;
        return;
    }
    auto observers = FObservers; // an observer may remove itself
    for (auto& [id, fn] : observers)
        if (fn)
            fn();
}
