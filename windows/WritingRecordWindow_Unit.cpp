#include "windows/WritingRecordWindow_Unit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int MonthDays = 30;
constexpr int YearDays = 365;

QString WordsText(qint64 words)
{
    return words == 1 ? QStringLiteral("1 word")
                      : QStringLiteral("%1 words").arg(QLocale().toString(words));
}

QString MinutesText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    return minutes == 1 ? QStringLiteral("1 minute")
                        : QStringLiteral("%1 minutes").arg(QLocale().toString(minutes));
}

QString DayText(QDate day)
{
    return QLocale().toString(day, QLocale::LongFormat);
}

QString GoalText(const TWritingGoal &goal)
{
    if (!goal.Set())
        return QStringLiteral("none");
    return goal.Kind == TGoalKind::Words ? WordsText(goal.Amount) : MinutesText(goal.Amount * 60);
}

// One row for every date of the span that ends today.
QList<TDayRecord> Span(const QList<TDayRecord> &days, QDate today, int count)
{
    QMap<QDate, TDayRecord> byDay;
    for (const TDayRecord &day : days)
        byDay.insert(day.Day, day);
    QList<TDayRecord> shown;
    shown.reserve(count);
    for (QDate day = today.addDays(1 - count); day <= today; day = day.addDays(1)) {
        TDayRecord record = byDay.value(day);
        record.Day = day;
        shown.append(record);
    }
    return shown;
}

const TDayRecord *BestDay(const QList<TDayRecord> &days)
{
    const TDayRecord *best = nullptr;
    for (const TDayRecord &day : days) {
        if (day.Words > 0 && (!best || day.Words > best->Words))
            best = &day;
    }
    return best;
}

} // namespace

// ---------------------------------------------------------------------------
// The chart

TRecordChart::TRecordChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Record_Chart"));
    setAccessibleName(QStringLiteral("Words written each day"));
    setMinimumSize(320, 160);
    setFocusPolicy(Qt::StrongFocus);
}

void TRecordChart::SetDays(const QList<TDayRecord> &days, const TWritingGoal &goal)
{
    FDays = days;
    FGoal = goal;
    FMostWords = goal.Set() && goal.Kind == TGoalKind::Words ? goal.Amount : 1;
    FMostSeconds = 60;
    for (const TDayRecord &day : days) {
        FMostWords = std::max(FMostWords, day.Words);
        FMostSeconds = std::max({FMostSeconds, day.WritingSeconds, day.IdleSeconds});
    }
    update();
}

void TRecordChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int lineHeight = fontMetrics().height();
    const QRect inner = rect().adjusted(4, 4, -4, -4);
    const int timeHeight = std::max(inner.height() / 4, lineHeight * 2);
    const QRect words(inner.left(), inner.top() + lineHeight, inner.width(),
                      inner.height() - timeHeight - lineHeight * 2);
    const QRect time(inner.left(), words.bottom() + lineHeight / 2, inner.width(),
                     timeHeight - lineHeight / 2);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(inner.left(), inner.top() + fontMetrics().ascent(),
                     QStringLiteral("Words (most: %1)").arg(QLocale().toString(FMostWords)));
    PaintWords(painter, words);
    PaintTime(painter, time);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(inner.left(), inner.bottom() - lineHeight, inner.width(), lineHeight),
                     Qt::AlignLeft, QStringLiteral("Below: writing (left) against idle (right)"));
}

void TRecordChart::PaintWords(QPainter &painter, const QRect &area) const
{
    if (FDays.isEmpty())
        return;
    const double slot = double(area.width()) / FDays.size();
    const QColor bar = palette().color(QPalette::Highlight);
    for (int i = 0; i < FDays.size(); ++i) {
        const double height = double(area.height()) * FDays[i].Words / FMostWords;
        painter.fillRect(QRectF(area.left() + i * slot + slot * 0.1, area.bottom() - height,
                                std::max(1.0, slot * 0.8), height),
                         bar);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    if (FGoal.Set() && FGoal.Kind == TGoalKind::Words) {
        const double y = area.bottom() - double(area.height()) * FGoal.Amount / FMostWords;
        QPen goal(palette().color(QPalette::Text), 1, Qt::DashLine);
        painter.setPen(goal);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.drawText(QPointF(area.left() + 2, y - 2),
                         QStringLiteral("goal: %1").arg(WordsText(FGoal.Amount)));
    }
}

void TRecordChart::PaintTime(QPainter &painter, const QRect &area) const
{
    if (FDays.isEmpty())
        return;
    const double slot = double(area.width()) / FDays.size();
    const QColor writing = palette().color(QPalette::Highlight);
    const QColor idle = palette().color(QPalette::Mid);
    for (int i = 0; i < FDays.size(); ++i) {
        const double left = area.left() + i * slot + slot * 0.1;
        const double width = std::max(0.5, slot * 0.4);
        const double wrote = double(area.height()) * FDays[i].WritingSeconds / FMostSeconds;
        const double waited = double(area.height()) * FDays[i].IdleSeconds / FMostSeconds;
        painter.fillRect(QRectF(left, area.bottom() - wrote, width, wrote), writing);
        painter.fillRect(QRectF(left + width, area.bottom() - waited, width, waited), idle);
    }
}

// ---------------------------------------------------------------------------
// The window

TWritingRecord_Form::TWritingRecord_Form(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WritingRecord_Form"));
    setWindowTitle(QStringLiteral("Writing Record"));
    auto *layout = new QVBoxLayout(this);
    Today_Label = new QLabel(QStringLiteral("Reading the record..."), this);
    Today_Label->setObjectName(QStringLiteral("Today_Label"));
    Totals_Label = new QLabel(this);
    Totals_Label->setObjectName(QStringLiteral("Totals_Label"));
    Totals_Label->setWordWrap(true);
    Chart = new TRecordChart(this);
    Days_Table = new QTreeWidget(this);
    Days_Table->setObjectName(QStringLiteral("Days_Table"));
    Days_Table->setAccessibleName(QStringLiteral("Days"));
    Days_Table->setRootIsDecorated(false);
    Days_Table->setUniformRowHeights(true);
    Days_Table->setHeaderLabels({QStringLiteral("Day"), QStringLiteral("Words"),
                                 QStringLiteral("Minutes writing"), QStringLiteral("Minutes idle"),
                                 QStringLiteral("Nudges"), QStringLiteral("Goal"),
                                 QStringLiteral("Met")});
    FViews = new QStackedWidget(this);
    FViews->addWidget(Chart);
    FViews->addWidget(Days_Table);
    Year_Check = new QCheckBox(QStringLiteral("The last &year"), this);
    Table_Check = new QCheckBox(QStringLiteral("As a &table"), this);
    auto *choices = new QHBoxLayout;
    choices->addWidget(Year_Check);
    choices->addWidget(Table_Check);
    choices->addStretch(1);
    layout->addWidget(Today_Label);
    layout->addWidget(Totals_Label);
    layout->addWidget(FViews, 1);
    layout->addLayout(choices);
    connect(Year_Check, &QCheckBox::toggled, this, &TWritingRecord_Form::ShowSpan);
    connect(Table_Check, &QCheckBox::toggled, this, [this](bool table) {
        FViews->setCurrentIndex(table ? 1 : 0);
        FViews->currentWidget()->setFocus();
    });
    resize(680, 420);
}

void TWritingRecord_Form::SetDays(const QList<TDayRecord> &days, QDate today,
                                  const TWritingGoal &goal)
{
    FDays = days;
    FToday = today;
    FGoal = goal;
    TDayRecord now;
    for (const TDayRecord &day : days) {
        if (day.Day == today)
            now = day;
    }
    const int streak = Streak(days, today);
    QString text = QStringLiteral("Today: %1, %2 of writing.")
                       .arg(WordsText(now.Words), MinutesText(now.WritingSeconds));
    if (goal.Set())
        text += QStringLiteral(" Goal: %1%2.")
                    .arg(GoalText(goal), now.Met ? QStringLiteral(", met") : QString());
    text += streak == 1 ? QStringLiteral(" Streak: 1 day.")
                        : QStringLiteral(" Streak: %1 days.").arg(streak);
    Today_Label->setText(text);
    ShowSpan();
}

void TWritingRecord_Form::ShowUnreadable(const QString &why)
{
    Today_Label->setText(QStringLiteral("The record cannot be read: %1.").arg(why));
}

void TWritingRecord_Form::ShowSpan()
{
    if (!FToday.isValid())
        return;
    const int count = Year_Check->isChecked() ? YearDays : MonthDays;
    const QList<TDayRecord> shown = Span(FDays, FToday, count);
    qint64 words = 0;
    qint64 seconds = 0;
    qint64 idle = 0;
    for (const TDayRecord &day : shown) {
        words += day.Words;
        seconds += day.WritingSeconds;
        idle += day.IdleSeconds;
    }
    const TDayRecord *best = BestDay(shown);
    QString totals = QStringLiteral("The last %1 days: %2 in %3 of writing, %4 idle.")
                         .arg(count)
                         .arg(WordsText(words), MinutesText(seconds), MinutesText(idle));
    if (best)
        totals +=
            QStringLiteral(" Best day: %1, %2.").arg(DayText(best->Day), WordsText(best->Words));
    Totals_Label->setText(totals);
    Chart->SetDays(shown, FGoal);
    Chart->setAccessibleDescription(Summary(shown, FGoal));
    FillTable(shown);
}

void TWritingRecord_Form::FillTable(const QList<TDayRecord> &shown)
{
    Days_Table->clear();
    QList<QTreeWidgetItem *> rows;
    rows.reserve(shown.size());
    // Newest first: today is where the reader starts.
    for (auto day = shown.crbegin(); day != shown.crend(); ++day) {
        rows.append(new QTreeWidgetItem(
            {DayText(day->Day), QString::number(day->Words),
             QString::number(day->WritingSeconds / 60), QString::number(day->IdleSeconds / 60),
             QString::number(day->Nudges), GoalText(day->Goal),
             day->Goal.Set() ? (day->Met ? QStringLiteral("yes") : QStringLiteral("no"))
                             : QString()}));
    }
    Days_Table->addTopLevelItems(rows);
    Days_Table->header()->resizeSections(QHeaderView::ResizeToContents);
}

QString TWritingRecord_Form::Summary(const QList<TDayRecord> &shown, const TWritingGoal &goal)
{
    int written = 0;
    int met = 0;
    for (const TDayRecord &day : shown) {
        written += day.Words > 0 ? 1 : 0;
        met += day.Met ? 1 : 0;
    }
    QString text = QStringLiteral("Words written on each of the last %1 days: words on %2 of them.")
                       .arg(shown.size())
                       .arg(written);
    if (const TDayRecord *best = BestDay(shown))
        text +=
            QStringLiteral(" The most on %1: %2.").arg(DayText(best->Day), WordsText(best->Words));
    if (goal.Set())
        text += QStringLiteral(" The goal, %1, was met on %2 days.").arg(GoalText(goal)).arg(met);
    return text + QStringLiteral(" Alt+T shows the days as a table.");
}
