// The writing goal in a 10 MB manuscript: two main windows with the same
// document, one counting the words typed with a goal of 500 words a day, the
// other not counting at all, in alternated rounds after a warm-up
// (bench/Rounds.h), each figure the median of the rounds' ratios with its
// spread:
//   keystroke  a letter typed in the middle of the text, counting against
//              not (target: at most 1.05 times as long);
//   open       the window's OpenPrimaryFile of the file, counting against
//              not (target: at most 1.05 times as long);
// timed in this thread's CPU time. And the Writing Record window over a
// store that holds a year of days:
//   record     from File > Writing Record until the chart has been drawn
//              with the days read (target: at most 50 ms, wall time, the
//              median of the rounds; the longest is printed beside it);
//   year       the year's bars and rows shown and drawn, at "The last year"
//              (target: at most 50 ms the same way).
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/PrivateFolder_Unit.h"
#include "storage/WriterSettings_Unit.h"
#include "storage/WritingRecord_Unit.h"
#include "windows/Main_Unit.h"
#include "windows/WritingCount_Unit.h"
#include "windows/WritingRecordWindow_Unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr qsizetype DocumentBytes = 10 * 1024 * 1024;
constexpr int KeystrokeRounds = 15;
constexpr int OpenRounds = 7;
constexpr int RecordRounds = 9;
constexpr int Keystrokes = 100;
constexpr int KeysInTurn = 10;
constexpr double PaintTargetMs = 50.0;

bool PrintRatio(const char *name, const TAlternated &rounds, double target, int decimals)
{
    const TRatioSpread spread = rounds.Spread();
    const bool met = spread.Median <= target;
    std::printf("bench_goal: %s: %.*f ms vs not counting %.*f ms (medians) = ratio %.2f (%s;"
                " target <= %.2f) %s\n",
                name, decimals, rounds.SubjectMedianMs(), decimals, rounds.BaselineMedianMs(),
                spread.Median, DescribeSpread(spread).c_str(), target, met ? "met" : "MISSED");
    std::fflush(stdout);
    return met;
}

// Each round types into the middle of the text; the last round's letters go
// first, which is no typing.
void Prepare(QPlainTextEdit *editor, int &typedFrom)
{
    QTextCursor cursor = editor->textCursor();
    if (typedFrom >= 0) {
        cursor.setPosition(typedFrom);
        cursor.setPosition(typedFrom + Keystrokes, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    typedFrom = editor->document()->characterCount() / 2;
    cursor.setPosition(typedFrom);
    editor->setTextCursor(cursor);
    QApplication::processEvents();
}

void Type(QPlainTextEdit *editor, int count)
{
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(editor, Qt::Key_A);
        QApplication::processEvents();
    }
}

TAlternated TypeInBoth(TMain_Form &on, TMain_Form &off)
{
    int onFrom = -1;
    int offFrom = -1;
    TAlternated perKey;
    for (int round = -1; round < KeystrokeRounds; ++round) {
        Prepare(on.Text_Memo, onFrom);
        Prepare(off.Text_Memo, offFrom);
        double onMs = 0;
        double offMs = 0;
        for (int turn = 0; turn < Keystrokes / KeysInTurn; ++turn) {
            const bool onFirst = (turn + round) % 2 == 0;
            for (bool onNow : {onFirst, !onFirst})
                (onNow ? onMs : offMs) +=
                    CpuMs([&] { Type((onNow ? on : off).Text_Memo, KeysInTurn); });
        }
        if (round < 0)
            continue;
        perKey.SubjectMs.push_back(onMs / Keystrokes);
        perKey.BaselineMs.push_back(offMs / Keystrokes);
        perKey.Ratios.push_back(onMs / offMs);
    }
    return perKey;
}

TAlternated OpenInBoth(TMain_Form &on, TMain_Form &off)
{
    return Alternate(
        OpenRounds, 1,
        [&](bool subject) {
            (subject ? on : off).Text_Memo->clear();
            QApplication::processEvents();
        },
        [&] { on.OpenPrimaryFile(); }, [&] { off.OpenPrimaryFile(); }, TClock::ThreadCpu);
}

// Notes the first paint of the chart once the days are in it.
class TPaintWatch : public QObject
{
public:
    TPaintWatch(TRecordChart *chart, QTreeWidget *table) : FChart(chart), FTable(table)
    {
        chart->installEventFilter(this);
    }
    bool Painted = false;
    int Rows = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FChart && event->type() == QEvent::Paint &&
            FTable->topLevelItemCount() > 0 && Rows != FTable->topLevelItemCount()) {
            Rows = FTable->topLevelItemCount();
            Painted = true;
        }
        return false;
    }

private:
    TRecordChart *FChart;
    QTreeWidget *FTable;
};

void FillYear()
{
    QList<TDayRecord> days;
    const QDate today = QDate::currentDate();
    for (int i = 0; i < 365; ++i) {
        TDayRecord day;
        day.Day = today.addDays(-i);
        day.Words = 200 + (i * 37) % 900;
        day.WritingSeconds = 600 + (i * 53) % 3600;
        day.IdleSeconds = (i * 29) % 900;
        day.Nudges = i % 7;
        day.Goal = {TGoalKind::Words, 500};
        days.append(day);
    }
    TWritingRecord(PrivateFolder(QStringLiteral("nudger.db"))).Add(days);
}

bool RecordWindow(TMain_Form &form)
{
    std::vector<double> opened;
    std::vector<double> year;
    for (int round = -1; round < RecordRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        TWritingRecord_Form *record = form.OpenWritingRecord();
        TPaintWatch watch(record->Chart, record->Days_Table);
        if (!QTest::qWaitFor([&] { return watch.Painted; }, 5000))
            return false;
        const double openMs = double(timer.nsecsElapsed()) / 1e6;
        watch.Painted = false;
        timer.restart();
        record->Year_Check->setChecked(true);
        if (!QTest::qWaitFor([&] { return watch.Painted; }, 5000))
            return false;
        const double yearMs = double(timer.nsecsElapsed()) / 1e6;
        delete record;
        if (round < 0)
            continue;
        opened.push_back(openMs);
        year.push_back(yearMs);
    }
    bool met = true;
    for (const auto &[name, figures] :
         {std::pair{"open Writing Record over 365 days, to its first paint", opened},
          std::pair{"show the year's 365 bars and rows", year}}) {
        const double median = Median(figures);
        met = median <= PaintTargetMs && met;
        std::printf("bench_goal: %s: %.1f ms (median of %d, longest %.1f ms; target <= %.0f ms) "
                    "%s\n",
                    name, median, int(figures.size()),
                    *std::max_element(figures.begin(), figures.end()), PaintTargetMs,
                    median <= PaintTargetMs ? "met" : "MISSED");
    }
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
    QSignalSpy started(form.get(), &TMain_Form::Started);
    form->show();
    started.wait(5000);
    return form;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
    TBenchStart start("bench_goal");
    TWriterSettings settings;
    settings.SetValue(QStringLiteral("Goal/Kind"), QStringLiteral("words"));
    settings.SetIntValue(QStringLiteral("Goal/Amount"), 500);
    // The spelling stays out of both figures.
    settings.SetBoolValue(QStringLiteral("Spelling/Enabled"), false);

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
    on->StartRecord();
    off->EndRecord();
    bool met = PrintRatio("one keystroke in 10 MB", TypeInBoth(*on, *off), 1.05, 3);
    if (!on->WritingCount() || on->WrittenToday().Words <= 0 || off->WritingCount()) {
        std::printf("bench_goal: FAULT: the words typed were not counted\n");
        met = false;
    }
    met = PrintRatio("open 10 MB", OpenInBoth(*on, *off), 1.05, 1) && met;
    on->EndRecord();
    FillYear();
    on->StartRecord();
    if (!RecordWindow(*on)) {
        std::printf("bench_goal: FAULT: the record's window did not show its days\n");
        met = false;
    }
    std::printf("bench_goal: %s\n", met ? "all targets met" : "TARGET MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
