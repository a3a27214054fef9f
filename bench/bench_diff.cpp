// Comparing two versions of the writer's text (storage/TextDiff_Unit), the
// work the Earlier Versions window hands its worker thread, in alternated
// rounds of one run (bench/Rounds.h):
//   diff       a 10 MB text of paragraphs (one line each, an empty line
//              between) against the same text with one paragraph in a
//              hundred changed: words replaced or added, paragraphs deleted
//              or added; beside it, splitting both texts into lines and
//              hashing each line, the pass no line comparison can do without
//              (target: at most 3 times as long; today about 2).
// For reference, with no target: a 1 MB text with one paragraph in a hundred
// changed, a 10 MB text against an unrelated one (declined once the lines are
// aligned: too little in common), and a 10 MB text against its own
// paragraphs shuffled (declined when the alignment's budget is spent).
// Every figure is in this thread's CPU time: the comparison only computes,
// and the time it waits for a core that another program holds is not its
// own.
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "storage/TextDiff_Unit.h"

#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr qsizetype LargeBytes = 10 * 1024 * 1024;
constexpr qsizetype SmallBytes = 1024 * 1024;
constexpr int Rounds = 15;
constexpr int WarmUps = 2;
constexpr int ReferenceRuns = 5;
constexpr double TargetRatio = 3.0;

// The baseline: each line of the text found and hashed.
size_t HashLines(const QString &text)
{
    const QStringView all(text);
    size_t hash = 0;
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        hash = hash * 31 + qHash(all.mid(start, end - start));
        start = end + 1;
    }
    return hash;
}

// Median CPU time of `runs` runs of `work` after one unrecorded.
double MedianCpuMs(const std::function<void()> &work, int runs)
{
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        const double ms = CpuMs(work);
        if (run > 0)
            times.push_back(ms);
    }
    return Median(times);
}

bool Expect(bool holds, const char *what)
{
    if (!holds)
        std::printf("bench_diff: %s\n", what);
    return holds;
}

} // namespace

int main()
{
    const QString older = MakeParagraphs(LargeBytes);
    const TEdited newer = EditOnePercent(older);

    TTextDiff diff;
    volatile size_t hashes = 0;
    const TAlternated rounds = Alternate(
        Rounds, WarmUps, [](bool) {}, [&] { diff = DiffTexts(older, newer.Text); },
        [&] { hashes = HashLines(older) + HashLines(newer.Text); }, TClock::ThreadCpu);
    bool sound = Expect(diff.Compared && diff.RemovedLines == newer.Removed &&
                            diff.AddedLines == newer.Added,
                        "the 10 MB comparison did not find the lines changed");

    const QString smallOlder = MakeParagraphs(SmallBytes);
    const TEdited smallNewer = EditOnePercent(smallOlder);
    TTextDiff smallDiff;
    const double smallMs =
        MedianCpuMs([&] { smallDiff = DiffTexts(smallOlder, smallNewer.Text); }, ReferenceRuns);
    sound &= Expect(smallDiff.Compared && smallDiff.RemovedLines == smallNewer.Removed &&
                        smallDiff.AddedLines == smallNewer.Added,
                    "the 1 MB comparison did not find the lines changed");

    const QString unrelated = MakeParagraphs(LargeBytes, 77u);
    TTextDiff unrelatedDiff;
    const double unrelatedMs =
        MedianCpuMs([&] { unrelatedDiff = DiffTexts(older, unrelated); }, ReferenceRuns);
    sound &= Expect(!unrelatedDiff.Compared, "two unrelated texts were compared");

    QStringList paragraphs = older.split(QStringLiteral("\n\n"));
    TProseRandom random{5u};
    for (qsizetype i = paragraphs.size() - 1; i > 0; --i)
        paragraphs.swapItemsAt(i, qsizetype(random.Next(std::uint32_t(i + 1))));
    const QString shuffled = paragraphs.join(QStringLiteral("\n\n"));
    TTextDiff shuffledDiff;
    const double shuffledMs =
        MedianCpuMs([&] { shuffledDiff = DiffTexts(older, shuffled); }, ReferenceRuns);
    sound &= Expect(!shuffledDiff.Compared, "a shuffled text was compared");

    const TRatioSpread spread = rounds.Spread();
    const bool met = spread.Median <= TargetRatio;
    std::printf("bench_diff: 10 MB of paragraphs against the same with 1%% of its lines changed "
                "(%s) %.1f ms, splitting and hashing both texts' lines %.1f ms (medians)\n",
                qPrintable(diff.Summary()), rounds.SubjectMedianMs(), rounds.BaselineMedianMs());
    std::printf("bench_diff: ratio %.2fx (%s), target at most %.1fx: %s\n", spread.Median,
                DescribeSpread(spread).c_str(), TargetRatio, met ? "met" : "MISSED");
    std::printf("bench_diff: (reference) 1 MB with 1%% changed %.1f ms; 10 MB against an "
                "unrelated 10 MB %.1f ms, against its paragraphs shuffled %.1f ms (neither "
                "compared)\n",
                smallMs, unrelatedMs, shuffledMs);
    return met && sound ? 0 : 1;
}
