// Figures taken in alternated rounds. Each round measures the subject and its
// baseline one right after the other, so that a busy moment of the machine
// (another program compiling on the same cores) falls on both sides of the
// round alike; the round's ratio cancels it. The figure is the median of the
// rounds' ratios, and its spread (the middle half of the rounds, and the
// lowest and highest round) shows how far the rounds disagree.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <time.h>

struct TRatioSpread
{
    double Median = 0;
    double LowerQuartile = 0;
    double UpperQuartile = 0;
    double Lowest = 0;
    double Highest = 0;
    int Rounds = 0;
};

// The value at fraction `at` (0 to 1) of the sorted `values`, interpolated
// between neighbours.
inline double Quantile(const std::vector<double> &sorted, double at)
{
    if (sorted.empty())
        return 0;
    const double position = at * double(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    const double fraction = position - double(below);
    return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return Quantile(values, 0.5);
}

inline TRatioSpread SpreadOf(std::vector<double> ratios)
{
    std::sort(ratios.begin(), ratios.end());
    TRatioSpread spread;
    if (ratios.empty())
        return spread;
    spread.Median = Quantile(ratios, 0.5);
    spread.LowerQuartile = Quantile(ratios, 0.25);
    spread.UpperQuartile = Quantile(ratios, 0.75);
    spread.Lowest = ratios.front();
    spread.Highest = ratios.back();
    spread.Rounds = int(ratios.size());
    return spread;
}

// "middle half 1.05-1.11, rounds 1.01-1.20 of 15"
inline std::string DescribeSpread(const TRatioSpread &spread)
{
    char text[160];
    std::snprintf(text, sizeof text, "middle half %.2f-%.2f, rounds %.2f-%.2f of %d",
                  spread.LowerQuartile, spread.UpperQuartile, spread.Lowest, spread.Highest,
                  spread.Rounds);
    return text;
}

// Milliseconds `work` takes.
inline double ElapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds of this thread's CPU time `work` takes: for work that only
// computes, the time it needs without the time it waits for a core that
// another program holds.
inline double CpuMs(const std::function<void()> &work, clockid_t clock = CLOCK_THREAD_CPUTIME_ID)
{
    const auto now = [clock] {
        timespec t{};
        clock_gettime(clock, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const double before = now();
    work();
    return now() - before;
}

// The same for every thread of this process: for work that a worker does
// while this thread waits for it.
inline double ProcessCpuMs(const std::function<void()> &work)
{
    return CpuMs(work, CLOCK_PROCESS_CPUTIME_ID);
}

enum class TClock
{
    Wall,      // what the writer waits
    ThreadCpu, // what the work costs (see CpuMs)
    ProcessCpu // the same, done on other threads too
};

// One subject against its baseline, in `rounds` alternated rounds after
// `warmUps` unrecorded ones. `setup` (untimed) runs before each side, the
// subject's with true. In even rounds the subject goes first, in odd rounds
// the baseline, so that neither side always follows the other.
struct TAlternated
{
    std::vector<double> SubjectMs;
    std::vector<double> BaselineMs;
    std::vector<double> Ratios;

    double SubjectMedianMs() const { return Median(SubjectMs); }
    double BaselineMedianMs() const { return Median(BaselineMs); }
    TRatioSpread Spread() const { return SpreadOf(Ratios); }
};

inline TAlternated Alternate(int rounds, int warmUps, const std::function<void(bool)> &setup,
                             const std::function<void()> &subject,
                             const std::function<void()> &baseline, TClock clock = TClock::Wall)
{
    const std::function<double(const std::function<void()> &)> measure =
        clock == TClock::Wall ? std::function<double(const std::function<void()> &)>(ElapsedMs)
        : clock == TClock::ThreadCpu ? [](const std::function<void()> &work) { return CpuMs(work); }
                                     : ProcessCpuMs;
    TAlternated result;
    for (int round = -warmUps; round < rounds; ++round) {
        double subjectMs = 0;
        double baselineMs = 0;
        const auto runSubject = [&] {
            setup(true);
            subjectMs = measure(subject);
        };
        const auto runBaseline = [&] {
            setup(false);
            baselineMs = measure(baseline);
        };
        if ((round + warmUps) % 2 == 0) {
            runSubject();
            runBaseline();
        } else {
            runBaseline();
            runSubject();
        }
        if (round < 0)
            continue;
        result.SubjectMs.push_back(subjectMs);
        result.BaselineMs.push_back(baselineMs);
        result.Ratios.push_back(subjectMs / baselineMs);
    }
    return result;
}
