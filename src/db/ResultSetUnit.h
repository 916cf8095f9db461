#pragma once
// The result set of a statement: its columns described and mapped to field types, with
// their names repaired; the rows stored in blocks; the block fetch with the re-reads of
// values longer than their slot.
//
// Mapping of ODBC SQL types to field types (one place: DescribeColumns):
//   SQL_CHAR -> ftFixedChar, SQL_WCHAR -> ftFixedWideChar, SQL_VARCHAR -> ftString,
//   SQL_WVARCHAR -> ftWideString, SQL_LONGVARCHAR -> ftMemo, SQL_WLONGVARCHAR -> ftWideMemo,
//   SQL_TINYINT -> ftShortint (ftByte unsigned), SQL_SMALLINT -> ftSmallint (ftWord unsigned),
//   SQL_INTEGER -> ftInteger (ftLongWord unsigned), SQL_BIGINT -> ftLargeint,
//   SQL_BIT -> ftBoolean, SQL_REAL -> ftSingle, SQL_FLOAT / SQL_DOUBLE -> ftFloat,
//   SQL_NUMERIC / SQL_DECIMAL -> ftBCD when precision <= 18 and scale <= 4, else ftFMTBcd,
//   SQL_TYPE_DATE -> ftDate, SQL_TYPE_TIME -> ftTime, SQL_TYPE_TIMESTAMP -> ftDateTime,
//   SQL_GUID -> ftGuid, SQL_BINARY -> ftBytes, SQL_VARBINARY -> ftVarBytes,
//   SQL_LONGVARBINARY -> ftBlob, anything else -> ftString (read as text).

#include "FieldUnit.h"
#include "OdbcConnectionUnit.h"

#include <QString>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

struct TReadAhead;

// Characters a field shows by default.
int DefaultDisplayWidth(TFieldType t, int size, int scale, int nameLength);

// One result column as described by the driver, and where its value lies in a row.
struct TColumn {
    QString Name;
    SQLSMALLINT SqlType = 0;
    SQLULEN ColSize = 0;
    SQLSMALLINT Digits = 0;
    TFieldType Type = ftUnknown;
    SQLSMALLINT CType = SQL_C_WCHAR;
    SQLLEN ElemSize = 0;  // bytes of the value slot
    size_t Offset = 0;    // of the value slot within a row
    size_t IndOffset = 0; // of the length/indicator within a row
    bool Text = false;    // variable-length: may be longer than its slot
    bool TemporalText = false; // a date or time read as the engine's text (SQL_C_CHAR)
    bool NumberText = false;   // a number or boolean read as the engine's text (SQL_C_CHAR)
    bool TemporalChecked = false; // such a text the driver may have made up is checked (psqlODBC)
    bool NullChecked = false;  // a NULL is read again as text: the driver may hide a value so
};

// Rows laid out one after another (row-wise binding): each row holds every column's slot
// and indicator, so one bind offset addresses a whole row.
struct TBlock {
    SQLULEN Rows = 0;
    size_t RowSize = 0;
    std::vector<std::byte> Buf;

    TBlock(size_t rowSize, SQLULEN capacity) : RowSize(rowSize), Buf(rowSize * capacity) {}
    SQLULEN Capacity() const { return RowSize ? Buf.size() / RowSize : 0; }
    std::byte* Row(SQLULEN r) { return Buf.data() + RowSize * r; }
    const std::byte* Row(SQLULEN r) const { return Buf.data() + RowSize * r; }
};

// How rows come from the driver.
enum TFetchMode : std::uint8_t {
    fmArray,  // row arrays: one SQLFetch per block
    fmSingle, // bound columns, one row per SQLFetch (the driver cannot re-read a value inside a row array)
    fmGetData // nothing bound: every value through SQLGetData (a column too wide to bind)
};

// Texts longer than their slot, read in full, and the stored text of typed values the
// driver gave as NULL: by block, row in the block and column.
using TOverflowMap = std::map<std::tuple<size_t, SQLULEN, int>, QString>;

// One run of a statement: the statement while it streams, the columns and the rows read.
struct TRunResult {
    TRunResult();
    ~TRunResult(); // where TReadAhead is complete
    TRunResult(const TRunResult&) = delete;
    TRunResult& operator=(const TRunResult&) = delete;

    // Ends after the statement (declared first): the session's transaction outlives it.
    TStatementUse Use;
    TOdbcHandle Stmt;
    std::vector<TColumn> Columns;
    size_t RowSize = 0;
    std::vector<std::unique_ptr<TBlock>> Blocks;
    TOverflowMap Overflow;
    TFetchMode Mode = fmArray;
    SQLULEN BlockRows = 1;   // rows a block holds
    SQLULEN Fetched = 0;     // rows of the last SQLFetch
    std::vector<std::byte> Staging; // fmSingle: the row the columns are bound to
    const TBlock* BoundTo = nullptr; // block the columns are bound to
    bool StreamDone = false;
    bool HasResult = false;
    bool FetchAll = false;   // static cursor: read everything, then free the statement
    QVariant PreludeValue;   // first value of the statement run before the query's own
    bool PreludeDone = false;

    // Worker bookkeeping.
    std::atomic<bool> CancelRequested{false};
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Failed = false;
    QString Error;
    QString ErrorState;
    SQLINTEGER ErrorNative = 0;

    // Last, so that it is gone, its thread joined, before anything it uses.
    std::unique_ptr<TReadAhead> ReadAhead;
};

// The columns of the statement's result: names, field types, value slots and row layout.
void DescribeColumns(TRunResult& run, const TOdbcConnection& connection, const QString& sql);
// Fills `block` with the next rows, the texts too long for their slot into `overflow`.
// Returns false when no row was left.
bool FetchBlock(TRunResult& run, TBlock& block, TOverflowMap& overflow);
// Static cursor: the rest of the rows, block after block.
void FetchRemaining(TRunResult& run);
