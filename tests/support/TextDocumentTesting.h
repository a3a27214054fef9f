// What benchmarks may set of a document that the program itself never does:
// its ticks, and its recovery copies' snapshots, back on the calling thread,
// taken at once, as they were before the writes moved to the worker.
#pragma once

#include "storage/RecoveryCopy_Unit.h"
#include "storage/TextDocument_Unit.h"

struct TTextDocumentTesting
{
    static void SetWritesOnCaller(TTextDocument &document)
    {
        document.FTicksOnCaller = true;
        document.FRecovery->SetSnapshotInSteps(nullptr);
    }
    // Only the ticks, until set back.
    static void SetTicksOnCaller(TTextDocument &document, bool onCaller)
    {
        document.FTicksOnCaller = onCaller;
    }
};
