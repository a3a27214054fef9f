// What tests and benchmarks may set and see of a recovery copy that the
// program itself never does: shorter delays, the copy switched off, and the
// path of the copy written.
#pragma once

#include "storage/RecoveryCopy_Unit.h"

struct TRecoveryCopyTesting
{
    static void SetDelays(TRecoveryCopy &copy, int pauseMs, int maxDelayMs)
    {
        copy.FPauseTimer.setInterval(pauseMs);
        copy.FMaxDelayTimer.setInterval(maxDelayMs);
    }
    // Off: TextChanged and WriteNow do nothing, and the timers stop.
    static void SetEnabled(TRecoveryCopy &copy, bool enabled)
    {
        copy.FEnabled = enabled;
        if (!enabled) {
            copy.StopTimers();
            copy.FWriteWanted = false;
        }
    }
    static QString CopyPath(const TRecoveryCopy &copy) { return copy.CopyPath(); }
};
