// The marks of misspelled words in the writer's editor. Only what is shown
// is checked: the blocks on screen, when they come into view and a moment
// after the writer changes them, a slice at a time. A mark is a wavy
// underline the editor draws over its text after each paint: it is neither
// in the document (the text, its undo history and its modified flag stay as
// they are) nor in the blocks' layouts, which a keystroke or a new mark
// would otherwise have to shape again. The context menu of a marked word
// offers its corrections, and Next Misspelling finds the next marked word
// from the cursor on.
#pragma once

#include "storage/SpellChecker_Unit.h"

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QTimer>

class QMenu;
class QPainter;
class QPoint;
class QRectF;
class QTextBlock;
class TTextEditor;

// The least contrast of a mark against the text's ground.
inline constexpr double MarkContrast = 3.0;

// The marks' colour on the ground `base`: a deep red on a light ground, a
// light red on a dark one, and black or white where neither red reaches
// MarkContrast.
QColor MarkColour(const QColor &base);

class TSpellMarks : public QObject
{
    Q_OBJECT

public:
    // Marks the editor's text with the checker's judgement.
    TSpellMarks(TTextEditor *editor, TSpellChecker *checker);
    ~TSpellMarks() override;
    TSpellMarks(const TSpellMarks &) = delete;
    TSpellMarks &operator=(const TSpellMarks &) = delete;

    // Checking is on (the writer's choice) and nothing hides the marks
    // (privacy mode); with either false nothing is marked.
    void SetEnabled(bool enabled);
    void SetHidden(bool hidden);
    // Marking now: enabled, not hidden, the dictionary ready.
    bool Active() const;

    // The marks shown on one block, in the block's positions.
    QList<TWordSpan> Marks(const QTextBlock &block) const;
    // The marked word at a position of the text, in the text's positions;
    // false when no marked word is there.
    bool MarkedWordAt(int position, TWordSpan &word);

    // Selects the next marked word after the cursor (from the start once
    // the end is reached) and opens its menu there; searches a slice at a
    // time, and stops at the writer's next change.
    void FindNext();
    // Opens the context menu for the text at `position` at `where` (global).
    void ShowMenu(int position, const QPoint &where);
    // That menu: for a marked word, its suggestions, Add to Dictionary and
    // Ignore All above Qt's own entries. The caller owns it.
    QMenu *NewMenu(int position);

    static constexpr int MostSuggestions = 6;
    // How long after a change the changed blocks are checked.
    static constexpr int PauseMs = 300;
    // The longest the checking holds the window at a time.
    static constexpr int SliceMs = 8;

Q_SIGNALS:
    // Next Misspelling found no marked word in the whole text.
    void NothingFound();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Schedule(int ms);
    void CheckShown();
    bool Stale(const QTextBlock &block) const;
    void CheckBlock(const QTextBlock &block);
    void Paint(QPainter &painter, const QTextBlock &block, const QRectF &place) const;
    void TextChanged(int from, int removed, int added);
    void CursorMoved();
    void CheckerChanged();
    void Recheck();
    void ContinueSearch();
    void Found(const QTextBlock &block, const TWordSpan &mark);
    void Replace(const TWordSpan &word, const QString &was, const QString &by);
    void KeyboardMenu();

    TTextEditor *FEditor;
    // The editor's viewport, compared by address alone: its events reach
    // the filter while the editor itself is being destroyed.
    const QObject *FViewport = nullptr;
    TSpellChecker *FChecker;
    bool FEnabled = false;
    bool FHidden = false;
    // Bumped whenever every block's marks may be wrong (another dictionary,
    // a word added, checking off): a block checked in an older generation
    // shows no marks and is checked again when shown.
    unsigned FGeneration = 1;
    // Where the writer's last change ended while the cursor stays there:
    // the word there is still being typed and goes unmarked.
    int FTypingAt = -1;
    QTimer FTimer;
    // The underline's wave, made again when its colour changes.
    mutable QPixmap FWave;
    mutable QColor FWaveColour;

    struct TSearch
    {
        bool Running = false;
        int Block = 0;
        int From = 0;
        int Origin = 0;
        bool Wrapped = false;
    };
    TSearch FSearch;
};
