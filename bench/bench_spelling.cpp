// Spelling in a 10 MB manuscript: two main windows with the same document,
// checking on in one (en_US) and off in the other, in alternated rounds
// after a warm-up (bench/Rounds.h), each figure the median of the rounds'
// ratios with its spread:
//   keystroke  a letter typed in the middle of the text, checking on
//              against off (target: at most 1.05 times as long);
//   open       the window's OpenPrimaryFile of the file, and the check of
//              the first screen after it, on against off (target: at most
//              1.05 times as long);
//   paging     Page Down from the top of the text to its end, each key and
//              everything it sets off (the scroll, the check of the blocks
//              that came into view, the paint): the longest hold of the
//              window's thread, its own processor time (target: at most
//              16 ms, a frame at 60 Hz); the wall time and the same paging
//              with checking off are printed beside it.
// Open and keystrokes are timed in this thread's CPU time. The resident
// memory before and after the dictionary loaded is printed for reference.
// Skips (exit 0, no figures) where no en_US dictionary is installed.
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "bench/ThreadUse.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/SpellChecker_Unit.h"
#include "storage/WriterSettings_Unit.h"
#include "windows/Main_Unit.h"
#include "windows/SpellMarks_Unit.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr qsizetype DocumentBytes = 10 * 1024 * 1024;
constexpr int KeystrokeRounds = 21;
constexpr int OpenRounds = 7;
constexpr int Keystrokes = 200;
constexpr int KeysInTurn = 10;
constexpr double PagingTargetMs = 16.0;

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// Types a round's letters into the middle of the text. The check that the
// pause after them sets off runs between rounds, as the check of what comes
// into view does: the paging figure holds its cost.
struct TTypist
{
    QPlainTextEdit *Editor;
    int TypedFrom = -1;
    bool TypedWhereExpected = true;

    // Every round types into the same line: the last round's letters go.
    void Prepare()
    {
        QTextCursor cursor = Editor->textCursor();
        if (TypedFrom >= 0) {
            cursor.setPosition(TypedFrom);
            cursor.setPosition(TypedFrom + Keystrokes, QTextCursor::KeepAnchor);
            TypedWhereExpected = TypedWhereExpected &&
                                 cursor.selectedText() == QString(Keystrokes, QLatin1Char('a'));
            cursor.removeSelectedText();
        }
        TypedFrom = Editor->document()->characterCount() / 2;
        cursor.setPosition(TypedFrom);
        Editor->setTextCursor(cursor);
        QTest::qWait(TSpellMarks::PauseMs + 50);
    }

    void Type(int count)
    {
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(Editor, Qt::Key_A);
            QApplication::processEvents();
        }
    }
};

struct TPaging
{
    int Pages = 0;
    double LongestCpuMs = 0;
    double LongestWallMs = 0;
    double P99WallMs = 0;
};

// Page Down from the top to the end, each key and what follows it timed.
TPaging PageThrough(QPlainTextEdit *editor)
{
    editor->moveCursor(QTextCursor::Start);
    QTest::qWait(TSpellMarks::PauseMs + 50);
    TPaging paging;
    std::vector<double> walls;
    QScrollBar *bar = editor->verticalScrollBar();
    while (bar->value() < bar->maximum() && paging.Pages < 100000) {
        const TThreadUse before = TThreadUse::Now();
        const double wall = ElapsedMs([editor] {
            QTest::keyClick(editor, Qt::Key_PageDown);
            QApplication::processEvents();
            QApplication::processEvents();
        });
        paging.LongestCpuMs = std::max(paging.LongestCpuMs, TThreadUse::Now().CpuMs - before.CpuMs);
        walls.push_back(wall);
        ++paging.Pages;
    }
    std::sort(walls.begin(), walls.end());
    paging.LongestWallMs = walls.empty() ? 0 : walls.back();
    paging.P99WallMs = Quantile(walls, 0.99);
    return paging;
}

bool PrintRatio(const char *name, const TAlternated &rounds, double target, int decimals)
{
    const TRatioSpread spread = rounds.Spread();
    const bool met = spread.Median <= target;
    std::printf("bench_spelling: %s: %.*f ms vs checking off %.*f ms (medians) = ratio %.2f (%s;"
                " target <= %.2f) %s\n",
                name, decimals, rounds.SubjectMedianMs(), decimals, rounds.BaselineMedianMs(),
                spread.Median, DescribeSpread(spread).c_str(), target, met ? "met" : "MISSED");
    std::fflush(stdout);
    return met;
}

// Keystrokes, checking on against off. Within a round the two windows take
// turns every KeysInTurn letters, so that the machine's load, which moves
// from moment to moment on a shared machine, falls on both alike.
TAlternated TypeInBoth(TMain_Form &on, TMain_Form &off, const QString &text, bool &typedRight)
{
    TTypist onTypist{on.Text_Memo};
    TTypist offTypist{off.Text_Memo};
    TAlternated perKey;
    for (int round = -1; round < KeystrokeRounds; ++round) {
        onTypist.Prepare();
        offTypist.Prepare();
        double onMs = 0;
        double offMs = 0;
        for (int turn = 0; turn < Keystrokes / KeysInTurn; ++turn) {
            const bool onFirst = (turn + round) % 2 == 0;
            for (bool onNow : {onFirst, !onFirst}) {
                const double ms = CpuMs([&] { (onNow ? onTypist : offTypist).Type(KeysInTurn); });
                (onNow ? onMs : offMs) += ms;
            }
        }
        if (round < 0)
            continue;
        perKey.SubjectMs.push_back(onMs / Keystrokes);
        perKey.BaselineMs.push_back(offMs / Keystrokes);
        perKey.Ratios.push_back(onMs / offMs);
    }
    onTypist.Prepare();
    offTypist.Prepare();
    typedRight = onTypist.TypedWhereExpected && offTypist.TypedWhereExpected &&
                 on.Text_Memo->toPlainText() == text;
    return perKey;
}

// Opening the file and the check of its first screen, on against off.
TAlternated OpenInBoth(TMain_Form &on, TMain_Form &off)
{
    return Alternate(
        OpenRounds, 1,
        [&](bool subject) {
            (subject ? on : off).Text_Memo->clear();
            QTest::qWait(TSpellMarks::PauseMs + 50);
        },
        [&] {
            on.OpenPrimaryFile();
            QTest::qWait(TSpellMarks::PauseMs + 50);
        },
        [&] {
            off.OpenPrimaryFile();
            QTest::qWait(TSpellMarks::PauseMs + 50);
        },
        TClock::ThreadCpu);
}

// Paging through the text in both windows; true when the target is met.
bool PageInBoth(TMain_Form &on, TMain_Form &off)
{
    const TPaging paged = PageThrough(on.Text_Memo);
    const TPaging plain = PageThrough(off.Text_Memo);
    int marked = 0;
    for (QTextBlock block = on.Text_Memo->document()->begin(); block.isValid();
         block = block.next())
        marked += on.SpellMarks()->Marks(block).isEmpty() ? 0 : 1;
    const bool met = paged.LongestCpuMs <= PagingTargetMs && marked > 0;
    std::printf("bench_spelling: Page Down through 10 MB (%d pages, %d blocks marked): longest "
                "hold %.1f ms of the thread's own time (target <= %.0f ms) %s; wall time: "
                "longest %.1f ms, 99th percentile %.1f ms; checking off: longest %.1f ms "
                "(wall %.1f ms, 99th percentile %.1f ms)\n",
                paged.Pages, marked, paged.LongestCpuMs, PagingTargetMs, met ? "met" : "MISSED",
                paged.LongestWallMs, paged.P99WallMs, plain.LongestCpuMs, plain.LongestWallMs,
                plain.P99WallMs);
    return met;
}

std::unique_ptr<TMain_Form> NewForm(const QString &primary)
{
    TConfigurationFile configuration;
    configuration.Load();
    configuration.WriteValue(QStringLiteral("PrimaryFile"), primary);
    configuration.WriteValue(QStringLiteral("UseTovrinSuggestions"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("NudgeEnabled"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("SoundEnabled"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("AutoSaveEnabled"), QStringLiteral("NO"));
    configuration.Save();
    auto form = std::make_unique<TMain_Form>(nullptr, TMainFormDialogs{});
    form->AutoSave_Timer->stop();
    form->show();
    QApplication::processEvents();
    return form;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    TBenchStart start("bench_spelling");
    // Aspell, one of Enchant's providers, reads its word lists from home.
    qputenv("HOME", QFile::encodeName(start.Dir.path()));
    TWriterSettings().SetValue(QStringLiteral("Spelling/Language"), QStringLiteral("en_US"));
    const bool firstInLine = RunFirstInLine();

    const QString text = MakeProse(DocumentBytes);
    QByteArray bytes = text.toUtf8();
    bytes.replace("\n", "\r\n");
    const QString primary = start.Dir.filePath(QStringLiteral("text.txt"));
    QFile file(primary);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 2;
    file.close();

    const std::unique_ptr<TMain_Form> on = NewForm(primary);
    const std::unique_ptr<TMain_Form> off = NewForm(primary);
    const long beforeKb = ResidentKilobytes();
    on->StartSpelling();
    off->StartSpelling();
    off->SetCheckSpelling(false);
    if (!QTest::qWaitFor([&] { return on->SpellChecker()->Listed(); }, 10000) ||
        !on->SpellChecker()->Languages().contains(QStringLiteral("en_US"))) {
        std::printf("bench_spelling: skipped: no en_US dictionary installed\n");
        return 0;
    }
    if (!QTest::qWaitFor([&] { return on->SpellMarks()->Active(); }, 10000)) {
        std::printf("bench_spelling: FAULT: the dictionary did not open\n");
        return 1;
    }
    QTest::qWait(TSpellMarks::PauseMs + 50);
    std::printf("bench_spelling: the window's thread %s; resident memory %.1f MiB before the "
                "dictionary, %.1f MiB once it is loaded (%s)\n",
                firstInLine ? "runs first in line" : "could not run first in line",
                double(beforeKb) / 1024, double(ResidentKilobytes()) / 1024,
                qPrintable(on->SpellChecker()->Language()));

    bool typedRight = true;
    bool met =
        PrintRatio("one keystroke in 10 MB", TypeInBoth(*on, *off, text, typedRight), 1.05, 3);
    met =
        PrintRatio("open 10 MB and check its first screen", OpenInBoth(*on, *off), 1.05, 1) && met;
    met = PageInBoth(*on, *off) && met;
    if (!typedRight) {
        std::printf("bench_spelling: FAULT: keystrokes did not reach the text where typed\n");
        met = false;
    }
    std::printf("bench_spelling: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
