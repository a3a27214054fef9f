// The find bar, above the writer's text and below the other bars: the search
// field, Match case, Whole words and the count ("3 of 17"); with Replace,
// the replacement field, Replace and Replace All. The window makes it when
// the writer first asks for it. The text stays the writer's to edit while
// the bar shows: every match on screen is highlighted, and the one found is
// selected, so that a screen reader reads it. A long text is searched in
// slices between the window's events (TTextMatches), and the count fills in
// as it goes.
#pragma once

#include "windows/TextSearch_Unit.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QTextCursor>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

class TFindBar : public QFrame
{
    Q_OBJECT

public:
    // The bar searches editor, the window's text; it starts hidden.
    explicit TFindBar(QPlainTextEdit *editor, QWidget *parent = nullptr);

    // Shows the bar with the keyboard in the search field, which the
    // editor's selection fills when it is part of one line; with replace,
    // the replacement field and its buttons too.
    void Open(bool replace);
    // Hides the bar and its highlights; the keyboard goes back to the text.
    void Close();
    // Selects the next match after the editor's selection, or the one
    // before it, going round at the end of the text (the bar says so). The
    // bar shows for it; with nothing to find, Open asks what.
    void FindNext();
    void FindPrevious();

    // The only edits of the writer's text that the bar makes. ReplaceOne
    // replaces the selection when it is a match, then selects the next
    // match; true when it replaced. ReplaceAll replaces every match in one
    // step that one Ctrl+Z undoes, once KeepBeforeReplaceAll has kept the
    // text as it was (nothing is replaced when it could not), and returns
    // how many it replaced. A replacement is never searched again.
    bool ReplaceOne();
    int ReplaceAll();

    // Keeps the writer's text before Replace All changes it; false when it
    // could not be kept.
    std::function<bool()> KeepBeforeReplaceAll;

    TTextMatches &Matches() { return FMatches; }

    QLabel *Find_Label = nullptr;
    QLineEdit *Find_Edit = nullptr;
    QToolButton *FindPrevious_Button = nullptr;
    QToolButton *FindNext_Button = nullptr;
    QCheckBox *MatchCase_CheckBox = nullptr;
    QCheckBox *WholeWords_CheckBox = nullptr;
    QLabel *Count_Label = nullptr;
    QToolButton *Close_Button = nullptr;
    QLabel *Replace_Label = nullptr;
    QLineEdit *Replace_Edit = nullptr;
    QPushButton *Replace_Button = nullptr;
    QPushButton *ReplaceAll_Button = nullptr;
    QLabel *Note_Label = nullptr;
    QPushButton *Versions_Button = nullptr;

    // Marks the editor's extra selections that are the bar's highlights, so
    // that others' stay as they are.
    static constexpr int HighlightProperty = 0x100000 + 0x4642;

Q_SIGNALS:
    // The button of the note after Replace All: Earlier Versions at the
    // version kept before it.
    void VersionsClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class TDirection
    {
        Forward,
        Backward
    };
    void CreateControls();
    void LayOutControls();
    void ConnectControls();
    // Shows the bar and follows the editor while it shows.
    void Reveal();
    void SetReplacing(bool replacing);
    TSearchTerms Terms() const;
    // The terms changed: counts afresh and finds the first match at or
    // after from.
    void StartSearch(int from);
    // Shows the bar, counting and highlighting the field's terms unless it
    // does already; false when there is nothing to find.
    bool ShowSearch();
    // Finds the first match at or after from, or the last before it, near
    // it at once, else as soon as the count gets that far.
    void Seek(TDirection direction, int from);
    void ResolveSeek();
    void Select(int start, bool wrapped);
    // The count and the current match in the label (while counting, at
    // most a few times a second unless now), for screen readers too.
    void ShowCount(bool now = false);
    void ShowFound(bool found);
    void ShowNote(const QString &text, bool offerVersions = false);
    // Highlights the matches on screen; HighlightSoon does it within ms,
    // as the view moves or the text changes.
    void ShowHighlights();
    void HighlightSoon(int ms);
    std::pair<int, int> VisibleRange() const;

    QPlainTextEdit *FEditor;
    // The editor's viewport, compared by address alone: its events reach
    // the filter while the editor itself is being destroyed.
    const QObject *FViewport = nullptr;
    TTextMatches FMatches;
    QTimer FHighlight;
    std::vector<QMetaObject::Connection> FFollowing;
    // The match last selected; it moves with the text.
    QTextCursor FFound;
    // A find waiting for the count: which way, and from where.
    bool FSeeking = false;
    TDirection FSeekDirection = TDirection::Forward;
    QTextCursor FSeekFrom;
    QElapsedTimer FCountShown;
    bool FFieldFound = true;
};
