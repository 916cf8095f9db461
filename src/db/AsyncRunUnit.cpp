// The asynchronous open of a query (see AsyncRunUnit.h).
#include "AsyncRunUnit.h"

#include "QueryUnit.h"
#include "ReadAheadUnit.h"
#include "ResultSetUnit.h"

#include <chrono>
#include <exception>

void TQuery::OpenAsync()
{
    if (FActive || FExecuting)
        Close();
    CheckConnection();
    FRun = std::make_unique<TRunResult>();
    FRun->FetchAll = FCursorKind == ckStatic;
    FExecuting = true;
    TRunResult* run = FRun.get();
    FWorker = std::thread([this, run] {
        try {
            Execute(*run);
            if (!run->HasResult)
                throw Exception(QStringLiteral("The statement returned no result set"));
        } catch (const EDatabaseError& e) {
            run->Failed = true;
            run->Error = e.Message();
            run->ErrorState = e.SqlState();
            run->ErrorNative = e.NativeError();
        } catch (const Exception& e) {
            run->Failed = true;
            run->Error = e.Message();
        } catch (const std::exception& e) {
            run->Failed = true;
            run->Error = QString::fromLocal8Bit(e.what());
        }
        {
            std::lock_guard lock(run->Mutex);
            run->Finished = true;
        }
        run->Done.notify_all();
        QMetaObject::invokeMethod(&FNotifier, "Finished", Qt::QueuedConnection);
    });
}

void TQuery::FinishAsync()
{
    // A call queued by a run that was cancelled meanwhile finds no run, or a later run
    // that has not finished yet (its own call follows).
    if (!FRun)
        return;
    {
        std::lock_guard lock(FRun->Mutex);
        if (!FRun->Finished)
            return;
    }
    if (FWorker.joinable())
        FWorker.join();
    std::unique_ptr<TRunResult> run = std::move(FRun);
    FExecuting = false;
    if (run->Failed) {
        EDatabaseError error(run->Error, run->ErrorState, run->ErrorNative);
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

void TQuery::Cancel()
{
    if (!FRun)
        return;
    std::lock_guard lock(FRun->Mutex);
    FRun->CancelRequested = true;
    if (FRun->Stmt)
        SQLCancel(FRun->Stmt.get());
}

void TQuery::StopWorker()
{
    if (!FWorker.joinable())
        return;
    // SQLCancel only stops a statement that is running; a worker that is about to start
    // one is caught by the flag or by the next SQLCancel of this loop.
    for (;;) {
        Cancel();
        std::unique_lock lock(FRun->Mutex);
        if (FRun->Done.wait_for(lock, std::chrono::milliseconds(20), [&] { return FRun->Finished; }))
            break;
    }
    FWorker.join();
    FRun.reset(); // a completion already queued finds no run
    FExecuting = false;
}
