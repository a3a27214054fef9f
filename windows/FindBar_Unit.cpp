#include "windows/FindBar_Unit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

// How far a find looks at once, before it waits for the count.
constexpr int NearReach = 65536;
// The longest selection that fills the search field.
constexpr int LongestFill = 256;
// While counting, the count is shown (and announced) at most this often.
constexpr int CountShownEveryMs = 250;
// While the writer types, the highlights follow at most this often.
constexpr int HighlightAfterEditMs = 150;
constexpr int MostHighlights = 2000;

QPushButton *NewButton(const QString &caption, const char *name, const QString &accessibleName,
                       QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    return button;
}

// A button as small as its caption, for the row that must fit beside the
// field in the narrowest window.
QToolButton *NewSmallButton(const QString &caption, const char *name, const QString &accessibleName,
                            QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QCheckBox *NewCheckBox(const QString &caption, const char *name, const QString &accessibleName,
                       QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessibleName);
    return box;
}

QLineEdit *NewEdit(const char *name, const QString &accessibleName, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    return edit;
}

QColor Blend(const QColor &ground, const QColor &tint, float share)
{
    return QColor::fromRgbF(ground.redF() + (tint.redF() - ground.redF()) * share,
                            ground.greenF() + (tint.greenF() - ground.greenF()) * share,
                            ground.blueF() + (tint.blueF() - ground.blueF()) * share);
}

// "3 of 17", "17 matches", "Not found", and as a sentence for the
// description; while counting, what is found so far.
std::pair<QString, QString> CountTexts(int count, int index, bool complete)
{
    if (complete && count == 0)
        return {QStringLiteral("Not found"), QStringLiteral("Not found.")};
    if (index >= 0) {
        const QString of = QStringLiteral("%1 of %2").arg(index + 1).arg(count);
        return complete ? std::pair(of, QStringLiteral("Match ") + of + QLatin1Char('.'))
                        : std::pair(of + QStringLiteral(" so far"),
                                    QStringLiteral("Match ") + of + QStringLiteral(" so far."));
    }
    if (!complete)
        return count == 0 ? std::pair(QStringLiteral("Searching"), QStringLiteral("Searching."))
                          : std::pair(QStringLiteral("%1 found so far").arg(count),
                                      QStringLiteral("%1 found so far.").arg(count));
    const QString matches =
        count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(count);
    return {matches, matches + QLatin1Char('.')};
}

} // namespace

TFindBar::TFindBar(QPlainTextEdit *editor, QWidget *parent)
    : QFrame(parent), FEditor(editor), FMatches(editor->document())
{
    setObjectName(QStringLiteral("Find_Bar"));
    setAccessibleName(QStringLiteral("Find and Replace"));
    setFrameShape(QFrame::StyledPanel);
    FHighlight.setSingleShot(true);
    CreateControls();
    LayOutControls();
    ConnectControls();
    SetReplacing(false);
    ShowNote(QString());
    hide();
}

void TFindBar::CreateControls()
{
    Find_Label = new QLabel(QStringLiteral("Fi&nd:"), this);
    Find_Label->setObjectName(QStringLiteral("Find_Label"));
    Find_Edit = NewEdit("Find_Edit", QStringLiteral("Find"), this);
    Find_Edit->setAccessibleDescription(QStringLiteral("What to find in your text"));
    Find_Label->setBuddy(Find_Edit);
    FindPrevious_Button = NewSmallButton(QStringLiteral("Previo&us"), "FindPrevious_Button",
                                         QStringLiteral("Find previous"), this);
    FindNext_Button = NewSmallButton(QStringLiteral("Ne&xt"), "FindNext_Button",
                                     QStringLiteral("Find next"), this);
    MatchCase_CheckBox = NewCheckBox(QStringLiteral("&Match case"), "MatchCase_CheckBox",
                                     QStringLiteral("Match case"), this);
    WholeWords_CheckBox = NewCheckBox(QStringLiteral("&Whole words"), "WholeWords_CheckBox",
                                      QStringLiteral("Whole words"), this);
    Count_Label = new QLabel(this);
    Count_Label->setObjectName(QStringLiteral("Count_Label"));
    // The count takes the room there is, and asks for no more: a long count
    // never widens the window.
    Count_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Count_Label->setMinimumWidth(Count_Label->fontMetrics().averageCharWidth() * 10);
    Close_Button = NewSmallButton(QStringLiteral("C&lose"), "FindClose_Button",
                                  QStringLiteral("Close the find bar"), this);
    Close_Button->setAccessibleDescription(QStringLiteral("Esc"));
    Replace_Label = new QLabel(QStringLiteral("Re&place with:"), this);
    Replace_Label->setObjectName(QStringLiteral("Replace_Label"));
    Replace_Edit = NewEdit("Replace_Edit", QStringLiteral("Replace with"), this);
    Replace_Edit->setAccessibleDescription(QStringLiteral("What replaces each match"));
    Replace_Label->setBuddy(Replace_Edit);
    Replace_Button =
        NewButton(QStringLiteral("&Replace"), "Replace_Button", QStringLiteral("Replace"), this);
    ReplaceAll_Button = NewButton(QStringLiteral("Replace &All"), "ReplaceAll_Button",
                                  QStringLiteral("Replace All"), this);
    Note_Label = new QLabel(this);
    Note_Label->setObjectName(QStringLiteral("FindNote_Label"));
    Note_Label->setWordWrap(true);
    Versions_Button = NewButton(QStringLiteral("Earlier &Versions"), "FindVersions_Button",
                                QStringLiteral("Earlier Versions"), this);
}

void TFindBar::LayOutControls()
{
    // The two fields one above the other, each as wide as twelve letters at
    // least; the note below them, as wide as the bar.
    const int fieldWidth = Find_Edit->fontMetrics().averageCharWidth() * 12;
    Find_Edit->setMinimumWidth(fieldWidth);
    Replace_Edit->setMinimumWidth(fieldWidth);
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(3);
    grid->addWidget(Find_Label, 0, 0);
    grid->addWidget(Find_Edit, 0, 1);
    grid->addWidget(FindPrevious_Button, 0, 2);
    grid->addWidget(FindNext_Button, 0, 3);
    grid->addWidget(MatchCase_CheckBox, 0, 4);
    grid->addWidget(WholeWords_CheckBox, 0, 5);
    grid->addWidget(Count_Label, 0, 6);
    grid->addWidget(Close_Button, 0, 7);
    grid->addWidget(Replace_Label, 1, 0);
    grid->addWidget(Replace_Edit, 1, 1);
    grid->addWidget(Replace_Button, 1, 2);
    grid->addWidget(ReplaceAll_Button, 1, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(6, 1);
    auto *note = new QHBoxLayout;
    note->addWidget(Note_Label, 1);
    note->addWidget(Versions_Button);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->setSpacing(3);
    layout->addLayout(grid);
    layout->addLayout(note);
    const QList<QWidget *> order = {Find_Edit,          FindPrevious_Button, FindNext_Button,
                                    MatchCase_CheckBox, WholeWords_CheckBox, Replace_Edit,
                                    Replace_Button,     ReplaceAll_Button,   Versions_Button,
                                    Close_Button};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void TFindBar::ConnectControls()
{
    connect(Find_Edit, &QLineEdit::textChanged, this,
            [this] { StartSearch(FEditor->textCursor().selectionStart()); });
    for (QCheckBox *box : {MatchCase_CheckBox, WholeWords_CheckBox})
        connect(box, &QCheckBox::toggled, this,
                [this] { StartSearch(FEditor->textCursor().selectionStart()); });
    connect(FindNext_Button, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(FindPrevious_Button, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(Replace_Button, &QPushButton::clicked, this, &TFindBar::ReplaceOne);
    connect(ReplaceAll_Button, &QPushButton::clicked, this, &TFindBar::ReplaceAll);
    connect(Close_Button, &QToolButton::clicked, this, &TFindBar::Close);
    connect(Versions_Button, &QPushButton::clicked, this, &TFindBar::VersionsClicked);
    connect(&FMatches, &TTextMatches::Changed, this, [this] {
        ResolveSeek();
        ShowCount();
    });
    connect(&FHighlight, &QTimer::timeout, this, &TFindBar::ShowHighlights);
    Find_Edit->installEventFilter(this);
    Replace_Edit->installEventFilter(this);
}

// ---------------------------------------------------------------------------
// Showing and hiding

void TFindBar::Open(bool replace)
{
    const bool wasHidden = isHidden();
    Reveal();
    SetReplacing(replace);
    const QTextCursor selection = FEditor->textCursor();
    const TSearchTerms selected{selection.selectedText(), false, false};
    const bool fill = selected.Searchable() && selected.Text.size() <= LongestFill &&
                      selected.Text != Find_Edit->text();
    if (fill) {
        const QSignalBlocker quiet(Find_Edit);
        Find_Edit->setText(selected.Text);
    }
    Find_Edit->setFocus(Qt::ShortcutFocusReason);
    Find_Edit->selectAll();
    if (fill || wasHidden)
        StartSearch(selection.selectionStart());
}

void TFindBar::Close()
{
    hide();
    for (const QMetaObject::Connection &connection : FFollowing)
        disconnect(connection);
    FFollowing.clear();
    FEditor->viewport()->removeEventFilter(this);
    FMatches.Clear();
    FSeeking = false;
    FHighlight.stop();
    ShowHighlights();
    FEditor->setFocus(Qt::OtherFocusReason);
}

void TFindBar::Reveal()
{
    if (!isHidden())
        return;
    show();
    // While it shows, the highlights follow the view, and the text as the
    // writer changes it.
    FFollowing.push_back(connect(FEditor->verticalScrollBar(), &QScrollBar::valueChanged, this,
                                 [this] { HighlightSoon(0); }));
    FFollowing.push_back(connect(FEditor->document(), &QTextDocument::contentsChanged, this,
                                 [this] { HighlightSoon(HighlightAfterEditMs); }));
    FFollowing.push_back(
        connect(FEditor, &QPlainTextEdit::selectionChanged, this, [this] { ShowCount(true); }));
    FViewport = FEditor->viewport();
    FEditor->viewport()->installEventFilter(this);
}

void TFindBar::SetReplacing(bool replacing)
{
    const QList<QWidget *> replace = {Replace_Label, Replace_Edit, Replace_Button,
                                      ReplaceAll_Button};
    for (QWidget *widget : replace)
        widget->setVisible(replacing);
}

void TFindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Close();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FViewport) {
        if (event->type() == QEvent::Resize)
            HighlightSoon(0);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // Enter finds the next match, Shift+Enter the one before; in the
    // replacement field Enter replaces.
    if (watched == Replace_Edit)
        ReplaceOne();
    else if (key->modifiers().testFlag(Qt::ShiftModifier))
        FindPrevious();
    else
        FindNext();
    return true;
}

// ---------------------------------------------------------------------------
// Finding

TSearchTerms TFindBar::Terms() const
{
    return {Find_Edit->text(), MatchCase_CheckBox->isChecked(), WholeWords_CheckBox->isChecked()};
}

void TFindBar::StartSearch(int from)
{
    if (isHidden())
        return;
    const TSearchTerms terms = Terms();
    FSeeking = false;
    ShowNote(QString());
    Replace_Button->setEnabled(terms.Searchable());
    ReplaceAll_Button->setEnabled(terms.Searchable());
    FMatches.Search(terms);
    ShowHighlights();
    if (terms.Searchable())
        Seek(TDirection::Forward, from);
    ShowCount(true);
}

bool TFindBar::ShowSearch()
{
    Reveal();
    const TSearchTerms terms = Terms();
    if (!terms.Searchable()) {
        // Nothing to find yet: the field asks for it.
        Open(Replace_Edit->isVisible());
        return false;
    }
    if (FMatches.Terms() != terms) {
        FMatches.Search(terms);
        ShowHighlights();
    }
    ShowNote(QString());
    return true;
}

void TFindBar::FindNext()
{
    if (ShowSearch())
        Seek(TDirection::Forward, FEditor->textCursor().selectionEnd());
}

void TFindBar::FindPrevious()
{
    if (ShowSearch())
        Seek(TDirection::Backward, FEditor->textCursor().selectionStart());
}

void TFindBar::Seek(TDirection direction, int from)
{
    FSeeking = true;
    FSeekDirection = direction;
    FSeekFrom = QTextCursor(FEditor->document());
    FSeekFrom.setPosition(qBound(0, from, TextLength(FEditor->document())));
    int start = -1;
    const TTextMatches::TAnswer counted = direction == TDirection::Forward
                                              ? FMatches.Next(from, start)
                                              : FMatches.Previous(from, start);
    if (counted == TTextMatches::TAnswer::NotYet) {
        // The count has not got there: look near the place at once.
        std::vector<int> near;
        const QTextDocument *document = FEditor->document();
        if (direction == TDirection::Forward)
            FindMatches(document, FMatches.Terms(), from,
                        qMin(TextLength(document), from + NearReach), near);
        else
            FindMatches(document, FMatches.Terms(), qMax(0, from - NearReach), from, near);
        if (!near.empty()) {
            FSeeking = false;
            Select(direction == TDirection::Forward ? near.front() : near.back(), false);
            return;
        }
    }
    ResolveSeek();
}

void TFindBar::ResolveSeek()
{
    if (!FSeeking)
        return;
    const bool forward = FSeekDirection == TDirection::Forward;
    int start = -1;
    TTextMatches::TAnswer answer = forward ? FMatches.Next(FSeekFrom.position(), start)
                                           : FMatches.Previous(FSeekFrom.position(), start);
    const bool wrapped = answer == TTextMatches::TAnswer::None;
    if (wrapped)
        answer = forward ? FMatches.Next(0, start) : FMatches.Previous(INT_MAX, start);
    if (answer == TTextMatches::TAnswer::NotYet)
        return;
    FSeeking = false;
    if (answer == TTextMatches::TAnswer::Found)
        Select(start, wrapped);
    else
        ShowCount(true);
}

void TFindBar::Select(int start, bool wrapped)
{
    QTextCursor cursor(FEditor->document());
    cursor.setPosition(start);
    cursor.setPosition(start + int(FMatches.Terms().Text.size()), QTextCursor::KeepAnchor);
    const auto [shownFrom, shownTo] = VisibleRange();
    FEditor->setTextCursor(cursor);
    // A match far away comes to the middle of the view, with its context.
    if (start < shownFrom || start >= shownTo)
        FEditor->centerCursor();
    FFound = cursor;
    if (wrapped)
        ShowNote(FSeekDirection == TDirection::Forward
                     ? QStringLiteral("Reached the end of your text, continued from the top.")
                     : QStringLiteral("Reached the top of your text, continued from the end."));
    ShowCount(true);
}

// ---------------------------------------------------------------------------
// Replacing

bool TFindBar::ReplaceOne()
{
    const TSearchTerms terms = Terms();
    QTextCursor selection = FEditor->textCursor();
    const int start = selection.selectionStart();
    const bool onMatch = terms.Searchable() &&
                         selection.selectionEnd() - start == int(terms.Text.size()) &&
                         MatchesAt(FEditor->document(), terms, start);
    if (onMatch) {
        selection.insertText(Replace_Edit->text());
        FEditor->setTextCursor(selection);
    }
    FindNext();
    return onMatch;
}

int TFindBar::ReplaceAll()
{
    const TSearchTerms terms = Terms();
    QTextDocument *document = FEditor->document();
    std::vector<int> starts;
    FindMatches(document, terms, 0, TextLength(document), starts);
    FSeeking = false;
    if (starts.empty()) {
        ShowNote(QStringLiteral("Nothing to replace."));
        return 0;
    }
    const bool keeps = bool(KeepBeforeReplaceAll);
    if (keeps && !KeepBeforeReplaceAll()) {
        ShowNote(QStringLiteral("I cannot keep your text in Earlier Versions, so I have not "
                                "replaced anything."));
        return 0;
    }
    const QString replacement = Replace_Edit->text();
    const int length = int(terms.Text.size());
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // From the last to the first: each replacement leaves the places of the
    // matches before it as they were, and none is searched again.
    for (auto at = starts.crbegin(); at != starts.crend(); ++at) {
        cursor.setPosition(*at);
        cursor.setPosition(*at + length, QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    const int replaced = int(starts.size());
    ShowNote((replaced == 1 ? QStringLiteral("Replaced 1 match.")
                            : QStringLiteral("Replaced %1 matches.").arg(replaced)) +
                 (keeps ? QStringLiteral(" Your text before Replace All is kept in Earlier "
                                         "Versions, and Ctrl+Z brings it back.")
                        : QString()),
             keeps);
    return replaced;
}

// ---------------------------------------------------------------------------
// What the bar shows

void TFindBar::ShowCount(bool now)
{
    const bool complete = FMatches.Complete();
    if (!now && !complete && FCountShown.isValid() && FCountShown.elapsed() < CountShownEveryMs)
        return;
    FCountShown.start();
    const TSearchTerms &terms = FMatches.Terms();
    if (!terms.Searchable()) {
        Count_Label->clear();
        Count_Label->setAccessibleName(QStringLiteral("Matches"));
        Count_Label->setAccessibleDescription(QStringLiteral("Nothing to find."));
        ShowFound(true);
        return;
    }
    // The match found is the current one while it is still selected.
    const QTextCursor selection = FEditor->textCursor();
    const bool current = FFound.hasSelection() &&
                         FFound.selectionStart() == selection.selectionStart() &&
                         FFound.selectionEnd() == selection.selectionEnd();
    const int index = current ? FMatches.IndexOf(FFound.selectionStart()) : -1;
    auto [text, sentence] = CountTexts(FMatches.Count(), index, complete);
    if (!Note_Label->isHidden())
        sentence += QLatin1Char(' ') + Note_Label->text();
    if (Count_Label->text() != text)
        Count_Label->setText(text);
    if (Count_Label->accessibleName() != text)
        Count_Label->setAccessibleName(text);
    if (Count_Label->accessibleDescription() != sentence)
        Count_Label->setAccessibleDescription(sentence);
    ShowFound(!complete || FMatches.Count() > 0);
}

void TFindBar::ShowFound(bool found)
{
    if (found == FFieldFound)
        return;
    FFieldFound = found;
    // In words beside the field (the count says "Not found") and to a screen
    // reader, and in colour.
    if (found) {
        Find_Edit->setPalette(QPalette());
        Find_Edit->setAccessibleDescription(QStringLiteral("What to find in your text"));
        return;
    }
    QPalette palette = Find_Edit->palette();
    palette.setColor(QPalette::Base,
                     Blend(palette.color(QPalette::Base), QColor(220, 40, 40), 0.3f));
    Find_Edit->setPalette(palette);
    Find_Edit->setAccessibleDescription(QStringLiteral("Not found"));
}

void TFindBar::ShowNote(const QString &text, bool offerVersions)
{
    Note_Label->setText(text);
    Note_Label->setAccessibleName(text);
    Note_Label->setVisible(!text.isEmpty());
    Versions_Button->setVisible(offerVersions);
    if (!text.isEmpty())
        ShowCount(true);
}

// ---------------------------------------------------------------------------
// Highlights

std::pair<int, int> TFindBar::VisibleRange() const
{
    const QRect area = FEditor->viewport()->rect();
    const QTextBlock first = FEditor->cursorForPosition(area.topLeft()).block();
    const QTextBlock last = FEditor->cursorForPosition(area.bottomRight()).block();
    return {first.position(), last.position() + last.length()};
}

void TFindBar::HighlightSoon(int ms)
{
    if (!FHighlight.isActive() || ms < FHighlight.remainingTime())
        FHighlight.start(ms);
}

void TFindBar::ShowHighlights()
{
    QList<QTextEdit::ExtraSelection> selections = FEditor->extraSelections();
    std::vector<std::pair<int, int>> shown;
    const auto ours = [](const QTextEdit::ExtraSelection &selection) {
        return selection.format.hasProperty(HighlightProperty);
    };
    for (const QTextEdit::ExtraSelection &selection : std::as_const(selections))
        if (ours(selection))
            shown.emplace_back(selection.cursor.selectionStart(), selection.cursor.selectionEnd());
    std::vector<int> starts;
    const TSearchTerms &terms = FMatches.Terms();
    if (!isHidden() && terms.Searchable()) {
        const auto [from, to] = VisibleRange();
        FindMatches(FEditor->document(), terms, from, to, starts);
        starts.resize(qMin(starts.size(), size_t(MostHighlights)));
    }
    const int length = int(terms.Text.size());
    std::vector<std::pair<int, int>> wanted;
    for (const int start : starts)
        wanted.emplace_back(start, start + length);
    // Unchanged highlights are not set again: that would repaint them.
    if (wanted == shown)
        return;
    selections.erase(std::remove_if(selections.begin(), selections.end(), ours), selections.end());
    QTextCharFormat format;
    const QPalette palette = FEditor->palette();
    // Between the ground and the selection's colour: the text stays
    // readable on it, and the match found (selected) stands out.
    format.setBackground(
        Blend(palette.color(QPalette::Base), palette.color(QPalette::Highlight), 0.35f));
    format.setProperty(HighlightProperty, true);
    for (const auto &[start, end] : wanted) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(FEditor->document());
        selection.cursor.setPosition(start);
        selection.cursor.setPosition(end, QTextCursor::KeepAnchor);
        selection.format = format;
        selections.append(selection);
    }
    FEditor->setExtraSelections(selections);
}
