// File > Writing Record: the writer's days at a glance. The words written on
// each of the last 30 days (or the last year) as bars, with the goal as a
// line, the time spent writing against the time idle after a nudge below
// them, today and the streak, the totals and the best day; and the same days
// as a table, for reading them one by one (and for a screen reader).
#pragma once

#include "storage/WritingRecord_Unit.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QStackedWidget;
class QTreeWidget;

// The chart: one bar a day, drawn in the palette's colours.
class TRecordChart : public QWidget
{
    Q_OBJECT

public:
    explicit TRecordChart(QWidget *parent = nullptr);

    // The days shown, oldest first, one for every date (empty ones too).
    void SetDays(const QList<TDayRecord> &days, const TWritingGoal &goal);

    QSize sizeHint() const override { return {640, 240}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void PaintWords(QPainter &painter, const QRect &area) const;
    void PaintTime(QPainter &painter, const QRect &area) const;

    QList<TDayRecord> FDays;
    TWritingGoal FGoal;
    qint64 FMostWords = 0;
    qint64 FMostSeconds = 0;
};

class TWritingRecord_Form : public QDialog
{
    Q_OBJECT

public:
    explicit TWritingRecord_Form(QWidget *parent = nullptr);

    // The days the record holds (in any order, days missing where nothing
    // was written), today, and today's goal.
    void SetDays(const QList<TDayRecord> &days, QDate today, const TWritingGoal &goal);
    // The record could not be read.
    void ShowUnreadable(const QString &why);

    // The text alternative of the chart, as its accessible description.
    static QString Summary(const QList<TDayRecord> &shown, const TWritingGoal &goal);

    QLabel *Today_Label = nullptr;
    QLabel *Totals_Label = nullptr;
    TRecordChart *Chart = nullptr;
    QTreeWidget *Days_Table = nullptr;
    QCheckBox *Year_Check = nullptr;
    QCheckBox *Table_Check = nullptr;

private:
    void ShowSpan();
    void FillTable(const QList<TDayRecord> &shown);

    QStackedWidget *FViews = nullptr;
    QList<TDayRecord> FDays;
    QDate FToday;
    TWritingGoal FGoal;
};
