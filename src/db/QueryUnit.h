#pragma once
// The query object: one SQL statement with its result set on one ODBC connection.
//
// Rows are fetched in blocks into row-wise bound buffers (row arrays). A static
// cursor keeps every block on the client, so the whole result can be walked again; a
// forward-only cursor keeps one block and streams. Cells are converted only when a
// field is read.
//
// The query's parts have units of their own: the fields and their text (FieldUnit,
// FieldTextUnit), the result set with the block fetch (ResultSetUnit) and the stream's
// read-ahead (ReadAheadUnit), the asynchronous open (AsyncRunUnit). This header brings
// callers the field types, TField and DoubleToText with it.

#include "AsyncRunUnit.h"
#include "FieldTextUnit.h"
#include "FieldUnit.h"
#include "OdbcConnectionUnit.h"

#include <QString>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

enum TCursorKind : std::uint8_t { ckStatic, ckForwardOnly };

struct TRunResult;

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

    // A one-row statement run before the query's own, by the same run and on the same
    // statement handle (a count before its page): Cancel stops it too, and its failure is
    // the run's failure. `mode` is called with true before it and false after it, on the
    // thread that runs it (the data manager's plain mode for one-row statements). Kept until
    // set again.
    void SetPreludeSQL(const QString& sql, std::function<void(bool)> mode = {});
    // Called with true before an asynchronous run (prelude and statement) and false after it,
    // on the thread that runs it: a page that is read whole runs plainly (the data
    // manager's plain mode), planned as the engine's own client plans it. Kept until set
    // again.
    void SetRunMode(std::function<void(bool)> mode);
    // The first value of the prelude's first row, once a run has finished; invalid when it
    // gave no row or did not run (a failure before it, or in it).
    const QVariant& PreludeValue() const { return FPreludeValue; }
    bool PreludeDone() const { return FPreludeDone; }

    // Positional parameters for "?" markers: int, qlonglong, bool, double, QString.
    std::vector<QVariant> Params;

    void Open();       // runs the statement and stands on the first row
    void OpenAsync();  // runs it on a worker thread; AfterOpen or OnOpenError follow on this thread
    void ExecSQL();    // runs a statement that returns no result set
    void Close();      // cancels a running statement, frees the result
    // Close, waiting at most `patience` for a running statement to give way. False when it
    // has not (a server that does not answer): the query is closed, but its worker still
    // holds the query and the connection until it ends (Executing() says so), and its result
    // is dropped then.
    bool TryClose(std::chrono::milliseconds patience);
    void Cancel();     // asks a running statement to stop; Close() waits for it

    bool Active() const { return FActive; }
    bool Executing() const { return FAsync.Executing(); }

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
    // The SQLSTATE of the latest asynchronous open that failed (empty when it had none).
    const QString& LastErrorState() const { return FLastErrorState; }

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

    void CheckConnection() const;
    void CheckInactive(const char* what) const;
    void RunPrelude(TRunResult& run);
    void DropResult(); // the result and fields freed, the query closed
    // Worker or caller thread: the statement's share of the session's transaction, then
    // execute, describe, fetch.
    void Execute(TRunResult& run);
    void ExecuteStatement(TRunResult& run);
    void Adopt(std::unique_ptr<TRunResult> run); // caller thread: take over the run's result
    void FinishAsync();
    void BindParams(SQLHSTMT stmt, std::vector<QByteArray>& keep, std::vector<SQLLEN>& ind);
    bool LoadNextForwardBlock();
    void Scrolled();
    void NotifyObservers();
    const std::byte* Cell(int col, SQLLEN& indicator) const;
    const QString* Overflow(int col) const;

    TOdbcConnection* FConnection = nullptr;
    TCursorKind FCursorKind;
    QString FSql;
    QString FPreludeSql;
    std::function<void(bool)> FPreludeMode;
    std::function<void(bool)> FRunMode;
    QVariant FPreludeValue;
    bool FPreludeDone = false;
    QString FLastErrorState;
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
    TAsyncRun FAsync;
};

