#pragma once
// The read-ahead of a forward-only stream: its next block is fetched on a thread of its own.

#include "ResultSetUnit.h"

#include <exception>
#include <functional>
#include <new>
#include <semaphore>
#include <thread>
#include <utility>

// A forward-only stream reads its next block on a thread of its own while the rows of the
// current one are used: the driver's work and the caller's overlap. The thread only ever
// touches the statement, the spare block and its own overflow map, and the caller waits for
// it before it takes the block: the statement is never used by both at once. One thread
// serves the whole stream; two semaphores hand the turn over.
struct TQuery::TReadAhead {
    std::unique_ptr<TBlock> Block;
    TOverflowMap Overflow;
    bool Rows = false; // outcome of the last fetch
    std::exception_ptr Error;

    explicit TReadAhead(std::function<bool(TBlock&, TOverflowMap&)> fetch) : FFetch(std::move(fetch))
    {
        FThread = std::thread([this] {
            for (;;) {
                FGo.acquire();
                if (FStop)
                    return;
                try {
                    Rows = FFetch(*Block, Overflow);
                } catch (...) {
                    Error = std::current_exception();
                }
                FDone.release();
            }
        });
    }
    ~TReadAhead()
    {
        Wait(std::nothrow); // a fetch under way ends first
        FStop = true;
        FGo.release();
        FThread.join();
    }
    void Start()
    {
        FPending = true;
        FGo.release();
    }
    // The outcome of the fetch started last.
    void Wait()
    {
        Wait(std::nothrow);
        if (Error)
            std::rethrow_exception(std::exchange(Error, nullptr));
    }

private:
    void Wait(std::nothrow_t)
    {
        if (FPending)
            FDone.acquire();
        FPending = false;
    }

    std::function<bool(TBlock&, TOverflowMap&)> FFetch;
    std::binary_semaphore FGo{0};
    std::binary_semaphore FDone{0};
    bool FPending = false;
    bool FStop = false;
    std::thread FThread;
};
