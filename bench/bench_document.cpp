// The writer's document at 10 MB, each figure beside a baseline measured in
// the same run on the same machine, in alternated rounds after a warm-up
// (bench/Rounds.h); each figure is the median of the rounds' ratios, printed
// with its spread:
//   open       the main window's OpenPrimaryFile of a file already on disk,
//              against a bare QPlainTextEdit opening the same file as a plain
//              Qt editor does: QFile::readAll in text mode (CR LF becomes
//              LF), QString::fromUtf8, setPlainText (target: at most 1.3
//              times as long);
//   keystroke  one typed letter in the middle of the 10 MB document against
//              one typed letter in the middle of a 200-line document of the
//              same prose in a window of its own (target: at most 1.2 times
//              as long), and against one typed letter at the same place of
//              the same 10 MB text in a bare QPlainTextEdit of the same size
//              and font (target: at most 1.1 times as long); a letter typed
//              into an empty document is printed for reference;
//   auto-save  one auto-save tick of the 10 MB document, against writing the
//              same bytes with write() and fsync() in the same folder
//              (target: at most 5 times as long); a tick that first keeps
//              another program's 10 MB version of the backup in the
//              history, against a plain tick, is printed for reference.
// Open and keystrokes are timed in this thread's CPU time, the auto-save,
// which waits for the disk, in wall time. Every figure is printed even when
// an earlier one misses its target; the program then exits with 1.
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/TextFile_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "storage/Worker_Unit.h"
#include "windows/Main_Unit.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype DocumentBytes = 10 * 1024 * 1024;
constexpr int OpenRounds = 7;
constexpr int KeystrokeRounds = 21;
constexpr int AutoSaveRounds = 9;
constexpr int Keystrokes = 200;

// Median wall time in milliseconds of `work`, after one warm-up run; `setup`
// runs untimed before every run. For the reference figures.
double MedianMs(const std::function<void()> &setup, const std::function<void()> &work, int runs)
{
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        setup();
        const double ms = ElapsedMs(work);
        if (run > 0) // run 0 warms up
            times.push_back(ms);
    }
    return Median(times);
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "bench_document: cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The plain baseline of a save: write() the bytes and fsync() them.
bool WriteAndSync(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written <= 0) {
            ::close(fd);
            return false;
        }
        data += written;
        left -= written;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

struct TFigure
{
    const char *Name;
    double Ms;
    double BaselineMs;
    TRatioSpread Ratio;
    double Target;
    int Decimals;

    bool Met() const { return Ratio.Median <= Target; }
    void Print() const
    {
        std::printf("bench_document: %s: %.*f ms vs baseline %.*f ms (medians) = ratio %.2f (%s;"
                    " target <= %.2f) %s\n",
                    Name, Decimals, Ms, Decimals, BaselineMs, Ratio.Median,
                    DescribeSpread(Ratio).c_str(), Target, Met() ? "met" : "MISSED");
        std::fflush(stdout);
    }
};

// One of the editors the keystrokes go to, with the place its previous
// round's letters went, and the time of each keystroke.
struct TTypist
{
    // middle: type in the middle of the text (else: into an emptied editor)
    TTypist(QPlainTextEdit *editor, bool middle) : Editor(editor), Middle(middle) {}

    QPlainTextEdit *Editor;
    bool Middle;
    int TypedFrom = -1;
    bool TypedWhereExpected = true;
    std::vector<double> RoundMs;
    std::vector<double> EachKeyMs;

    // Every round starts from the same text: the letters of the previous
    // round are taken out again (untimed), so that each round types into
    // the same line instead of into a line that has grown by Keystrokes
    // letters per round (re-wrapping a line costs in proportion to its
    // length, so later rounds would measure ever-longer lines).
    void Prepare()
    {
        if (!Middle) {
            Editor->clear();
            QApplication::processEvents();
            return;
        }
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
        QApplication::processEvents();
    }

    // Types the round's letters; returns the round's milliseconds of CPU
    // time. Each keystroke's own wall time is kept too.
    double Type()
    {
        return CpuMs([this] {
            for (int i = 0; i < Keystrokes; ++i) {
                const double ms = ElapsedMs([this] {
                    QTest::keyClick(Editor, Qt::Key_A);
                    QApplication::processEvents();
                });
                EachKeyMs.push_back(ms);
            }
        });
    }

    // The typical single keystroke and how many took over 1 ms.
    void PrintKeys(const char *label) const
    {
        std::vector<double> times = EachKeyMs;
        std::sort(times.begin(), times.end());
        const auto slow = std::upper_bound(times.begin(), times.end(), 1.0);
        std::printf("%s %.3f ms (%zu of %zu over 1 ms)", label, Median(times),
                    std::size_t(times.end() - slow), times.size());
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));

    TBenchStart start("bench_document");
    const QTemporaryDir &dir = start.Dir;
    const TScriptedPrompts &prompts = start.Prompts;

    // The document: in memory with '\n' breaks, on disk as the program
    // writes it (UTF-8, CR LF between lines, no break after the last line).
    const QString text = MakeProse(DocumentBytes);
    QByteArray fileBytes = text.toUtf8();
    fileBytes.replace("\n", "\r\n");
    const QString primary = dir.filePath(QStringLiteral("text.txt"));
    WriteBytes(primary, fileBytes);

    {
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("PrimaryFile"), primary);
        configuration.WriteValue(QStringLiteral("UseTovrinSuggestions"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("NudgeEnabled"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("SoundEnabled"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("AutoSaveEnabled"), QStringLiteral("YES"));
        if (!configuration.Save()) {
            std::fprintf(stderr, "bench_document: cannot write the configuration\n");
            return 2;
        }
    }
    TMain_Form form(nullptr, TMainFormDialogs{});
    // The benchmark drives the tick itself.
    form.AutoSave_Timer->stop();
    form.show();

    // The baseline editor, shown like the window's own, with the same size
    // and font.
    QPlainTextEdit plain;
    plain.setFont(form.Text_Memo->font());
    plain.resize(form.Text_Memo->size());
    plain.show();
    QApplication::processEvents();

    // Naming figures on the command line ("open", "keystroke", "autosave")
    // runs only those, for profiling one of them; "--rounds N" takes N
    // rounds of each in place of the usual number (a profiler's run).
    QStringList chosen = QCoreApplication::arguments().mid(1);
    int roundsWanted = 0;
    if (const qsizetype at = chosen.indexOf(QStringLiteral("--rounds")); at >= 0) {
        roundsWanted = at + 1 < chosen.size() ? chosen.at(at + 1).toInt() : 0;
        if (roundsWanted < 1) {
            std::fprintf(stderr, "bench_document: --rounds needs a number of rounds\n");
            return 2;
        }
        chosen.remove(at, 2);
    }
    const auto roundsOf = [roundsWanted](int usual) {
        return roundsWanted > 0 ? roundsWanted : usual;
    };
    const auto wanted = [&chosen](const char *name) {
        return chosen.isEmpty() || chosen.contains(QLatin1String(name));
    };

    std::vector<TFigure> figures;
    bool sound = true;
    const auto check = [&sound](bool ok, const char *what) {
        if (!ok) {
            std::printf("bench_document: FAULT: %s\n", what);
            sound = false;
        }
    };

    // --- Open ------------------------------------------------------------
    if (wanted("open")) {
        const TAlternated rounds = Alternate(
            roundsOf(OpenRounds), 1,
            [&](bool subject) {
                if (subject)
                    form.Text_Memo->clear();
                else
                    plain.clear();
                QApplication::processEvents();
            },
            [&] {
                form.OpenPrimaryFile();
                QApplication::processEvents();
            },
            [&] {
                // A plain Qt editor opening the same file: read it in text
                // mode (CR LF becomes LF), decode the UTF-8, show it.
                QFile file(primary);
                if (file.open(QIODevice::ReadOnly | QIODevice::Text))
                    plain.setPlainText(QString::fromUtf8(file.readAll()));
                QApplication::processEvents();
            },
            TClock::ThreadCpu);
        check(form.Text_Memo->toPlainText() == text, "the opened document differs from the file");
        check(plain.toPlainText() == text, "the baseline's document differs from the file");
        check(prompts.Records.isEmpty(), "a message was shown");
        figures.push_back({"open 10 MB document", rounds.SubjectMedianMs(),
                           rounds.BaselineMedianMs(), rounds.Spread(), 1.3, 1});
        figures.back().Print();
    }

    // --- Keystroke -------------------------------------------------------
    if (wanted("keystroke")) {
        // The document may have been opened by the figure above.
        if (form.Text_Memo->toPlainText() != text) {
            form.OpenPrimaryFile();
            QApplication::processEvents();
        }
        if (plain.toPlainText() != text) {
            plain.setPlainText(text);
            QApplication::processEvents();
        }
        // The 200-line document and the empty one, each in a main window of
        // its own, so that every round types into all four editors.
        const QString screenful = text.left(text.indexOf(QLatin1Char('\n'), 200 * 70));
        TMain_Form screenForm(nullptr, TMainFormDialogs{});
        screenForm.AutoSave_Timer->stop();
        screenForm.Text_Memo->setPlainText(screenful);
        screenForm.show();
        TMain_Form emptyForm(nullptr, TMainFormDialogs{});
        emptyForm.AutoSave_Timer->stop();
        emptyForm.Text_Memo->clear();
        emptyForm.show();
        QApplication::processEvents();

        TTypist large(form.Text_Memo, true);
        TTypist screen(screenForm.Text_Memo, true);
        TTypist bare(&plain, true);
        TTypist empty(emptyForm.Text_Memo, false);
        TTypist *typists[] = {&large, &screen, &bare, &empty};
        constexpr int typistCount = 4;
        std::vector<double> screenRatios;
        std::vector<double> bareRatios;
        std::vector<double> emptyRatios;
        for (int round = -1; round < roundsOf(KeystrokeRounds); ++round) {
            // Which editor goes first rotates from round to round.
            for (int i = 0; i < typistCount; ++i) {
                TTypist *typist = typists[(i + round + 1) % typistCount];
                typist->Prepare();
                const double ms = typist->Type();
                if (round >= 0)
                    typist->RoundMs.push_back(ms);
            }
            if (round < 0) { // the warm-up round
                for (TTypist *typist : typists)
                    typist->EachKeyMs.clear();
                continue;
            }
            screenRatios.push_back(large.RoundMs.back() / screen.RoundMs.back());
            bareRatios.push_back(large.RoundMs.back() / bare.RoundMs.back());
            emptyRatios.push_back(large.RoundMs.back() / empty.RoundMs.back());
        }
        for (TTypist *typist : typists)
            typist->Prepare(); // the last round's letters out again
        check(form.Text_Memo->toPlainText() == text && plain.toPlainText() == text,
              "keystrokes did not reach the large documents where they were typed");
        check(screenForm.Text_Memo->toPlainText() == screenful,
              "keystrokes did not reach the 200-line document where they were typed");
        check(large.TypedWhereExpected && screen.TypedWhereExpected && bare.TypedWhereExpected,
              "keystrokes went astray");
        check(form.TextChanged(), "keystrokes did not mark the text changed");
        check(emptyForm.Text_Memo->toPlainText().isEmpty(), "the empty document was not emptied");

        const double perKey = 1.0 / Keystrokes;
        const double largeKeyMs = Median(large.RoundMs) * perKey;
        figures.push_back({"one keystroke in 10 MB (vs 200-line document)", largeKeyMs,
                           Median(screen.RoundMs) * perKey, SpreadOf(screenRatios), 1.2, 3});
        figures.back().Print();
        figures.push_back({"one keystroke in 10 MB (vs bare QPlainTextEdit, same 10 MB)",
                           largeKeyMs, Median(bare.RoundMs) * perKey, SpreadOf(bareRatios), 1.1,
                           3});
        figures.back().Print();
        const TRatioSpread emptyRatio = SpreadOf(emptyRatios);
        std::printf("bench_document: reference: one keystroke in an empty document %.3f ms "
                    "(10 MB takes %.2f times as long; %s)\n",
                    Median(empty.RoundMs) * perKey, emptyRatio.Median,
                    DescribeSpread(emptyRatio).c_str());
        std::printf("bench_document: reference: median single keystroke (wall time):");
        large.PrintKeys(" 10 MB");
        screen.PrintKeys(", 200-line");
        bare.PrintKeys(", bare 10 MB");
        empty.PrintKeys(", empty");
        std::printf("\n");
    }

    // --- Auto-save -------------------------------------------------------
    if (wanted("autosave")) {
        // A tick, to the end of its write on the worker.
        const auto tick = [&form] {
            form.AutoSave_TimerTimer();
            form.Document().WaitForWrites();
        };
        form.OpenPrimaryFile();
        QApplication::processEvents();
        const QString baselineFile = dir.filePath(QStringLiteral("baseline.txt"));
        bool baselineWritten = true;
        const TAlternated rounds = Alternate(
            roundsOf(AutoSaveRounds), 1, [](bool) {}, [&] { tick(); },
            [&] { baselineWritten = WriteAndSync(baselineFile, fileBytes) && baselineWritten; });
        // For reference: a tick just after the writer typed (here a letter
        // and its deletion), which must encode the text afresh.
        const double changedMs = MedianMs(
            [&] {
                QTest::keyClick(form.Text_Memo, Qt::Key_A);
                QTest::keyClick(form.Text_Memo, Qt::Key_Backspace);
            },
            [&] { tick(); }, 5);
        check(baselineWritten, "the baseline write failed");
        check(ReadBytes(primary) == fileBytes, "the auto-save did not write the document's bytes");
        check(prompts.Records.isEmpty(), "a message was shown");
        figures.push_back({"auto-save tick of 10 MB (vs write+fsync)", rounds.SubjectMedianMs(),
                           rounds.BaselineMedianMs(), rounds.Spread(), 5.0, 1});
        figures.back().Print();
        std::printf("bench_document: reference: auto-save tick just after a change: %.1f ms\n",
                    changedMs);

        // The check before each write that the file is still the version
        // last written, against the same write without it (into a file of
        // its own, which the document never saw), handed to a worker thread
        // of its own and waited for as the tick is. CPU time of the whole
        // process: the check is a stat, the rest is the same copy into the
        // page cache and the same hand-over on both sides; the waits for the
        // disk would only drown it.
        const QByteArray bytes = EncodeTextFile(text);
        const QString plainFile = dir.filePath(QStringLiteral("unchecked.txt"));
        bool plainWritten = true;
        TWorker plainWorker;
        const TAlternated checked = Alternate(
            roundsOf(AutoSaveRounds * 5), 1, [](bool) {}, [&] { tick(); },
            [&] {
                plainWorker.Post(
                    [&] { plainWritten = WriteWholeFile(plainFile, bytes) && plainWritten; });
                plainWorker.WaitForDone();
            },
            TClock::ProcessCpu);
        check(plainWritten, "the unchecked write failed");
        check(ReadBytes(primary) == fileBytes, "the checked tick did not write the document");
        figures.push_back({"auto-save tick of 10 MB with the outside-change check (vs without)",
                           checked.SubjectMedianMs(), checked.BaselineMedianMs(), checked.Spread(),
                           1.05, 2});
        figures.back().Print();

        // For reference: a tick that finds another program's 10 MB version
        // in the backup file, which goes into the history (read, written
        // and synced there) before the tick writes the backup, against a
        // plain tick. Wall time: both wait for the disk.
        const QString backup = dir.filePath(QStringLiteral("backup.txt"));
        form.SetBackupFile(backup);
        tick();
        int foreignRound = 0;
        const TAlternated foreign = Alternate(
            roundsOf(AutoSaveRounds), 1,
            [&](bool subject) {
                // A version of its own each round, so that none is kept already.
                if (subject)
                    WriteBytes(backup, fileBytes + QByteArray::number(++foreignRound));
            },
            [&] { tick(); }, [&] { tick(); });
        check(ReadBytes(backup) == fileBytes, "the tick did not write the backup");
        check(prompts.Records.isEmpty(), "a message was shown");
        std::printf("bench_document: reference: auto-save tick that keeps another program's 10 MB "
                    "version of the backup first: %.1f ms vs a plain tick %.1f ms (medians) = "
                    "ratio %.2f (%s)\n",
                    foreign.SubjectMedianMs(), foreign.BaselineMedianMs(), foreign.Spread().Median,
                    DescribeSpread(foreign.Spread()).c_str());
        form.SetBackupFile(QString());
    }

    bool met = sound;
    for (const TFigure &figure : figures)
        met = met && figure.Met();
    std::printf("bench_document: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
