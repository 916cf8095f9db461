// The read-ahead of a forward-only stream (see ReadAheadUnit.h).
#include "ReadAheadUnit.h"

#include <utility>

TReadAhead::TReadAhead(std::function<bool(TBlock&, TOverflowMap&)> fetch) : FFetch(std::move(fetch))
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

TReadAhead::~TReadAhead()
{
    Wait(std::nothrow); // a fetch under way ends first
    FStop = true;
    FGo.release();
    FThread.join();
}

void TReadAhead::Start()
{
    FPending = true;
    FGo.release();
}

void TReadAhead::Wait()
{
    Wait(std::nothrow);
    if (Error)
        std::rethrow_exception(std::exchange(Error, nullptr));
}

void TReadAhead::Wait(std::nothrow_t)
{
    if (FPending)
        FDone.acquire();
    FPending = false;
}

bool NextStreamBlock(TRunResult& run)
{
    if (run.StreamDone || !run.Stmt)
        return false;
    if (!run.ReadAhead) {
        run.ReadAhead = std::make_unique<TReadAhead>(
            [&run](TBlock& block, TOverflowMap& overflow) { return FetchBlock(run, block, overflow); });
        run.ReadAhead->Block = std::make_unique<TBlock>(run.RowSize, run.BlockRows);
        run.ReadAhead->Start();
    }
    TReadAhead& ra = *run.ReadAhead;
    try {
        ra.Wait();
    } catch (...) {
        // The current block stays as it was; the stream ends with the error.
        run.ReadAhead.reset();
        run.StreamDone = true;
        run.Stmt.reset();
        run.Use.End();
        throw;
    }
    if (!ra.Rows) {
        // Nothing came: the query stays on the last row of the block it has.
        run.ReadAhead.reset();
        run.StreamDone = true;
        run.Stmt.reset();
        run.Use.End();
        return false;
    }
    std::swap(run.Blocks.front(), ra.Block);
    std::swap(run.Overflow, ra.Overflow);
    ra.Overflow.clear();
    ra.Start(); // the next block, while this one is read
    return true;
}
