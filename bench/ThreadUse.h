// What the window benchmarks know of their window's thread: its own
// processor time and voluntary switches, and a place first in line for the
// processor while it is measured.
#pragma once

#include <sched.h>
#include <sys/resource.h>
#include <time.h>

// The calling thread's own processor time and voluntary switches so far.
struct TThreadUse
{
    double CpuMs = 0;
    long Sleeps = 0;

    static TThreadUse Now()
    {
        TThreadUse use;
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        use.CpuMs = double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6;
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        use.Sleeps = usage.ru_nvcsw;
        return use;
    }
};

// Puts the calling thread first in line for the processor (SCHED_FIFO),
// where the user may. Only this thread: the workers it starts stay in the
// common order, or a long write of theirs would take a core from every other
// program (the X server, a test run beside the benchmark) for as long.
inline bool RunFirstInLine()
{
    sched_param param{};
    param.sched_priority = 10;
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}
