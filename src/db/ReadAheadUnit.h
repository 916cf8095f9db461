#pragma once
// The read-ahead of a forward-only stream: its next block is fetched on a thread of its own.

#include "ResultSetUnit.h"

#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <semaphore>
#include <thread>

// A forward-only stream reads its next block on a thread of its own while the rows of the
// current one are used: the driver's work and the caller's overlap. The thread only ever
// touches the statement, the spare block and its own overflow map, and the caller waits for
// it before it takes the block: the statement is never used by both at once. One thread
// serves the whole stream; two semaphores hand the turn over.
struct TReadAhead {
    std::unique_ptr<TBlock> Block;
    TOverflowMap Overflow;
    bool Rows = false; // outcome of the last fetch
    std::exception_ptr Error;

    explicit TReadAhead(std::function<bool(TBlock&, TOverflowMap&)> fetch);
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;
    void Start();
    // The outcome of the fetch started last.
    void Wait();

private:
    void Wait(std::nothrow_t);

    std::function<bool(TBlock&, TOverflowMap&)> FFetch;
    std::binary_semaphore FGo{0};
    std::binary_semaphore FDone{0};
    bool FPending = false;
    bool FStop = false;
    std::thread FThread;
};

// Forward-only stream: the block fetched ahead takes the place of the current one, and the
// fetch of the one after it starts. False when no row was left; on an error the current block
// stays and the stream ends. The first call starts the read-ahead thread.
bool NextStreamBlock(TRunResult& run);
