#include "windows/SpellMarks_Unit.h"

#include "windows/AreaColours_Unit.h"
#include "windows/TextLayout_Unit.h"

#include <QColor>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {

// What the marks know of a block: when it was checked, and its misspelled
// words as they are underlined.
class TBlockMarks : public QTextBlockUserData
{
public:
    int Revision = -1;
    unsigned Generation = 0;
    QList<TWordSpan> Marks;
};

TBlockMarks *DataOf(const QTextBlock &block)
{
    return dynamic_cast<TBlockMarks *>(block.userData());
}

// A block's marks after a change at `at` (in the block) that removed
// `removed` characters and added `added`: those before it stay, those after
// it move with the text when the change kept to the block, and those it
// touched go until the block is checked again.
QList<TWordSpan> Followed(const QList<TWordSpan> &marks, qsizetype at, int removed, int added,
                          bool inBlock)
{
    QList<TWordSpan> kept;
    for (const TWordSpan &mark : marks) {
        if (mark.End() < at)
            kept.append(mark);
        else if (inBlock && mark.Start > at + removed)
            kept.append({mark.Start + added - removed, mark.Length});
    }
    return kept;
}

// One wave of the underline, as the platform underlines a misspelling:
// tiled under a word, it costs a copy of pixels rather than a drawn curve.
QPixmap Wave(const QColor &colour)
{
    constexpr int Period = 4;
    constexpr int Height = 3;
    QPixmap wave(Period, Height);
    wave.fill(Qt::transparent);
    QPainter painter(&wave);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1));
    QPainterPath path(QPointF(0, Height - 0.5));
    path.quadTo(Period / 4.0, -0.5, Period / 2.0, Height / 2.0);
    path.quadTo(Period * 3 / 4.0, Height + 0.5, Period, Height / 2.0 - 1.0);
    painter.drawPath(path);
    return wave;
}

} // namespace

QColor MarkColour(const QColor &base)
{
    const QColor reds[] = {QColor(0xc0, 0x00, 0x00), QColor(0xff, 0x70, 0x70)};
    for (const QColor &red : reds) {
        if (ContrastRatio(red, base) >= MarkContrast)
            return red;
    }
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return ContrastRatio(black, base) >= ContrastRatio(white, base) ? black : white;
}

TSpellMarks::TSpellMarks(TTextEditor *editor, TSpellChecker *checker)
    : FEditor(editor), FChecker(checker)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TSpellMarks::CheckShown);
    connect(editor->document(), &QTextDocument::contentsChange, this, &TSpellMarks::TextChanged);
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, &TSpellMarks::CursorMoved);
    // A scroll, however it came: the editor sets its scroll bar without a
    // signal when the keyboard pages.
    connect(editor, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
        if (dy != 0)
            Schedule(0);
    });
    connect(checker, &TSpellChecker::Changed, this, &TSpellMarks::CheckerChanged);
    editor->PaintOver = [this](QPainter &painter, const QTextBlock &block, const QRectF &place) {
        Paint(painter, block, place);
    };
    FViewport = editor->viewport();
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
}

TSpellMarks::~TSpellMarks()
{
    FEditor->PaintOver = nullptr;
    FEditor->viewport()->update();
}

void TSpellMarks::SetEnabled(bool enabled)
{
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    CheckerChanged();
}

void TSpellMarks::SetHidden(bool hidden)
{
    if (hidden == FHidden)
        return;
    FHidden = hidden;
    CheckerChanged();
}

bool TSpellMarks::Active() const
{
    return FEnabled && !FHidden && FChecker->Ready();
}

// Every mark may be wrong now: none shows until its block is checked again.
void TSpellMarks::CheckerChanged()
{
    FSearch.Running = false;
    Recheck();
}

void TSpellMarks::Recheck()
{
    ++FGeneration;
    FEditor->viewport()->update();
    Schedule(0);
}

void TSpellMarks::Schedule(int ms)
{
    if (!Active())
        return;
    if (FTimer.isActive() && FTimer.remainingTime() <= ms)
        return;
    FTimer.start(ms);
}

QList<TWordSpan> TSpellMarks::Marks(const QTextBlock &block) const
{
    const TBlockMarks *data = DataOf(block);
    if (!data || data->Generation != FGeneration || !Active())
        return QList<TWordSpan>();
    return data->Marks;
}

bool TSpellMarks::Stale(const QTextBlock &block) const
{
    const TBlockMarks *data = DataOf(block);
    return !data || data->Revision != block.revision() || data->Generation != FGeneration;
}

// The blocks on show, a slice at a time.
void TSpellMarks::CheckShown()
{
    if (!Active())
        return;
    QElapsedTimer spent;
    spent.start();
    bool changed = false;
    bool more = false;
    FEditor->ForShownBlocks(FEditor->viewport()->rect(),
                            [&](const QTextBlock &block, const QRectF &) {
                                if (!Stale(block))
                                    return true;
                                if (spent.elapsed() >= SliceMs) {
                                    more = true;
                                    return false;
                                }
                                const QList<TWordSpan> before = Marks(block);
                                CheckBlock(block);
                                changed = changed || Marks(block) != before;
                                return true;
                            });
    if (changed)
        FEditor->viewport()->update();
    if (more)
        Schedule(0);
}

void TSpellMarks::CheckBlock(const QTextBlock &block)
{
    TBlockMarks *data = DataOf(block);
    if (!data) {
        data = new TBlockMarks;
        QTextBlock(block).setUserData(data);
    }
    QList<TWordSpan> marks = FChecker->Misspellings(block.text());
    if (FTypingAt >= 0 && block.contains(FTypingAt)) {
        const qsizetype at = FTypingAt - block.position();
        marks.removeIf(
            [at](const TWordSpan &mark) { return mark.Start <= at && at <= mark.End(); });
    }
    data->Revision = block.revision();
    data->Generation = FGeneration;
    data->Marks = marks;
}

// Under each mark of the block, line by line (a word the editor broke
// across lines is underlined on each).
void TSpellMarks::Paint(QPainter &painter, const QTextBlock &block, const QRectF &place) const
{
    const QList<TWordSpan> marks = Marks(block);
    const QTextLayout *layout = block.layout();
    if (marks.isEmpty() || layout->lineCount() == 0)
        return;
    const QColor colour = MarkColour(FEditor->palette().color(QPalette::Base));
    if (colour != FWaveColour || FWave.isNull()) {
        FWave = Wave(colour);
        FWaveColour = colour;
    }
    const qreal below = QFontMetricsF(FEditor->font()).underlinePos();
    for (const TWordSpan &mark : marks) {
        const int first = layout->lineForTextPosition(int(mark.Start)).lineNumber();
        const int last = layout->lineForTextPosition(int(mark.End()) - 1).lineNumber();
        for (int number = qMax(0, first); number <= last && number < layout->lineCount();
             ++number) {
            const QTextLine line = layout->lineAt(number);
            const int from = qMax(int(mark.Start), line.textStart());
            const int to = qMin(int(mark.End()), line.textStart() + line.textLength());
            const qreal x1 = line.cursorToX(from);
            const qreal x2 = line.cursorToX(to);
            const QRectF under(place.left() + qMin(x1, x2),
                               place.top() + line.y() + line.ascent() + below, qAbs(x2 - x1),
                               FWave.height());
            painter.drawTiledPixmap(under, FWave, QPointF(under.left(), 0));
        }
    }
}

// Every keystroke comes here: only the block's marks move, and its check
// waits for a pause.
void TSpellMarks::TextChanged(int from, int removed, int added)
{
    FSearch.Running = false;
    if (!Active())
        return;
    // A key types or deletes a character at a time; a paste, an undo or a
    // replaced word is no word being typed.
    FTypingAt = added <= 1 ? from + added : -1;
    const QTextBlock block = FEditor->document()->findBlock(from);
    if (TBlockMarks *data = DataOf(block); data && !data->Marks.isEmpty()) {
        const bool inBlock = block.contains(from + added);
        data->Marks = Followed(data->Marks, from - block.position(), removed, added, inBlock);
    }
    if (!FTimer.isActive())
        FTimer.start(PauseMs);
}

// The cursor left the word being typed: that word is checked now.
void TSpellMarks::CursorMoved()
{
    if (FTypingAt < 0 || FEditor->textCursor().position() == FTypingAt)
        return;
    const QTextBlock block = FEditor->document()->findBlock(FTypingAt);
    FTypingAt = -1;
    if (TBlockMarks *data = DataOf(block))
        data->Revision = -1;
    Schedule(0);
}

bool TSpellMarks::MarkedWordAt(int position, TWordSpan &word)
{
    if (!Active())
        return false;
    const QTextBlock block = FEditor->document()->findBlock(position);
    if (!block.isValid())
        return false;
    if (Stale(block))
        CheckBlock(block);
    const qsizetype at = position - block.position();
    for (const TWordSpan &mark : Marks(block)) {
        if (mark.Start <= at && at <= mark.End()) {
            word = {block.position() + mark.Start, mark.Length};
            return true;
        }
    }
    return false;
}

void TSpellMarks::FindNext()
{
    if (!Active()) {
        Q_EMIT NothingFound();
        return;
    }
    const QTextCursor cursor = FEditor->textCursor();
    const int position = cursor.hasSelection() ? cursor.selectionEnd() : cursor.position();
    const QTextBlock block = FEditor->document()->findBlock(position);
    // Without a selection a word that ends at the cursor counts, the one
    // just typed, which is checked now; after a word Next Misspelling
    // selected, the one after it.
    if (FTypingAt >= 0) {
        if (TBlockMarks *data = DataOf(FEditor->document()->findBlock(FTypingAt)))
            data->Revision = -1;
        FTypingAt = -1;
    }
    FSearch.Running = true;
    FSearch.Block = block.blockNumber();
    FSearch.Origin = FSearch.Block;
    FSearch.From = position - block.position() + (cursor.hasSelection() ? 1 : 0);
    FSearch.Wrapped = false;
    ContinueSearch();
}

void TSpellMarks::ContinueSearch()
{
    if (!FSearch.Running || !Active())
        return;
    QTextDocument *document = FEditor->document();
    QElapsedTimer spent;
    spent.start();
    QTextBlock block = document->findBlockByNumber(FSearch.Block);
    for (;;) {
        if (!block.isValid()) {
            if (FSearch.Wrapped)
                break;
            FSearch.Wrapped = true;
            FSearch.From = 0;
            block = document->begin();
        }
        if (Stale(block))
            CheckBlock(block);
        for (const TWordSpan &mark : Marks(block)) {
            if (mark.End() >= FSearch.From) {
                FSearch.Running = false;
                Found(block, mark);
                return;
            }
        }
        if (FSearch.Wrapped && block.blockNumber() >= FSearch.Origin)
            break;
        block = block.next();
        FSearch.From = 0;
        if (spent.elapsed() >= SliceMs && block.isValid()) {
            FSearch.Block = block.blockNumber();
            QTimer::singleShot(0, this, &TSpellMarks::ContinueSearch);
            return;
        }
    }
    FSearch.Running = false;
    Q_EMIT NothingFound();
}

void TSpellMarks::Found(const QTextBlock &block, const TWordSpan &mark)
{
    QTextCursor cursor(FEditor->document());
    cursor.setPosition(int(block.position() + mark.Start));
    cursor.setPosition(int(block.position() + mark.End()), QTextCursor::KeepAnchor);
    FEditor->setTextCursor(cursor);
    FEditor->ensureCursorVisible();
    KeyboardMenu();
}

// The menu where the keyboard is: at the cursor, for its selection or the
// word it stands in.
void TSpellMarks::KeyboardMenu()
{
    const QTextCursor cursor = FEditor->textCursor();
    const int position = cursor.hasSelection() ? cursor.selectionStart() : cursor.position();
    ShowMenu(position, FEditor->viewport()->mapToGlobal(FEditor->cursorRect().bottomLeft()));
}

// Shown as Qt's own context menu is, without a loop of its own.
void TSpellMarks::ShowMenu(int position, const QPoint &where)
{
    QMenu *menu = NewMenu(position);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(where);
}

QMenu *TSpellMarks::NewMenu(int position)
{
    QMenu *menu = FEditor->createStandardContextMenu();
    TWordSpan word;
    if (!MarkedWordAt(position, word))
        return menu;
    QTextCursor selection(FEditor->document());
    selection.setPosition(int(word.Start));
    selection.setPosition(int(word.End()), QTextCursor::KeepAnchor);
    const QString text = selection.selectedText();
    menu->setAccessibleName(QStringLiteral("Misspelled word: %1").arg(text));
    QAction *first = menu->actions().value(0);
    const QStringList suggestions = FChecker->Suggestions(text, MostSuggestions);
    for (const QString &suggestion : suggestions) {
        auto *replace =
            new QAction(QString(suggestion).replace(QLatin1Char('&'), QLatin1String("&&")), menu);
        connect(replace, &QAction::triggered, this,
                [this, word, text, suggestion] { Replace(word, text, suggestion); });
        menu->insertAction(first, replace);
    }
    if (suggestions.isEmpty()) {
        auto *none = new QAction(QStringLiteral("No Suggestions"), menu);
        none->setEnabled(false);
        menu->insertAction(first, none);
    }
    auto *add = new QAction(QStringLiteral("Add to &Dictionary"), menu);
    connect(add, &QAction::triggered, this, [this, text] {
        FChecker->AddToDictionary(text);
        Recheck();
    });
    auto *ignore = new QAction(QStringLiteral("&Ignore All"), menu);
    connect(ignore, &QAction::triggered, this, [this, text] {
        FChecker->IgnoreAll(text);
        Recheck();
    });
    menu->insertSeparator(first);
    menu->insertAction(first, add);
    menu->insertAction(first, ignore);
    if (first)
        menu->insertSeparator(first);
    return menu;
}

// One step that Ctrl+Z undoes, and a change of the text like any typing;
// nothing when the word is no longer there.
void TSpellMarks::Replace(const TWordSpan &word, const QString &was, const QString &by)
{
    QTextCursor cursor(FEditor->document());
    cursor.setPosition(int(word.Start));
    cursor.setPosition(int(word.End()), QTextCursor::KeepAnchor);
    if (cursor.selectedText() != was)
        return;
    cursor.beginEditBlock();
    cursor.insertText(by);
    cursor.endEditBlock();
    FEditor->setTextCursor(cursor);
}

bool TSpellMarks::eventFilter(QObject *watched, QEvent *event)
{
    const bool viewport = watched == FViewport;
    switch (event->type()) {
    case QEvent::ContextMenu: {
        const auto *menu = static_cast<QContextMenuEvent *>(event);
        if (menu->reason() != QContextMenuEvent::Mouse) {
            KeyboardMenu();
        } else {
            const QPoint at =
                viewport ? menu->pos() : FEditor->viewport()->mapFrom(FEditor, menu->pos());
            ShowMenu(FEditor->cursorForPosition(at).position(), menu->globalPos());
        }
        return true;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!viewport && key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            KeyboardMenu();
            return true;
        }
        break;
    }
    case QEvent::Resize:
        if (viewport)
            Schedule(0);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
