// The asynchronous open of a query (see AsyncRunUnit.h).
#include "AsyncRunUnit.h"

#include "ResultSetUnit.h"

#include <chrono>
#include <exception>
#include <utility>

TAsyncRun::TAsyncRun(std::function<void()> onFinished)
{
    FNotifier.OnFinished = std::move(onFinished);
}

TAsyncRun::~TAsyncRun() = default;

void TAsyncRun::Start(std::unique_ptr<TRunResult> run, std::function<void(TRunResult&)> execute)
{
    FRun = std::move(run);
    FExecuting = true;
    FWorker = std::thread([this, run = FRun.get(), execute = std::move(execute)] {
        try {
            execute(*run);
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

std::unique_ptr<TRunResult> TAsyncRun::TakeFinished()
{
    // A call queued by a run that was cancelled meanwhile finds no run, or a later run
    // that has not finished yet (its own call follows).
    if (!FRun)
        return nullptr;
    {
        std::lock_guard lock(FRun->Mutex);
        if (!FRun->Finished)
            return nullptr;
    }
    if (FWorker.joinable())
        FWorker.join();
    std::unique_ptr<TRunResult> run = std::move(FRun);
    FExecuting = false;
    if (std::exchange(FAbandoned, false))
        return nullptr;
    return run;
}

void TAsyncRun::Cancel()
{
    if (!FRun)
        return;
    std::lock_guard lock(FRun->Mutex);
    FRun->CancelRequested = true;
    if (FRun->Stmt)
        SQLCancel(FRun->Stmt.get());
}

bool TAsyncRun::StopWithin(std::chrono::milliseconds patience)
{
    return StopUntil(std::chrono::steady_clock::now() + patience);
}

void TAsyncRun::Stop() { StopUntil(std::nullopt); }

bool TAsyncRun::StopUntil(std::optional<std::chrono::steady_clock::time_point> deadline)
{
    if (!FWorker.joinable())
        return true;
    // SQLCancel only stops a statement that is running; a worker that is about to start
    // one is caught by the flag or by the next SQLCancel of this loop.
    for (;;) {
        Cancel();
        std::unique_lock lock(FRun->Mutex);
        if (FRun->Done.wait_for(lock, std::chrono::milliseconds(20), [&] { return FRun->Finished; }))
            break;
        if (deadline && std::chrono::steady_clock::now() >= *deadline) {
            FAbandoned = true;
            return false;
        }
    }
    FWorker.join();
    FRun.reset(); // a completion already queued finds no run
    FExecuting = false;
    FAbandoned = false;
    return true;
}
