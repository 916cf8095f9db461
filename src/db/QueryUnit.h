#pragma once
// The query object: one SQL statement with its result set on one ODBC connection.
//
// Rows are fetched in blocks into row-wise bound buffers (row arrays). A static
// cursor keeps every block on the client, so the whole result can be walked again; a
// forward-only cursor keeps one block and streams. Cells are converted only when a
// field is read.
//
// Mapping of ODBC SQL types to field types (one place: TQuery::DescribeColumns):
//   SQL_CHAR -> ftFixedChar, SQL_WCHAR -> ftFixedWideChar, SQL_VARCHAR -> ftString,
//   SQL_WVARCHAR -> ftWideString, SQL_LONGVARCHAR -> ftMemo, SQL_WLONGVARCHAR -> ftWideMemo,
//   SQL_TINYINT -> ftShortint (ftByte unsigned), SQL_SMALLINT -> ftSmallint (ftWord unsigned),
//   SQL_INTEGER -> ftInteger (ftLongWord unsigned), SQL_BIGINT -> ftLargeint,
//   SQL_BIT -> ftBoolean, SQL_REAL -> ftSingle, SQL_FLOAT / SQL_DOUBLE -> ftFloat,
//   SQL_NUMERIC / SQL_DECIMAL -> ftBCD when precision <= 18 and scale <= 4, else ftFMTBcd,
//   SQL_TYPE_DATE -> ftDate, SQL_TYPE_TIME -> ftTime, SQL_TYPE_TIMESTAMP -> ftDateTime,
//   SQL_GUID -> ftGuid, SQL_BINARY -> ftBytes, SQL_VARBINARY -> ftVarBytes,
//   SQL_LONGVARBINARY -> ftBlob, anything else -> ftString (read as text).

#include "OdbcConnectionUnit.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QVariant>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <condition_variable>
#include <vector>

enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString, ftWideString, ftFixedChar, ftFixedWideChar, ftMemo, ftWideMemo, ftGuid,
    ftShortint, ftByte, ftSmallint, ftWord, ftInteger, ftLongWord, ftLargeint, ftAutoInc,
    ftBoolean,
    ftSingle, ftFloat, ftExtended, ftCurrency, ftBCD, ftFMTBcd,
    ftDate, ftTime, ftDateTime, ftTimeStamp,
    ftBytes, ftVarBytes, ftBlob,
};
const char* FieldTypeName(TFieldType t);
bool IsNumericFieldType(TFieldType t);   // integer, floating-point, currency and decimal kinds
bool IsTemporalFieldType(TFieldType t);  // date, time, date-time, time-stamp
// v as printf's "%.<precision>g" writes it in the C locale.
QString DoubleToText(double v, int precision);

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TCursorKind : std::uint8_t { ckStatic, ckForwardOnly };

class TQuery;

// Receives the completion of an asynchronous open on the query's own thread. The worker
// posts a queued call of Finished(); a call still queued when the query is freed dies with it.
class TQueryNotifier : public QObject {
    Q_OBJECT
public:
    std::function<void()> OnFinished;
public slots:
    void Finished()
    {
        if (OnFinished)
            OnFinished();
    }
};

// One result column, read at the query's current row.
class TField {
public:
    const QString& FieldName() const { return FFieldName; }
    QString DisplayLabel;                    // empty: DisplayName() is the field name
    QString DisplayName() const { return DisplayLabel.isEmpty() ? FFieldName : DisplayLabel; }
    // Format of DisplayText: for numbers "0.00"-style patterns ("#,##0.00" groups
    // thousands), for dates and times a QDateTime pattern; empty: the default text.
    QString DisplayFormat;
    int DisplayWidth = 0;                    // characters
    TAlignment Alignment = taLeftJustify;

    TFieldType DataType() const { return FDataType; }
    SQLSMALLINT SqlType() const { return FSqlType; }
    int Index() const { return FIndex; }
    int Size() const { return FSize; }       // characters for text, precision for numbers
    int Scale() const { return FScale; }

    bool IsNull() const;
    QString AsString() const;    // plain text value; empty for NULL
    QString DisplayText() const; // text as shown: DisplayFormat applied, dates dd.MM.yyyy
    QVariant Value() const;      // typed value; NULL is the empty QVariant
    qint64 AsLargeInt() const;
    double AsFloat() const;

private:
    friend class TQuery;

    TQuery* FQuery = nullptr;
    int FIndex = 0;
    QString FFieldName;
    TFieldType FDataType = ftUnknown;
    SQLSMALLINT FSqlType = 0;
    int FSize = 0;
    int FScale = 0;
};

class TQuery {
public:
    explicit TQuery(TOdbcConnection* connection = nullptr, TCursorKind kind = ckStatic);
    ~TQuery(); // cancels and joins a running statement
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    void SetConnection(TOdbcConnection* connection);
    TOdbcConnection* Connection() const { return FConnection; }
    void SetSQL(const QString& sql);
    const QString& SQL() const { return FSql; }
    void SetCursorKind(TCursorKind kind);
    TCursorKind CursorKind() const { return FCursorKind; }
    void SetRowArraySize(int rows); // rows per fetched block (default 256)

    // Positional parameters for "?" markers: int, qlonglong, bool, double, QString.
    std::vector<QVariant> Params;

    void Open();       // runs the statement and stands on the first row
    void OpenAsync();  // runs it on a worker thread; AfterOpen or OnOpenError follow on this thread
    void ExecSQL();    // runs a statement that returns no result set
    void Close();      // cancels a running statement, frees the result
    void Cancel();     // asks a running statement to stop; Close() waits for it

    bool Active() const { return FActive; }
    bool Executing() const { return FExecuting; }

    void First();
    void Next();
    bool Eof() const { return FEof; }
    bool Bof() const { return FBof; }
    bool IsEmpty() const;
    // Static cursor: number of rows held (all of them once open); forward-only: rows read so far.
    qint64 RecordCount() const;
    qint64 RecNo() const { return FRecNo; } // zero-based index of the current row
    // Static cursor: stands on row `recNo` (zero-based, clamped to the rows held) without the
    // row-move notification, for views that read the rows in any order (a grid).
    void MoveTo(qint64 recNo);

    int FieldCount() const { return int(FFields.size()); }
    TField& Fields(int i) { return *FFields.at(size_t(i)); }
    const TField& Fields(int i) const { return *FFields.at(size_t(i)); }
    TField* FindField(const QString& name); // case-insensitive

    // Row-move notification: after First/Next changed the current row and after Open.
    std::function<void()> AfterScroll;
    // Completion of OpenAsync, on the thread that called it (through its event loop).
    std::function<void()> AfterOpen;
    std::function<void(const QString& message)> OnOpenError;

    // Views bound to the query: notified (when controls are enabled) after open, close
    // and row moves. DisableControls nests; EnableControls at the outermost level
    // notifies once.
    int AddDataObserver(std::function<void()> observer);
    void RemoveDataObserver(int id);
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }


private:
    friend class TField;
    struct TColumn;
    struct TBlock;
    struct TRunResult;
    struct TReadAhead;

    void CheckConnection() const;
    void CheckInactive(const char* what) const;
    void Execute(TRunResult& run);          // worker or caller thread: execute, describe, fetch
    void DescribeColumns(TRunResult& run);
    bool FetchBlock(TRunResult& run, TBlock& block, std::map<std::tuple<size_t, SQLULEN, int>, QString>& overflow);
    void FetchRemaining(TRunResult& run);
    void Adopt(std::unique_ptr<TRunResult> run); // caller thread: take over the run's result
    void FinishAsync();
    void StopWorker();
    void BindParams(SQLHSTMT stmt, std::vector<QByteArray>& keep, std::vector<SQLLEN>& ind);
    bool LoadNextForwardBlock();
    void Scrolled();
    void NotifyObservers();
    const std::byte* Cell(int col, SQLLEN& indicator) const;
    const QString* Overflow(int col) const;

    TOdbcConnection* FConnection = nullptr;
    TCursorKind FCursorKind;
    QString FSql;
    int FRowArraySize = 256;

    std::unique_ptr<TRunResult> FResult;     // the open result: statement (while streaming), columns, rows
    std::vector<std::unique_ptr<TField>> FFields;
    qint64 FRowsBefore = 0;                  // forward-only: rows of the blocks already left

    bool FActive = false;
    bool FEof = true;
    bool FBof = true;
    qint64 FRecNo = 0;
    size_t FBlockIdx = 0;
    SQLULEN FRowInBlock = 0;

    int FDisableCount = 0;
    bool FChangedWhileDisabled = false;
    int FNextObserverId = 1;
    std::vector<std::pair<int, std::function<void()>>> FObservers;

    // Asynchronous open.
    std::thread FWorker;
    std::unique_ptr<TRunResult> FRun;
    std::atomic<bool> FExecuting{false};
    TQueryNotifier FNotifier;
};
