// The read-ahead of a forward-only stream (see ReadAheadUnit.h).
#include "ReadAheadUnit.h"

#include "QueryUnit.h"

bool TQuery::LoadNextForwardBlock()
{
    TRunResult& run = *FResult;
    if (run.StreamDone || !run.Stmt)
        return false;
    if (!run.ReadAhead) {
        run.ReadAhead = std::make_unique<TReadAhead>(
            [this, &run](TBlock& block, TOverflowMap& overflow) { return FetchBlock(run, block, overflow); });
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
        throw;
    }
    if (!ra.Rows) {
        // Nothing came: the query stays on the last row of the block it has.
        run.ReadAhead.reset();
        run.StreamDone = true;
        run.Stmt.reset();
        return false;
    }
    FRowsBefore += qint64(run.Blocks.front()->Rows);
    std::swap(run.Blocks.front(), ra.Block);
    std::swap(run.Overflow, ra.Overflow);
    ra.Overflow.clear();
    ra.Start(); // the next block, while this one is read
    return true;
}
