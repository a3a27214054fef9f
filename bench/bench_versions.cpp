// The Earlier Versions window (windows/EarlierVersions_Unit), in wall time as
// the writer waits for it:
//   open       the window over a history of 100 versions of a 1 MB text,
//              each with one paragraph more changed, the editor's text one
//              paragraph further on: from building the window, listing the
//              history and choosing the newest row until its first paint
//              with the history listed is done, without waiting for the comparison (target: median
//              at most 200 ms). For reference, the time until the newest row's comparison is on
//              show. The same over 10,000 versions of a 32 KB text, kept in /dev/shm where there is
//              one (target: median at most 100 ms).
//   hold       the window over a 10 MB version with 1% of its lines changed
//              in the editor's text, while the comparison runs on the worker
//              and while the view fills with it: a probe timer of 1 ms
//              measures how long the window's event loop was held up each
//              time (target: the longest hold of every round at most 16 ms,
//              one frame at 60 Hz), with the 99th percentile of the probe's
//              gaps. For reference, the comparison alone (DiffTexts, this
//              thread's CPU time), and the time the window's thread takes to
//              add a row for a 10 MB text the history does not hold.
//
// As in bench_session, the window's thread runs first in line (SCHED_FIFO,
// where allowed), and a gap in which the window's thread neither ran (under
// 1 ms of its own processor time) nor slept on anything but its event loop
// (one voluntary switch) is the machine's pause, counted apart.
#include "bench/BenchDocument.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "bench/ThreadUse.h"
#include "storage/History_Unit.h"
#include "storage/TextDiff_Unit.h"
#include "windows/EarlierVersions_Unit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qsizetype ShortBytes = 1024 * 1024;
constexpr qsizetype LongBytes = 10 * 1024 * 1024;
constexpr int VersionCount = 100;
constexpr qsizetype SmallBytes = 32 * 1024;
constexpr int ManyVersionCount = 10'000;
constexpr double ManyOpenTargetMs = 100.0;
constexpr int OpenRounds = 7;
constexpr int HoldRounds = 3;
constexpr int DiffRuns = 3;
constexpr double OpenTargetMs = 200.0;
constexpr double HoldTargetMs = 16.0;
// How long the probe goes on after the comparison is on show: the view's
// layout and paint of what the last slice put in.
constexpr int AfterShownMs = 250;
constexpr int WaitLimitMs = 60'000;

// Sees the first paint of a window or any of its children once the window
// lists the history.
class TPaintWatch : public QObject
{
public:
    explicit TPaintWatch(TEarlierVersions_Form *window) : FWindow(window)
    {
        qApp->installEventFilter(this);
    }
    ~TPaintWatch() override { qApp->removeEventFilter(this); }

    bool Painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && FWindow->Listed()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget == FWindow || FWindow->isAncestorOf(widget))
                Painted = true;
        }
        return false;
    }

private:
    TEarlierVersions_Form *FWindow;
};

// Shows the window and handles events until its first paint with the
// history listed is done; false when it never paints.
bool ShowAndPaint(TEarlierVersions_Form &window)
{
    TPaintWatch watch(&window);
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!watch.Painted && waited.elapsed() < WaitLimitMs)
        QApplication::processEvents();
    return watch.Painted;
}

// Handles events until the window's comparison is all on show; false when it
// never is.
bool WaitForComparison(TEarlierVersions_Form &form)
{
    if (form.ComparisonReady())
        return true;
    QEventLoop loop;
    QObject::connect(&form, &TEarlierVersions_Form::ComparisonShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(WaitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return form.ComparisonReady();
}

bool Expect(bool holds, const char *what)
{
    if (!holds)
        std::printf("bench_versions: %s\n", what);
    return holds;
}

// ---- Opening the window over 100 versions

struct TOpenFigure
{
    double OpenMs = 0;  // median, to the first paint
    double ShownMs = 0; // median, to the newest row's comparison on show
    double LowestOpenMs = 0;
    double HighestOpenMs = 0;
    bool Sound = true;
};

TOpenFigure MeasureOpen(const QString &root, qsizetype textBytes, int count)
{
    TOpenFigure figure;
    const QString primary = root + QStringLiteral("/manuscript.txt");
    THistory history(root + QStringLiteral("/nudger.db"));
    history.SetPrimaryFile(primary);

    // Each version has one paragraph more changed than the one before; the
    // editor's text one more again.
    QStringList paragraphs = MakeParagraphs(textBytes).split(QStringLiteral("\n\n"));
    TProseRandom random{7u};
    const QDateTime first = QDateTime::currentDateTimeUtc().addSecs(-60 * (count + 1));
    const auto changeOne = [&](int number) {
        const qsizetype at = (qsizetype(number) * 37) % paragraphs.size();
        paragraphs[at] = QString::fromUtf8(MakeParagraph(random));
    };
    for (int number = 0; number < count; ++number) {
        changeOne(number);
        const QByteArray bytes = paragraphs.join(QStringLiteral("\n\n")).toUtf8();
        figure.Sound &=
            Expect(history.Keep(bytes, VersionDigest(bytes), TVersionReason::SavedEarlier,
                                first.addSecs(60 * number)) == TKeepResult::Kept,
                   "a version was not kept");
    }
    changeOne(count);
    const QString editor = paragraphs.join(QStringLiteral("\n\n"));
    figure.Sound &=
        Expect(history.Versions().size() == count, "the history does not hold every version");

    TBenchDocument document(root, primary);
    std::vector<double> openMs;
    std::vector<double> shownMs;
    for (int round = -1; round < OpenRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        auto form = std::make_unique<TEarlierVersions_Form>(editor);
        form->ListHistory(document.Document);
        form->SelectVersion();
        const bool painted = ShowAndPaint(*form);
        const double open = double(clock.nsecsElapsed()) / 1e6;
        const bool shown = WaitForComparison(*form);
        const double toShown = double(clock.nsecsElapsed()) / 1e6;
        figure.Sound &=
            Expect(painted, "the window was never painted") &&
            Expect(shown, "the comparison was never on show") &&
            Expect(form->Versions_List->topLevelItemCount() == count,
                   "the window does not list every version") &&
            Expect(form->Comparison().Compared && form->Comparison().RemovedLines == 1 &&
                       form->Comparison().AddedLines == 1,
                   "the newest version's comparison is not one paragraph changed");
        form.reset();
        if (round < 0)
            continue;
        openMs.push_back(open);
        shownMs.push_back(toShown);
    }
    figure.OpenMs = Median(openMs);
    figure.ShownMs = Median(shownMs);
    figure.LowestOpenMs = *std::min_element(openMs.begin(), openMs.end());
    figure.HighestOpenMs = *std::max_element(openMs.begin(), openMs.end());
    return figure;
}

bool PrintOpen(const TOpenFigure &open, const char *size, int count, double targetMs)
{
    const bool met = open.OpenMs <= targetMs;
    std::printf("bench_versions: open over %d versions of %s, to the first paint: %.1f ms "
                "(median of %d rounds, %.1f-%.1f; target: at most %.0f ms) %s; (reference) "
                "until the newest row's comparison is on show %.1f ms\n",
                count, size, open.OpenMs, OpenRounds, open.LowestOpenMs, open.HighestOpenMs,
                targetMs, met ? "met" : "MISSED", open.ShownMs);
    std::fflush(stdout);
    return met;
}

// Ten thousand keeps, each synced, are kept in memory where there is room:
// the figure is of listing them, not of the disk.
QString ManyVersionsFolder(const QString &fallback)
{
    static QTemporaryDir memory(QStringLiteral("/dev/shm/bench_versions-XXXXXX"));
    return (memory.isValid() ? memory.path() : fallback) + QStringLiteral("/history-many");
}

// ---- The window's holds while a 10 MB comparison runs and fills

struct THoldPhase
{
    double ProgramMs = 0; // the longest gap not the machine's pause
    double PausedMs = 0;  // the longest of the machine's pauses
    int Pauses = 0;       // gaps over 2 ms that were the machine's
    std::vector<double> Held;

    void Add(double gapMs, bool machines)
    {
        Held.push_back(gapMs);
        if (machines && gapMs > 2.0) {
            ++Pauses;
            PausedMs = std::max(PausedMs, gapMs);
        } else {
            ProgramMs = std::max(ProgramMs, gapMs);
        }
    }

    void Merge(const THoldPhase &other)
    {
        ProgramMs = std::max(ProgramMs, other.ProgramMs);
        PausedMs = std::max(PausedMs, other.PausedMs);
        Pauses += other.Pauses;
        Held.insert(Held.end(), other.Held.begin(), other.Held.end());
    }

    double P99Ms() const
    {
        std::vector<double> sorted = Held;
        std::sort(sorted.begin(), sorted.end());
        return Quantile(sorted, 0.99);
    }
};

struct THoldRound
{
    THoldPhase Comparing; // until the first slice is in the view
    THoldPhase Filling;   // from then until a while after it is all on show
    double ShownMs = 0;   // from opening the window until all on show
    bool Sound = true;
};

THoldRound HoldRound(TTextDocument &history, const TEdited &editor)
{
    THoldRound result;
    // The window opens as the main window opens it; the probe starts once it
    // is painted, the comparison on the worker by then.
    QElapsedTimer shown;
    shown.start();
    TEarlierVersions_Form form(editor.Text);
    form.ListHistory(history);
    form.SelectVersion();
    result.Sound &= Expect(ShowAndPaint(form), "the window was never painted") &&
                    Expect(!form.ComparisonReady(), "the comparison was on show before the probe");

    QElapsedTimer clock;
    TThreadUse last;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, &form, [&] {
        const double gapMs = std::max(0.0, double(clock.nsecsElapsed()) / 1e6 - 1.0);
        clock.restart();
        const TThreadUse now = TThreadUse::Now();
        const bool machines = now.CpuMs - last.CpuMs < 1.0 && now.Sleeps - last.Sleeps <= 1;
        last = now;
        // A gap that ends with text in the view held the first slice.
        const bool filling = !form.Comparison_Memo->document()->isEmpty() ||
                             !form.Older_Memo->document()->isEmpty() || form.ComparisonReady();
        (filling ? result.Filling : result.Comparing).Add(gapMs, machines);
    });

    QEventLoop loop;
    QObject::connect(&form, &TEarlierVersions_Form::ComparisonShown, &loop, [&] {
        result.ShownMs = double(shown.nsecsElapsed()) / 1e6;
        QTimer::singleShot(AfterShownMs, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(WaitLimitMs, &loop, &QEventLoop::quit);
    clock.start();
    last = TThreadUse::Now();
    probe.start();
    loop.exec();
    probe.stop();

    result.Sound &=
        Expect(form.ComparisonReady(), "the 10 MB comparison was never on show") &&
        Expect(form.Comparison().Compared && form.Comparison().RemovedLines == editor.Removed &&
                   form.Comparison().AddedLines == editor.Added,
               "the window's 10 MB comparison did not find the lines changed");
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    TBenchStart start("bench_versions");
    const bool firstInLine = RunFirstInLine();
    std::printf("bench_versions: the window's thread %s\n",
                firstInLine ? "runs first in line (SCHED_FIFO)"
                            : "could not run first in line: other programs may take its turn");
    std::fflush(stdout);
    bool sound = true;

    const TOpenFigure open =
        MeasureOpen(start.Dir.filePath(QStringLiteral("history-short")), ShortBytes, VersionCount);
    sound &= open.Sound;
    bool openMet = PrintOpen(open, "1 MB", VersionCount, OpenTargetMs);
    const TOpenFigure many =
        MeasureOpen(ManyVersionsFolder(start.Dir.path()), SmallBytes, ManyVersionCount);
    sound &= many.Sound;
    openMet = PrintOpen(many, "32 KB", ManyVersionCount, ManyOpenTargetMs) && openMet;

    const QString older = MakeParagraphs(LongBytes);
    const TEdited newer = EditOnePercent(older);
    std::vector<double> diffMs;
    for (int run = 0; run <= DiffRuns; ++run) {
        TTextDiff diff;
        const double ms = CpuMs([&] { diff = DiffTexts(older, newer.Text); });
        if (run > 0)
            diffMs.push_back(ms);
    }

    const QString root = start.Dir.filePath(QStringLiteral("history-long"));
    const QString primary = root + QStringLiteral("/manuscript.txt");
    {
        THistory store(root + QStringLiteral("/nudger.db"));
        store.SetPrimaryFile(primary);
        const QByteArray bytes = older.toUtf8();
        sound &=
            Expect(store.Keep(bytes, VersionDigest(bytes), TVersionReason::SavedEarlier,
                              QDateTime::currentDateTimeUtc().addSecs(-60)) == TKeepResult::Kept,
                   "the 10 MB version was not kept");
    }
    TBenchDocument document(root, primary);
    TTextDocument &history = document.Document;
    THoldPhase comparing;
    THoldPhase filling;
    std::vector<double> shownMs;
    for (int round = 0; round < HoldRounds; ++round) {
        const THoldRound hold = HoldRound(history, newer);
        sound &= hold.Sound;
        comparing.Merge(hold.Comparing);
        filling.Merge(hold.Filling);
        shownMs.push_back(hold.ShownMs);
    }
    // A text the history does not hold (another program's version of the
    // file, the recovered words) is added on the window's thread as it opens.
    std::vector<double> addMs;
    for (int run = 0; run < DiffRuns; ++run) {
        TEarlierVersions_Form form(older);
        addMs.push_back(ElapsedMs([&] {
            form.AddText(TEarlierVersions_Form::WhenText(QDateTime::currentDateTime()),
                         VersionReasonText(TVersionReason::ChangedOutside), newer.Text);
        }));
    }

    const double longest = std::max(comparing.ProgramMs, filling.ProgramMs);
    const bool holdMet = longest <= HoldTargetMs;
    std::printf("bench_versions: window held up while 10 MB with 1%% of its lines changed is "
                "compared: longest %.1f ms, 99th percentile %.2f ms (%d probes); while the view "
                "fills: longest %.1f ms, 99th percentile %.2f ms (%d probes) (%d rounds; %d "
                "pauses of the machine's, up to %.1f ms, apart; target: longest <= %.0f ms) %s\n",
                comparing.ProgramMs, comparing.P99Ms(), int(comparing.Held.size()),
                filling.ProgramMs, filling.P99Ms(), int(filling.Held.size()), HoldRounds,
                comparing.Pauses + filling.Pauses, std::max(comparing.PausedMs, filling.PausedMs),
                HoldTargetMs, holdMet ? "met" : "MISSED");
    std::printf("bench_versions: (reference) the 10 MB comparison alone %.1f ms CPU (median of "
                "%d); from opening the window until all on show %.1f ms (median of %d); adding a "
                "10 MB text the history does not hold, as the window opens, %.1f ms (median of "
                "%d)\n",
                Median(diffMs), DiffRuns, Median(shownMs), HoldRounds, Median(addMs), DiffRuns);
    const bool met = openMet && holdMet && sound;
    std::printf("bench_versions: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
