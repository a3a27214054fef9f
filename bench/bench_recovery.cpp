// What the recovery copy of unsaved text costs the writer, on documents
// opened in the main window as the writer's primary file:
//   keystroke  one typed letter with the recovery copy on (each keystroke
//              tells the copy of the change, and the copy is written between
//              rounds, through its own timers) against the same letter with
//              it off, in the middle of a 10 MB document and of a 200-line
//              one; alternated rounds, this thread's CPU time, the median of
//              the rounds' ratios (bench/Rounds.h; target: at most 1.05 each);
//   stall      the longest time the window's thread does not answer while a
//              copy of the 10 MB document is made: the largest gap between
//              the ticks of a 1 ms timer from a keystroke until the copy is
//              written, less the tick itself (wall time, median and range
//              over rounds; target: median at most 100 ms, about where a
//              pause of the window starts to show). The snapshot alone,
//              the window's Text() (EditorText), is printed beside it;
//   write      from the copy's request (the start of that gap) until the
//              copy reports it is on disk, for 1 MB and 10 MB (for reference:
//              the worker thread encodes and writes, nobody waits for it);
//   typing     letters typed at 5 a second in the middle of a 200 MB text,
//              with the copy's own delays: from the first letter until the
//              first copy is written while the letters go on (target: at most
//              10 s; the copy is due 5 s after the first change, and its
//              snapshot must not start over at every letter).
// Every figure is printed even when an earlier one misses its target; the
// program then exits with 1.
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/RecoveryCopy_Unit.h"
#include "storage/TextDocument_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "tests/support/RecoveryCopyTesting.h"
#include "windows/Main_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qsizetype LargeBytes = 10 * 1024 * 1024;
constexpr qsizetype MediumBytes = 1024 * 1024;
constexpr int KeystrokeRounds = 45;
constexpr int Keystrokes = 200;
constexpr int StallRounds = 9;
// Shorter than the writer's delays, so that the copy is written between
// rounds without waiting a second each time; a round of keystrokes takes
// far less than either, so no copy is taken while a round is timed.
constexpr int PauseMs = 100;
constexpr int MaxDelayMs = 2000;
constexpr int WriteTimeoutMs = 20000;

// This thread's CPU time so far, in milliseconds.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct TFigure
{
    const char *Name;
    double Ms;
    double BaselineMs;
    TRatioSpread Ratio;
    double Target;

    bool Met() const { return Ratio.Median <= Target; }
    void Print() const
    {
        std::printf("bench_recovery: %s: %.3f ms vs baseline %.3f ms (medians) = ratio %.2f (%s;"
                    " target <= %.2f) %s\n",
                    Name, Ms, BaselineMs, Ratio.Median, DescribeSpread(Ratio).c_str(), Target,
                    Met() ? "met" : "MISSED");
        std::fflush(stdout);
    }
};

// A main window started with `text` as its primary file.
struct TWindow
{
    TWindow(const QString &path, const QString &text)
    {
        QByteArray bytes = text.toUtf8();
        bytes.replace("\n", "\r\n");
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("PrimaryFile"), path);
        if (!WriteWholeFile(path, bytes) || !configuration.Save()) {
            std::fprintf(stderr, "bench_recovery: cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
        Form = std::make_unique<TMain_Form>(nullptr, TMainFormDialogs{});
        Form->AutoSave_Timer->stop();
        Form->show();
        TRecoveryCopyTesting::SetDelays(Recovery(), PauseMs, MaxDelayMs);
        QApplication::processEvents();
    }

    TRecoveryCopy &Recovery() { return Form->Document().Recovery(); }

    // Waits for the copy the last change asked for; false when none came.
    bool WaitForCopy()
    {
        QSignalSpy written(&Recovery(), &TRecoveryCopy::Written);
        return written.wait(WriteTimeoutMs);
    }

    // Whether the copy on disk holds the window's text.
    bool CopyHoldsText()
    {
        Recovery().WaitForWrites();
        QByteArray bytes;
        return ReadWholeFile(TRecoveryCopyTesting::CopyPath(Recovery()), bytes) &&
               bytes.endsWith(EditorText(Form->Text_Memo).toUtf8());
    }

    std::unique_ptr<TMain_Form> Form;
};

// Letters typed in the middle of a window's text; each round takes the
// previous round's letters out first, untimed, so that every round types
// into the same line.
struct TTypist
{
    explicit TTypist(TWindow &window) : Window(window) {}

    TWindow &Window;
    int TypedFrom = -1;
    bool TypedWhereExpected = true;

    // Returns whether the text changed (the previous round's letters went).
    bool Prepare()
    {
        QPlainTextEdit *editor = Window.Form->Text_Memo;
        QTextCursor cursor = editor->textCursor();
        const bool changes = TypedFrom >= 0;
        if (changes) {
            cursor.setPosition(TypedFrom);
            cursor.setPosition(TypedFrom + Keystrokes, QTextCursor::KeepAnchor);
            TypedWhereExpected = TypedWhereExpected &&
                                 cursor.selectedText() == QString(Keystrokes, QLatin1Char('a'));
            cursor.removeSelectedText();
        }
        TypedFrom = editor->document()->characterCount() / 2;
        cursor.setPosition(TypedFrom);
        editor->setTextCursor(cursor);
        QApplication::processEvents();
        return changes;
    }

    void Type()
    {
        for (int i = 0; i < Keystrokes; ++i) {
            QTest::keyClick(Window.Form->Text_Memo, Qt::Key_A);
            QApplication::processEvents();
        }
    }
};

// One keystroke with the recovery copy on against the same with it off.
TFigure KeystrokeFigure(const char *name, TWindow &window, bool &sound)
{
    TTypist typist(window);
    bool copied = true;
    const TAlternated rounds = Alternate(
        KeystrokeRounds, 1,
        [&](bool on) {
            // Both sides start just after a copy: the removal of the last
            // round's letters is copied through the copy's own timers.
            TRecoveryCopyTesting::SetEnabled(window.Recovery(), true);
            if (typist.Prepare())
                copied = window.WaitForCopy() && copied;
            TRecoveryCopyTesting::SetEnabled(window.Recovery(), on);
        },
        [&] { typist.Type(); }, [&] { typist.Type(); }, TClock::ThreadCpu);
    TRecoveryCopyTesting::SetEnabled(window.Recovery(), true);
    typist.Prepare();
    if (!copied || !typist.TypedWhereExpected || !window.WaitForCopy() || !window.CopyHoldsText()) {
        std::printf("bench_recovery: FAULT: %s: keystrokes or copies went astray\n", name);
        sound = false;
    }
    const double perKey = 1.0 / Keystrokes;
    return {name, rounds.SubjectMedianMs() * perKey, rounds.BaselineMedianMs() * perKey,
            rounds.Spread(), 1.05};
}

struct TStall
{
    std::vector<double> StallMs;    // the longest gap of the probe, less its tick
    std::vector<double> StallCpuMs; // this thread's CPU time in that gap
    std::vector<double> WriteMs;    // from the start of that gap to Written
    std::vector<double> SnapshotMs; // the window's Text() alone (EditorText)
    bool Sound = true;
};

// Rounds of one keystroke (a letter, then its deletion), each followed by the
// copy the copy's timer asks for, watched by a 1 ms timer on this thread.
TStall MeasureStall(TWindow &window, int rounds)
{
    TStall result;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QElapsedTimer clock;
    clock.start();
    double lastTick = 0;
    double lastTickCpu = 0;
    double widest = -1;
    double widestStart = 0;
    double widestCpu = 0;
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        const double cpu = ThreadCpuMs();
        if (now - lastTick > widest) {
            widest = now - lastTick;
            widestStart = lastTick;
            widestCpu = cpu - lastTickCpu;
        }
        lastTick = now;
        lastTickCpu = cpu;
    });
    double writtenAt = 0;
    QObject::connect(&window.Recovery(), &TRecoveryCopy::Written, &probe,
                     [&] { writtenAt = double(clock.nsecsElapsed()) / 1e6; });

    for (int round = -1; round < rounds; ++round) {
        QTest::keyClick(window.Form->Text_Memo, round % 2 == 0 ? Qt::Key_Backspace : Qt::Key_A);
        QApplication::processEvents();
        widest = -1;
        writtenAt = 0;
        lastTick = double(clock.nsecsElapsed()) / 1e6;
        lastTickCpu = ThreadCpuMs();
        probe.start();
        const bool written = window.WaitForCopy();
        probe.stop();
        if (!written || writtenAt <= 0) {
            result.Sound = false;
            continue;
        }
        const double snapshotMs = ElapsedMs([&] { (void)EditorText(window.Form->Text_Memo); });
        if (round < 0) // the warm-up
            continue;
        result.StallMs.push_back(widest - 1.0);
        result.StallCpuMs.push_back(widestCpu);
        result.WriteMs.push_back(writtenAt - widestStart);
        result.SnapshotMs.push_back(snapshotMs);
    }
    result.Sound = result.Sound && window.CopyHoldsText();
    return result;
}

// Letters typed at 5 a second in the middle of a very long text, with the
// copy's own delays: seconds from the first letter until the first copy is
// written, while the letters go on (0 when none came in time), and whether
// the copy written once the writer stops holds the text.
struct TTyping
{
    double FirstCopyS = 0;
    bool Sound = true;
};

TTyping MeasureTyping(TWindow &window)
{
    TRecoveryCopyTesting::SetDelays(window.Recovery(), TRecoveryCopy::DefaultPauseMs,
                                    TRecoveryCopy::DefaultMaxDelayMs);
    QPlainTextEdit *editor = window.Form->Text_Memo;
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(editor->document()->characterCount() / 2);
    editor->setTextCursor(cursor);
    QTimer typist;
    typist.setInterval(200);
    QObject::connect(&typist, &QTimer::timeout, editor,
                     [editor] { QTest::keyClick(editor, Qt::Key_A); });
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(editor, Qt::Key_A);
    typist.start();
    TTyping result;
    if (window.WaitForCopy())
        result.FirstCopyS = double(clock.elapsed()) / 1e3;
    typist.stop();
    result.Sound = window.WaitForCopy() && window.CopyHoldsText();
    return result;
}

void PrintSpread(const char *what, const std::vector<double> &ms)
{
    const TRatioSpread spread = SpreadOf(ms);
    std::printf("%s %.1f ms (%.1f-%.1f)", what, spread.Median, spread.Lowest, spread.Highest);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));

    TBenchStart start("bench_recovery");
    const QTemporaryDir &dir = start.Dir;
    const TScriptedPrompts &prompts = start.Prompts;
    {
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("UseTovrinSuggestions"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("NudgeEnabled"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("SoundEnabled"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("AutoSaveEnabled"), QStringLiteral("NO"));
        if (!configuration.Save()) {
            std::fprintf(stderr, "bench_recovery: cannot write the configuration\n");
            return 2;
        }
    }

    const QString text = MakeProse(LargeBytes);
    TWindow large(dir.filePath(QStringLiteral("large.txt")), text);
    TWindow screen(dir.filePath(QStringLiteral("screen.txt")),
                   text.left(text.indexOf(QLatin1Char('\n'), 200 * 70)));
    TWindow medium(dir.filePath(QStringLiteral("medium.txt")),
                   text.left(text.indexOf(QLatin1Char('\n'), MediumBytes * 95 / 100)));

    bool sound = true;
    std::vector<TFigure> figures;
    {
        // For reference: what a keystroke adds, the copy told of a change.
        constexpr int calls = 100000;
        const double ms = CpuMs([&] {
            for (int i = 0; i < calls; ++i)
                screen.Recovery().TextChanged();
        });
        std::printf("bench_recovery: reference: TRecoveryCopy::TextChanged %.2f us\n",
                    ms * 1000 / calls);
        sound = screen.WaitForCopy() && screen.CopyHoldsText();
    }
    figures.push_back(
        KeystrokeFigure("one keystroke in 10 MB, recovery copy on (vs off)", large, sound));
    figures.back().Print();
    figures.push_back(
        KeystrokeFigure("one keystroke in 200 lines, recovery copy on (vs off)", screen, sound));
    figures.back().Print();

    constexpr double StallTargetMs = 100;
    const TStall largeStall = MeasureStall(large, StallRounds);
    const TStall mediumStall = MeasureStall(medium, StallRounds);
    for (const auto &record : prompts.Records)
        std::printf("bench_recovery: message: %s\n", qPrintable(record.Text));
    if (!largeStall.Sound || !mediumStall.Sound || !prompts.Records.isEmpty()) {
        std::printf("bench_recovery: FAULT: a copy was not written, or a message was shown\n");
        sound = false;
    }
    const double stallMs = Median(largeStall.StallMs);
    const bool stallMet = !largeStall.StallMs.empty() && stallMs <= StallTargetMs;
    PrintSpread("bench_recovery: longest stall of the window while a copy of 10 MB is made:",
                largeStall.StallMs);
    std::printf(", %.1f ms CPU; the snapshot alone (the window's Text(), EditorText) %.1f ms; "
                "median, range "
                "of %d rounds (target: median <= %.0f ms) %s\n",
                Median(largeStall.StallCpuMs), Median(largeStall.SnapshotMs),
                int(largeStall.StallMs.size()), StallTargetMs, stallMet ? "met" : "MISSED");
    PrintSpread("bench_recovery: reference: from the copy's request to Written: 1 MB",
                mediumStall.WriteMs);
    PrintSpread(", 10 MB", largeStall.WriteMs);
    PrintSpread("; longest stall for 1 MB", mediumStall.StallMs);
    std::printf(" (median, range of %d rounds)\n", StallRounds);

    // The text of a life's work, typed into without a pause.
    constexpr qsizetype HugeBytes = 200 * 1024 * 1024;
    constexpr double TypingTargetS = 10;
    bool typingMet = false;
    {
        QElapsedTimer opening;
        opening.start();
        TWindow huge(dir.filePath(QStringLiteral("huge.txt")), MakeProse(HugeBytes));
        const double openS = double(opening.elapsed()) / 1e3;
        const TTyping typing = MeasureTyping(huge);
        typingMet = typing.FirstCopyS > 0 && typing.FirstCopyS <= TypingTargetS;
        if (!typing.Sound) {
            std::printf("bench_recovery: FAULT: the copy of 200 MB does not hold the text\n");
            sound = false;
        }
        std::printf("bench_recovery: typing at 5 keys a second into 200 MB: the first copy "
                    "written after %.1f s of typing (target <= %.0f s; the window opened in "
                    "%.1f s) %s\n",
                    typing.FirstCopyS, TypingTargetS, openS, typingMet ? "met" : "MISSED");
    }

    bool met = sound && stallMet && typingMet;
    for (const TFigure &figure : figures)
        met = met && figure.Met();
    std::printf("bench_recovery: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
