#pragma once
// The asynchronous open of a query: the worker thread, its cancel, and the completion on
// the query's own thread.

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

struct TRunResult;

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

// Runs a statement of a query on a worker thread. The worker touches only the run it was
// given; the query's thread takes the run over once the worker has finished and is joined.
class TAsyncRun {
public:
    // onFinished: called on the thread that made this object, through its event loop, after
    // a run has ended (it may find the run gone or a later one still running).
    explicit TAsyncRun(std::function<void()> onFinished);
    ~TAsyncRun();
    TAsyncRun(const TAsyncRun&) = delete;
    TAsyncRun& operator=(const TAsyncRun&) = delete;

    // Runs execute(*run) on the worker; an exception it throws is kept in the run (Failed, Error).
    void Start(std::unique_ptr<TRunResult> run, std::function<void(TRunResult&)> execute);
    bool Executing() const { return FExecuting; }
    // The run once it has finished, its worker joined; null while none has finished.
    std::unique_ptr<TRunResult> TakeFinished();
    void Cancel(); // asks a running statement to stop
    void Stop();   // cancels the run, waits for the worker and drops the run
    // Cancels the run and waits for its worker at most `patience`. False when the worker has
    // not let go by then (a server that does not answer): the run is then dropped whenever it
    // ends, and Executing() holds until it has.
    bool StopWithin(std::chrono::milliseconds patience);

private:
    // Stop with a deadline, or none.
    bool StopUntil(std::optional<std::chrono::steady_clock::time_point> deadline);

    std::thread FWorker;
    std::unique_ptr<TRunResult> FRun;
    std::atomic<bool> FExecuting{false};
    bool FAbandoned = false; // the run is dropped when it ends
    TQueryNotifier FNotifier;
};
