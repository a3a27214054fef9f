// Find and Replace in a 10 MB manuscript (windows/FindBar_Unit,
// windows/TextSearch_Unit), in the main window, each figure beside a
// baseline measured in the same run:
//   find       Find Next (F3) with the cursor at the top, the bar closed
//              before, to the only match of a word at the very end: from the
//              command until the word is selected, in wall time (target: at
//              most 150 ms), while a probe timer of 1 ms gauges how long the
//              window's event loop was held each time, as in bench_session
//              (target: the program's longest hold of every round at most
//              16 ms). Beside it, QTextDocument::find on the same text in one
//              call, as a plain Qt editor finds, which holds the window for
//              all of its time.
//   replace    Replace All of the 10,000 whole-word matches of a name (the
//              text first kept in the history as a new version, then
//              replaced, laid out and drawn; target: at most 1 s), and one
//              Ctrl+Z of it (target: at most 1 s), beside the same
//              replacements made by a plain loop of QTextDocument::find and
//              insertText in one edit block in a bare QPlainTextEdit, and
//              its undo.
//   keystroke  200 letters typed one by one into the middle of the text with
//              the bar open on that name and its count complete, against the
//              same with the bar closed, in this thread's CPU time (target:
//              at most 1.05 times as long); for reference, the same with the
//              bar open on "e", which matches hundreds of thousands of times.
// Every figure is printed even when an earlier one misses its target; the
// program then exits with 1.
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "bench/ThreadUse.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "windows/FindBar_Unit.h"
#include "windows/Main_Unit.h"
#include "windows/TextSearch_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr qsizetype DocumentBytes = 10 * 1024 * 1024;
constexpr int Names = 10000;
constexpr int FindRounds = 9;
constexpr int ReplaceRounds = 5;
constexpr int KeystrokeRounds = 21;
constexpr int Keystrokes = 200;

QString Name()
{
    return QStringLiteral("Ann");
}

QString LastWord()
{
    return QStringLiteral("Quillwort");
}

// Prose in which the name begins Names lines spread evenly (and "Annual",
// which whole words leave alone, a tenth as many), and one word that comes
// only at the very end.
QString MakeManuscript()
{
    QStringList lines = MakeProse(DocumentBytes).split(u'\n');
    const qsizetype step = lines.size() / Names;
    for (int name = 0; name < Names; ++name) {
        lines[name * step].prepend(Name() + u' ');
        if (name % 10 == 0)
            lines[name * step + step / 2].prepend(QStringLiteral("Annual "));
    }
    return lines.join(u'\n') + QStringLiteral("\nThe last word is ") + LastWord() + u'.';
}

int CountOf(const QTextDocument *document, const TSearchTerms &terms)
{
    std::vector<int> starts;
    FindMatches(document, terms, 0, TextLength(document), starts);
    return int(starts.size());
}

// How long the window's event loop was held, gauged by a 1 ms timer: each
// gap less its interval, split (as in bench_session) into the window
// thread's own processor time and its waits on the program's own locks (the
// program's hold) and the rest, where the machine did not run it.
class TProbe
{
public:
    TProbe()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(1);
        QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { Look(); });
    }
    void Start()
    {
        FRound.start();
        FClock.start();
        FLast = TThreadUse::Now();
        FLastBlockedNs = ThreadBlockedNs();
        FTimer.start();
    }
    void Stop()
    {
        Look();
        FTimer.stop();
    }

    double ProgramMs = 0;
    // When the longest hold ended, from the start of its round.
    double LongestEndedMs = 0;
    double MachineMs = 0;
    double WallMs = 0;

private:
    void Look()
    {
        const double gapMs = std::max(0.0, double(FClock.nsecsElapsed()) / 1e6 - 1.0);
        FClock.restart();
        const TThreadUse now = TThreadUse::Now();
        const std::int64_t blockedNs = ThreadBlockedNs();
        const double cpuMs = std::min(gapMs, now.CpuMs - FLast.CpuMs);
        const double waitMs = std::min(gapMs - cpuMs, double(blockedNs - FLastBlockedNs) / 1e6);
        FLast = now;
        FLastBlockedNs = blockedNs;
        if (cpuMs + waitMs > ProgramMs) {
            ProgramMs = cpuMs + waitMs;
            LongestEndedMs = double(FRound.nsecsElapsed()) / 1e6;
        }
        MachineMs = std::max(MachineMs, gapMs - cpuMs - waitMs);
        WallMs = std::max(WallMs, gapMs);
    }

    QTimer FTimer;
    QElapsedTimer FRound;
    QElapsedTimer FClock;
    TThreadUse FLast;
    std::int64_t FLastBlockedNs = 0;
};

// A figure, its target and what it was measured beside.
struct TFigure
{
    std::string Name;
    double Value;
    double Target;
    bool Ratio; // else milliseconds
    std::string Beside;

    bool Met() const { return Value <= Target; }
    void Print() const
    {
        if (Ratio)
            std::printf("bench_find: %s: ratio %.3f (%s; target <= %.2f) %s\n", Name.c_str(), Value,
                        Beside.c_str(), Target, Met() ? "met" : "MISSED");
        else
            std::printf("bench_find: %s: %.1f ms (%s; target <= %.0f ms) %s\n", Name.c_str(), Value,
                        Beside.c_str(), Target, Met() ? "met" : "MISSED");
        std::fflush(stdout);
    }
};

std::string Printed(const char *format, double a, double b = 0)
{
    char text[200];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

void Place(QPlainTextEdit *editor, int position)
{
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(position);
    editor->setTextCursor(cursor);
}

// --- find ------------------------------------------------------------------

// One Find Next from the top with the bar closed before; returns its wall
// time in milliseconds, the probe's gauge of the round in hold.
double FindFromTheTop(TMain_Form &form, TProbe &hold)
{
    form.FindBar()->Close();
    Place(form.Text_Memo, 0);
    QApplication::processEvents();
    const auto found = [&form] {
        return form.Text_Memo->textCursor().selectedText() == LastWord();
    };
    QEventLoop loop;
    QObject::connect(form.Text_Memo, &QPlainTextEdit::selectionChanged, &loop, [&] {
        if (found())
            loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    hold.Start();
    clock.start();
    form.FindNext_MenuItem->trigger();
    if (!found())
        loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    hold.Stop();
    return found() ? ms : 1e9;
}

std::vector<TFigure> FindFigures(TMain_Form &form, QPlainTextEdit &plain)
{
    // The first Ctrl+F makes the bar: for reference, until it is drawn.
    const double firstMs = ElapsedMs([&] {
        form.Find_MenuItem->trigger();
        QApplication::processEvents();
    });
    std::printf("bench_find: reference: the bar made, opened and drawn at the first Ctrl+F: "
                "%.1f ms\n",
                firstMs);
    TFindBar *bar = form.FindBar();
    bar->Find_Edit->setText(LastWord());
    TProbe hold;
    const TAlternated rounds = Alternate(
        FindRounds, 1, [](bool) {}, [&] { FindFromTheTop(form, hold); },
        [&] {
            const QTextCursor found = plain.document()->find(LastWord(), 0);
            if (found.selectedText() != LastWord())
                std::printf("bench_find: FAULT: QTextDocument::find missed the word\n");
        });
    std::printf("bench_find: find: the longest hold ended %.1f ms after the command; the "
                "window's thread did not run for up to %.1f ms (the machine's); wall-time gaps "
                "up to %.1f ms\n",
                hold.LongestEndedMs, hold.MachineMs, hold.WallMs);
    return {{"Find Next from the top to the only match at the end of 10 MB",
             rounds.SubjectMedianMs(), 150, false,
             Printed("median of %.0f rounds; QTextDocument::find in one call %.1f ms", FindRounds,
                     rounds.BaselineMedianMs())},
            {"the window's longest hold while Find Next searches", hold.ProgramMs, 16, false,
             Printed("the program's own, longest of every round; QTextDocument::find holds it "
                     "%.1f ms at once",
                     rounds.BaselineMedianMs())}};
}

// --- replace ---------------------------------------------------------------

int PlainReplaceAll(QPlainTextEdit &editor)
{
    QTextDocument *document = editor.document();
    const auto flags = QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords;
    QTextCursor edit(document);
    edit.beginEditBlock();
    int replaced = 0;
    for (QTextCursor found = document->find(Name(), 0, flags); !found.isNull();
         found = document->find(Name(), found, flags)) {
        found.insertText(QStringLiteral("Mara"));
        ++replaced;
    }
    edit.endEditBlock();
    return replaced;
}

// Each round keeps a text the history does not hold yet: a letter more at
// the end, typed before it.
void TypeAtEnd(QPlainTextEdit *editor)
{
    QTextCursor cursor(editor->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("x"));
    QApplication::processEvents();
}

// One Replace All and its undo, each laid out and drawn, in milliseconds.
struct TReplaceRound
{
    double ReplaceMs = 0;
    double UndoMs = 0;
    bool Sound = true;
};

TReplaceRound ReplaceInWindow(TMain_Form &form)
{
    const TSearchTerms terms{Name(), true, true};
    TypeAtEnd(form.Text_Memo);
    TReplaceRound round;
    int replaced = 0;
    round.ReplaceMs = ElapsedMs([&] {
        replaced = form.FindBar()->ReplaceAll();
        QApplication::processEvents();
    });
    round.Sound = replaced == Names && CountOf(form.Text_Memo->document(), terms) == 0;
    round.UndoMs = ElapsedMs([&] {
        form.Text_Memo->undo();
        QApplication::processEvents();
    });
    round.Sound = round.Sound && CountOf(form.Text_Memo->document(), terms) == Names;
    return round;
}

TReplaceRound ReplaceInBareEditor(QPlainTextEdit &plain)
{
    TypeAtEnd(&plain);
    TReplaceRound round;
    int replaced = 0;
    round.ReplaceMs = ElapsedMs([&] {
        replaced = PlainReplaceAll(plain);
        QApplication::processEvents();
    });
    round.UndoMs = ElapsedMs([&] {
        plain.undo();
        QApplication::processEvents();
    });
    round.Sound = replaced == Names;
    return round;
}

std::vector<TFigure> ReplaceFigures(TMain_Form &form, QPlainTextEdit &plain, bool &sound)
{
    TFindBar *bar = form.FindBar();
    bar->Open(true);
    bar->Find_Edit->setText(Name());
    bar->MatchCase_CheckBox->setChecked(true);
    bar->WholeWords_CheckBox->setChecked(true);
    bar->Replace_Edit->setText(QStringLiteral("Mara"));
    std::vector<double> replaceMs, undoMs, plainReplaceMs, plainUndoMs, replaceRatios, undoRatios;
    for (int round = 0; round < ReplaceRounds; ++round) {
        TReplaceRound subject, baseline;
        if (round % 2 == 0) {
            subject = ReplaceInWindow(form);
            baseline = ReplaceInBareEditor(plain);
        } else {
            baseline = ReplaceInBareEditor(plain);
            subject = ReplaceInWindow(form);
        }
        sound = sound && subject.Sound && baseline.Sound;
        replaceMs.push_back(subject.ReplaceMs);
        undoMs.push_back(subject.UndoMs);
        plainReplaceMs.push_back(baseline.ReplaceMs);
        plainUndoMs.push_back(baseline.UndoMs);
        replaceRatios.push_back(subject.ReplaceMs / baseline.ReplaceMs);
        undoRatios.push_back(subject.UndoMs / baseline.UndoMs);
    }
    // Every round kept a version of its own.
    sound = sound && form.Document().Versions().size() >= qsizetype(ReplaceRounds);
    return {{"Replace All of 10,000 matches in 10 MB, the text kept in the history first",
             Median(replaceMs), 1000, false,
             Printed("median; a plain find-and-insert loop in a bare editor %.1f ms, ratio %.2f",
                     Median(plainReplaceMs), SpreadOf(replaceRatios).Median) +
                 ", " + DescribeSpread(SpreadOf(replaceRatios))},
            {"one Ctrl+Z of it", Median(undoMs), 1000, false,
             Printed("median; the bare editor's undo %.1f ms, ratio %.2f", Median(plainUndoMs),
                     SpreadOf(undoRatios).Median) +
                 ", " + DescribeSpread(SpreadOf(undoRatios))}};
}

// --- keystroke -------------------------------------------------------------

// Types Keystrokes letters into the middle of the text, where the last
// round's were taken out again; returns this thread's CPU milliseconds.
double TypeInTheMiddle(TMain_Form &form)
{
    QPlainTextEdit *editor = form.Text_Memo;
    const int middle = editor->document()->characterCount() / 2;
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(middle);
    editor->setTextCursor(cursor);
    QApplication::processEvents();
    const double ms = CpuMs([&] {
        for (int i = 0; i < Keystrokes; ++i) {
            QTest::keyClick(editor, Qt::Key_A);
            QApplication::processEvents();
        }
    });
    cursor.setPosition(middle);
    cursor.setPosition(middle + Keystrokes, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QApplication::processEvents();
    return ms;
}

void OpenOn(TMain_Form &form, const TSearchTerms &terms)
{
    TFindBar *bar = form.FindBar();
    bar->Open(false);
    bar->MatchCase_CheckBox->setChecked(terms.MatchCase);
    bar->WholeWords_CheckBox->setChecked(terms.WholeWords);
    bar->Find_Edit->setText(terms.Text);
    while (!bar->Matches().Complete())
        QApplication::processEvents();
    form.Text_Memo->setFocus();
}

TAlternated TypingRounds(TMain_Form &form, const TSearchTerms &terms, int rounds)
{
    return Alternate(
        rounds, 1,
        [&](bool open) {
            if (open)
                OpenOn(form, terms);
            else
                form.FindBar()->Close();
            QApplication::processEvents();
        },
        [&] { TypeInTheMiddle(form); }, [&] { TypeInTheMiddle(form); }, TClock::ThreadCpu);
}

std::vector<TFigure> KeystrokeFigures(TMain_Form &form, bool &sound)
{
    const QString before = form.Text_Memo->toPlainText();
    const TAlternated name = TypingRounds(form, {Name(), true, true}, KeystrokeRounds);
    const TAlternated dense = TypingRounds(form, {QStringLiteral("e"), false, false}, 7);
    sound = sound && form.Text_Memo->toPlainText() == before && form.TextChanged();
    const int denseCount = form.FindBar()->Matches().Count();
    form.FindBar()->Close();
    std::printf("bench_find: reference: the same keystrokes with the bar open on \"e\" (%d "
                "matches): %.3f ms vs closed %.3f ms = ratio %.3f (%s)\n",
                denseCount, dense.SubjectMedianMs() / Keystrokes,
                dense.BaselineMedianMs() / Keystrokes, dense.Spread().Median,
                DescribeSpread(dense.Spread()).c_str());
    return {{"one keystroke in 10 MB with the bar open on a name (10,000 matches) vs closed",
             name.Spread().Median, 1.05, true,
             Printed("%.3f ms vs %.3f ms a keystroke (medians, CPU time), ",
                     name.SubjectMedianMs() / Keystrokes, name.BaselineMedianMs() / Keystrokes) +
                 DescribeSpread(name.Spread())}};
}

// A main window over the manuscript in a primary file, nothing timed.
void Configure(const TBenchStart &start, const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace("\n", "\r\n");
    const QString primary = start.Dir.filePath(QStringLiteral("manuscript.txt"));
    WriteWholeFile(primary, bytes);
    TConfigurationFile configuration;
    configuration.Load();
    configuration.WriteValue(QStringLiteral("PrimaryFile"), primary);
    configuration.WriteValue(QStringLiteral("UseTovrinSuggestions"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("NudgeEnabled"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("SoundEnabled"), QStringLiteral("NO"));
    configuration.WriteValue(QStringLiteral("AutoSaveEnabled"), QStringLiteral("NO"));
    configuration.Save();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    TBenchStart start("bench_find");
    const QString text = MakeManuscript();
    Configure(start, text);
    TMain_Form form(nullptr, TMainFormDialogs{});
    form.AutoSave_Timer->stop();
    form.show();
    QPlainTextEdit plain;
    plain.setFont(form.Text_Memo->font());
    plain.resize(form.Text_Memo->size());
    plain.setPlainText(text);
    plain.show();
    QApplication::processEvents();
    const bool firstInLine = RunFirstInLine();
    std::printf("bench_find: the window's thread %s\n",
                firstInLine ? "runs first in line (SCHED_FIFO)"
                            : "could not run first in line: other programs may take its turn");

    bool sound = form.Text_Memo->toPlainText() == text &&
                 CountOf(form.Text_Memo->document(), {Name(), true, true}) == Names;
    std::vector<TFigure> figures = FindFigures(form, plain);
    for (const TFigure &figure : ReplaceFigures(form, plain, sound))
        figures.push_back(figure);
    for (const TFigure &figure : KeystrokeFigures(form, sound))
        figures.push_back(figure);
    bool met = sound && start.Prompts.Records.isEmpty();
    if (!met)
        std::printf("bench_find: FAULT: a figure's work went wrong or a message was shown\n");
    for (const TFigure &figure : figures) {
        figure.Print();
        met = met && figure.Met();
    }
    std::printf("bench_find: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
