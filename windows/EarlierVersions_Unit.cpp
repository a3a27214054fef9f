#include "windows/EarlierVersions_Unit.h"

#include "storage/ReservedFileGuard_Unit.h"
#include "storage/TextFile_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "storage/Worker_Unit.h"
#include "windows/MainMessages_Unit.h"
#include "windows/Prompts_Unit.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

enum TColumn
{
    WhenColumn,
    WhyColumn,
    WordsColumn,
    FirstLineColumn
};

// Characters put into the views in one turn of the event loop.
constexpr qsizetype FillSliceCharacters = 32 * 1024;

QColor Blend(const QColor &base, const QColor &tint, double amount)
{
    return QColor::fromRgbF(float(base.redF() * (1 - amount) + tint.redF() * amount),
                            float(base.greenF() * (1 - amount) + tint.greenF() * amount),
                            float(base.blueF() * (1 - amount) + tint.blueF() * amount));
}

// Local times of many versions: the zone's offset is looked up once an hour
// of UTC, when it is the same at both ends of that hour.
class TLocalTimes
{
public:
    QDateTime Local(const QDateTime &time)
    {
        const qint64 ms = time.toMSecsSinceEpoch();
        const qint64 hour = ms / HourMs;
        if (hour != FHour) {
            FHour = hour;
            const int start = OffsetAt(hour * HourMs);
            FEven = start == OffsetAt((hour + 1) * HourMs - 1);
            FOffset = start;
        }
        if (!FEven)
            return time.toLocalTime();
        return QDateTime::fromMSecsSinceEpoch(ms + qint64(FOffset) * 1000, Qt::UTC);
    }

private:
    static constexpr qint64 HourMs = 3'600'000;
    static int OffsetAt(qint64 ms)
    {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc();
    }
    qint64 FHour = std::numeric_limits<qint64>::min();
    int FOffset = 0;
    bool FEven = false;
};

// The first line of older that differs from newer, both '\n'-joined; empty
// when they are the same; the line's place when it is empty.
QString FirstChangedLine(const QString &older, const QString &newer)
{
    if (older == newer)
        return QString();
    const qsizetype common =
        std::mismatch(older.begin(), older.end(), newer.begin(), newer.end()).first - older.begin();
    // (lastIndexOf from -1 would search from the end.)
    const qsizetype start = common == 0 ? 0 : older.lastIndexOf(QLatin1Char('\n'), common - 1) + 1;
    qsizetype end = older.indexOf(QLatin1Char('\n'), start);
    if (end < 0)
        end = older.size();
    QString line = older.mid(start, qMin<qsizetype>(end - start, 200)).trimmed();
    if (line.isEmpty()) {
        // The older text ends there, or has an empty line: show the newer's.
        qsizetype newerEnd = newer.indexOf(QLatin1Char('\n'), start);
        if (newerEnd < 0)
            newerEnd = newer.size();
        line = newer.mid(start, qMin<qsizetype>(newerEnd - start, 200)).trimmed();
    }
    return line;
}

} // namespace

TEarlierVersions_Form::TEarlierVersions_Form(const QString &editorText, QWidget *parent)
    : QDialog(parent), FEditorText(editorText), FWorker(std::make_unique<TWorker>()),
      FClosing(std::make_shared<std::atomic<bool>>(false))
{
    SetupControls();
    FFill.setInterval(0);
    connect(&FFill, &QTimer::timeout, this, &TEarlierVersions_Form::FillSlice);
}

TEarlierVersions_Form::~TEarlierVersions_Form()
{
    *FClosing = true;
    if (FCancel)
        *FCancel = true;
    FWorker->WaitForDone();
}

void TEarlierVersions_Form::SetupControls()
{
    setObjectName(QStringLiteral("EarlierVersions_Form"));
    setWindowTitle(QStringLiteral("Earlier Versions"));
    resize(820, 600);

    Versions_List = new QTreeWidget(this);
    Versions_List->setObjectName(QStringLiteral("Versions_List"));
    Versions_List->setAccessibleName(QStringLiteral("Versions"));
    Versions_List->setRootIsDecorated(false);
    Versions_List->setUniformRowHeights(true);
    Versions_List->setAllColumnsShowFocus(true);
    Versions_List->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Why"),
                                    QStringLiteral("Words"), QStringLiteral("First changed line")});
    Versions_List->header()->setStretchLastSection(true);
    Versions_List->setColumnWidth(WhenColumn, 170);
    Versions_List->setColumnWidth(WhyColumn, 230);
    Versions_List->setColumnWidth(WordsColumn, 70);
    connect(Versions_List, &QTreeWidget::currentItemChanged, this,
            &TEarlierVersions_Form::VersionsListCurrentChange);

    Summary_Label = new QLabel(this);
    Summary_Label->setObjectName(QStringLiteral("Summary_Label"));
    Summary_Label->setWordWrap(true);

    Comparison_Memo = new QPlainTextEdit(this);
    Comparison_Memo->setObjectName(QStringLiteral("Comparison_Memo"));
    Comparison_Memo->setAccessibleName(QStringLiteral("Comparison"));
    Comparison_Memo->setReadOnly(true);
    Comparison_Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Comparison_Memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                             Qt::TextSelectableByMouse);

    SideBySide_Splitter = new QSplitter(Qt::Horizontal, this);
    SideBySide_Splitter->setObjectName(QStringLiteral("SideBySide_Splitter"));
    Older_Memo = new QPlainTextEdit(SideBySide_Splitter);
    Older_Memo->setObjectName(QStringLiteral("Older_Memo"));
    Older_Memo->setAccessibleName(QStringLiteral("Earlier version"));
    Newer_Memo = new QPlainTextEdit(SideBySide_Splitter);
    Newer_Memo->setObjectName(QStringLiteral("Newer_Memo"));
    Newer_Memo->setAccessibleName(QStringLiteral("Your text"));
    for (QPlainTextEdit *memo : {Older_Memo, Newer_Memo}) {
        memo->setReadOnly(true);
        memo->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    }
    SideBySide_Splitter->hide();

    auto *views = new QSplitter(Qt::Vertical, this);
    views->addWidget(Versions_List);
    auto *lower = new QWidget(views);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(Summary_Label);
    lowerLayout->addWidget(Comparison_Memo, 1);
    lowerLayout->addWidget(SideBySide_Splitter, 1);
    views->addWidget(lower);
    views->setStretchFactor(0, 1);
    views->setStretchFactor(1, 3);

    auto *buttons = new QDialogButtonBox(this);
    Restore_Button = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    Restore_Button->setObjectName(QStringLiteral("Restore_Button"));
    SaveAs_Button = buttons->addButton(QStringLiteral("Save &As..."), QDialogButtonBox::ActionRole);
    SaveAs_Button->setObjectName(QStringLiteral("SaveAs_Button"));
    Close_Button = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    Close_Button->setObjectName(QStringLiteral("Close_Button"));
    for (QPushButton *button : {Restore_Button, SaveAs_Button, Close_Button})
        button->setAutoDefault(false);
    connect(Restore_Button, &QPushButton::clicked, this,
            &TEarlierVersions_Form::Restore_ButtonClick);
    connect(SaveAs_Button, &QPushButton::clicked, this, &TEarlierVersions_Form::SaveAs_ButtonClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(views, 1);
    layout->addWidget(buttons);

    setTabOrder(Versions_List, Comparison_Memo);
    setTabOrder(Comparison_Memo, Restore_Button);
    Versions_List->setFocus();
    Restore_Button->setEnabled(false);
    SaveAs_Button->setEnabled(false);
}

qint64 TEarlierVersions_Form::ChangedWords(const TTextDiff &diff)
{
    qint64 words = 0;
    const auto countLine = [&words](const TDiffLine &line, bool paired) {
        // A paired line's changed words are its spans, none when the other
        // line only added to it or took from it; a line without a
        // counterpart went or came whole.
        if (!paired) {
            words += CountWords(line.Text.toUtf8());
            return;
        }
        for (const TDiffSpan &span : line.Changed)
            words += CountWords(line.Text.mid(span.Start, span.Length).toUtf8());
    };
    for (const TDiffHunk &hunk : diff.Hunks) {
        const QVector<TDiffLine> &lines = hunk.Lines;
        qsizetype at = 0;
        while (at < lines.size()) {
            if (lines[at].Kind == TDiffLine::TKind::Same) {
                ++at;
                continue;
            }
            // A run of removed lines, then the added lines that replace
            // them, paired in order.
            const qsizetype firstRemoved = at;
            while (at < lines.size() && lines[at].Kind == TDiffLine::TKind::Removed)
                ++at;
            const qsizetype firstAdded = at;
            while (at < lines.size() && lines[at].Kind == TDiffLine::TKind::Added)
                ++at;
            const qsizetype pairs = qMin(firstAdded - firstRemoved, at - firstAdded);
            for (qsizetype i = firstRemoved; i < firstAdded; ++i)
                countLine(lines[i], i - firstRemoved < pairs);
            for (qsizetype i = firstAdded; i < at; ++i)
                countLine(lines[i], i - firstAdded < pairs);
        }
    }
    return words;
}

QString TEarlierVersions_Form::WhenText(const QDateTime &time)
{
    return QLocale().toString(time.toLocalTime(), QStringLiteral("d MMMM yyyy HH:mm"));
}

void TEarlierVersions_Form::AddText(const QString &when, const QString &why, const QString &text)
{
    TRow row;
    row.Text = text;
    const int at = int(std::count_if(FRows.cbegin(), FRows.cend(),
                                     [](const TRow &other) { return !other.InHistory; }));
    FRows.insert(at, row);
    auto *item = new QTreeWidgetItem;
    item->setText(WhenColumn, when);
    item->setText(WhyColumn, why);
    // Its words and first changed line come from the worker, as a version's
    // line does: a long text takes a while to count.
    item->setData(WhenColumn, Qt::AccessibleTextRole, when + QStringLiteral(", ") + why);
    Versions_List->insertTopLevelItem(at, item);
}

void TEarlierVersions_Form::ListHistory(TTextDocument &document)
{
    FDocument = &document;
    document.ListVersions(this,
                          [this](const QVector<TVersion> &versions) { ShowVersions(versions); });
}

void TEarlierVersions_Form::ShowVersions(const QVector<TVersion> &versions)
{
    QList<QTreeWidgetItem *> items;
    items.reserve(versions.size());
    // Many versions share a day: its name is made once (as WhenText).
    const QLocale locale;
    TLocalTimes times;
    QDate day;
    QString dayText;
    FRows.reserve(FRows.size() + versions.size());
    for (const TVersion &version : versions) {
        TRow row;
        row.InHistory = true;
        row.Version = version;
        FRows.append(row);
        auto *item = new QTreeWidgetItem;
        const QDateTime local = times.Local(version.Time);
        if (local.date() != day) {
            day = local.date();
            dayText = locale.toString(day, QStringLiteral("d MMMM yyyy "));
        }
        const QString when = dayText + locale.toString(local.time(), QStringLiteral("HH:mm"));
        const QString why = VersionReasonText(version.Reason);
        item->setText(WhenColumn, when);
        item->setText(WhyColumn, why);
        item->setText(WordsColumn, QLocale().toString(version.Words));
        item->setData(WhenColumn, Qt::AccessibleTextRole, when + QStringLiteral(", ") + why);
        items.append(item);
    }
    Versions_List->addTopLevelItems(items);
    FListed = true;
    if (versions.isEmpty() && FRows.isEmpty())
        Summary_Label->setText(QStringLiteral("No earlier version of your text is kept yet."));
    if (!Versions_List->currentItem())
        SelectVersion(FWanted);
    Q_EMIT VersionsListed();
    // After the first comparison, which is asked for already.
    QMetaObject::invokeMethod(
        this, [this] { FindFirstChangedLines(); }, Qt::QueuedConnection);
}

void TEarlierVersions_Form::FindFirstChangedLines(int index)
{
    // One row at a time, newest first: read (a version on the document's
    // worker), then compared on this window's worker; the next once the
    // last is done, so that a comparison asked for meanwhile waits for one
    // version at most.
    if (index >= FRows.size())
        return;
    const TRow row = FRows[index];
    ReadRow(row, [this, row, index](bool read, const QString &text) {
        QPointer<TEarlierVersions_Form> form(this);
        const std::shared_ptr<std::atomic<bool>> closing = FClosing;
        FWorker->Post([this, form, closing, row, index, read, text] {
            if (*closing)
                return;
            QString line;
            qint64 words = -1;
            if (read) {
                // A version is the earlier text, a text added the later one.
                line = row.InHistory ? FirstChangedLine(text, FEditorText)
                                     : FirstChangedLine(FEditorText, text);
                if (!row.InHistory)
                    words = CountWords(text.toUtf8());
            }
            QMetaObject::invokeMethod(qApp, [form, index, line, words] {
                if (!form)
                    return;
                if (QTreeWidgetItem *item = form->Versions_List->topLevelItem(index)) {
                    item->setText(FirstLineColumn, line);
                    if (words >= 0)
                        item->setText(WordsColumn, QLocale().toString(words));
                }
                form->FindFirstChangedLines(index + 1);
            });
        });
    });
}

void TEarlierVersions_Form::ReadRow(const TRow &row,
                                    std::function<void(bool, const QString &)> done)
{
    if (!row.InHistory) {
        done(true, row.Text);
        return;
    }
    if (!FDocument) {
        done(false, QString());
        return;
    }
    FDocument->ReadVersion(row.Version, this, [done](bool read, const QByteArray &bytes) {
        TTextFileContent content;
        if (read)
            DecodeTextFile(bytes, content);
        done(read, content.Text);
    });
}

void TEarlierVersions_Form::SelectVersion(const QByteArray &digest)
{
    // A version of the history is chosen once the versions are listed.
    FWanted = digest;
    if (!FListed && (!digest.isEmpty() || FRows.isEmpty()))
        return;
    int chosen = 0;
    for (int index = 0; index < FRows.size(); ++index) {
        if (!digest.isEmpty() && FRows[index].InHistory && FRows[index].Version.Digest == digest) {
            chosen = index;
            break;
        }
    }
    if (QTreeWidgetItem *item = Versions_List->topLevelItem(chosen))
        Versions_List->setCurrentItem(item);
}

const TEarlierVersions_Form::TRow *TEarlierVersions_Form::ChosenRow() const
{
    const int index = Versions_List->indexOfTopLevelItem(Versions_List->currentItem());
    return index >= 0 && index < FRows.size() ? &FRows[index] : nullptr;
}

void TEarlierVersions_Form::VersionsListCurrentChange()
{
    const TRow *row = ChosenRow();
    Restore_Button->setEnabled(row && row->InHistory);
    SaveAs_Button->setEnabled(row && row->InHistory);
    if (row)
        Compare(*row);
}

bool TEarlierVersions_Form::ReadVersion(const TRow &row, QString &text, QByteArray *bytes) const
{
    if (!row.InHistory) {
        text = row.Text;
        return true;
    }
    QByteArray read;
    if (!FDocument || !FDocument->ReadVersion(row.Version, read))
        return false;
    TTextFileContent content;
    DecodeTextFile(read, content);
    text = std::move(content.Text);
    if (bytes)
        *bytes = std::move(read);
    return true;
}

void TEarlierVersions_Form::Compare(const TRow &row)
{
    if (FCancel)
        *FCancel = true;
    FCancel = std::make_shared<std::atomic<bool>>(false);
    FFill.stop();
    FPieces.clear();
    FReady = false;
    Comparison_Memo->clear();
    Older_Memo->clear();
    Newer_Memo->clear();
    Summary_Label->setText(QStringLiteral("Comparing with your text..."));
    const QString why = Versions_List->currentItem()->text(WhyColumn);
    Older_Memo->setAccessibleName(row.InHistory ? QStringLiteral("Earlier version: ") + why
                                                : QStringLiteral("Your text"));
    Newer_Memo->setAccessibleName(row.InHistory ? QStringLiteral("Your text") : why);

    const std::shared_ptr<std::atomic<bool>> cancel = FCancel;
    ReadRow(row, [this, cancel, row](bool read, const QString &text) {
        if (*cancel)
            return;
        if (!read) {
            Summary_Label->setText(QStringLiteral("I cannot read this version."));
            return;
        }
        CompareText(row, text);
    });
}

void TEarlierVersions_Form::CompareText(const TRow &row, const QString &text)
{
    QPointer<TEarlierVersions_Form> form(this);
    const std::shared_ptr<std::atomic<bool>> cancel = FCancel;
    FWorker->Post([this, form, cancel, row, text] {
        if (*cancel)
            return;
        // A version is earlier than the editor's text; a text added is
        // compared as the later one.
        QString older = row.InHistory ? text : FEditorText;
        QString newer = row.InHistory ? FEditorText : text;
        TTextDiff diff = DiffTexts(older, newer, 3, cancel.get());
        QMetaObject::invokeMethod(qApp, [form, cancel, diff = std::move(diff),
                                         older = std::move(older), newer = std::move(newer)] {
            if (form && !*cancel)
                form->ShowComparison(diff, older, newer);
        });
    });
}

void TEarlierVersions_Form::ShowComparison(const TTextDiff &diff, const QString &older,
                                           const QString &newer)
{
    FShown = diff;
    const QString summary = diff.Summary();
    Summary_Label->setText(summary);
    Comparison_Memo->setAccessibleDescription(summary);

    const QPalette palette = Comparison_Memo->palette();
    const QColor base = palette.color(QPalette::Base);
    QTextCharFormat same;
    QTextCharFormat removed;
    removed.setBackground(Blend(base, QColor(220, 40, 40), 0.25));
    QTextCharFormat added;
    added.setBackground(Blend(base, QColor(40, 170, 60), 0.25));
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);

    FPieces.clear();
    FNextPiece = 0;
    const bool sideBySide = !diff.Compared;
    Comparison_Memo->setVisible(!sideBySide);
    SideBySide_Splitter->setVisible(sideBySide);
    if (sideBySide) {
        FPieces.append({Older_Memo, older, same});
        FPieces.append({Newer_Memo, newer, same});
    }
    for (const TDiffHunk &hunk : diff.Hunks) {
        // Where the change is, as a line of its own that a screen reader
        // reads: the line of the later text where it starts.
        int number = 1;
        for (const TDiffLine &line : hunk.Lines) {
            if (line.Kind != TDiffLine::TKind::Same) {
                if (line.Kind == TDiffLine::TKind::Added)
                    number = line.NewNumber;
                break;
            }
            number = line.NewNumber + 1;
        }
        FPieces.append({Comparison_Memo,
                        (FPieces.isEmpty() ? QString() : QStringLiteral("\n")) +
                            QStringLiteral("Line %1:\n").arg(number),
                        heading});
        for (const TDiffLine &line : hunk.Lines) {
            // The sign says what the colour says: "-" went, "+" came.
            QTextCharFormat format = same;
            QString sign = QStringLiteral("  ");
            if (line.Kind == TDiffLine::TKind::Removed) {
                format = removed;
                sign = QStringLiteral("- ");
            } else if (line.Kind == TDiffLine::TKind::Added) {
                format = added;
                sign = QStringLiteral("+ ");
            }
            FPieces.append({Comparison_Memo, sign, format});
            // Changed words are underlined and bold as well as coloured.
            QTextCharFormat words = format;
            words.setFontUnderline(true);
            words.setFontWeight(QFont::Bold);
            words.setBackground(line.Kind == TDiffLine::TKind::Removed
                                    ? Blend(base, QColor(220, 40, 40), 0.5)
                                    : Blend(base, QColor(40, 170, 60), 0.5));
            int at = 0;
            for (const TDiffSpan &span : line.Changed) {
                if (span.Start > at)
                    FPieces.append({Comparison_Memo, line.Text.mid(at, span.Start - at), format});
                FPieces.append({Comparison_Memo, line.Text.mid(span.Start, span.Length), words});
                at = span.Start + span.Length;
            }
            FPieces.append({Comparison_Memo, line.Text.mid(at) + QLatin1Char('\n'), format});
        }
    }
    FillSlice();
}

void TEarlierVersions_Form::FillSlice()
{
    qsizetype budget = FillSliceCharacters;
    QPlainTextEdit *view = nullptr;
    QTextCursor cursor;
    while (FNextPiece < FPieces.size() && budget > 0) {
        TPiece &piece = FPieces[FNextPiece];
        if (piece.View != view) {
            if (view)
                cursor.endEditBlock();
            view = piece.View;
            cursor = QTextCursor(view->document());
            cursor.movePosition(QTextCursor::End);
            cursor.beginEditBlock();
        }
        // A long piece (a whole text side by side) goes in slices too, each
        // taken from where the last ended.
        const qsizetype take = qMin(piece.Text.size() - piece.Done, budget);
        cursor.insertText(piece.Text.mid(piece.Done, take), piece.Format);
        piece.Done += take;
        budget -= take;
        if (piece.Done == piece.Text.size())
            ++FNextPiece;
    }
    if (view)
        cursor.endEditBlock();
    if (FNextPiece < FPieces.size()) {
        FFill.start();
        return;
    }
    FFill.stop();
    FPieces.clear();
    for (QPlainTextEdit *memo : {Comparison_Memo, Older_Memo, Newer_Memo})
        memo->moveCursor(QTextCursor::Start);
    FReady = true;
    Q_EMIT ComparisonShown();
}

void TEarlierVersions_Form::Restore_ButtonClick()
{
    const TRow *row = ChosenRow();
    QString text;
    if (!row || !row->InHistory)
        return;
    if (!ReadVersion(*row, text)) {
        ShowMessage(QStringLiteral("I cannot read this version."));
        return;
    }
    Q_EMIT RestoreRequested(text);
    accept();
}

void TEarlierVersions_Form::SaveAs_ButtonClick()
{
    const TRow *row = ChosenRow();
    if (!row || !row->InHistory)
        return;
    QString text;
    QByteArray bytes;
    if (!ReadVersion(*row, text, &bytes)) {
        ShowMessage(QStringLiteral("I cannot read this version."));
        return;
    }
    TFileChooserOptions options;
    options.Title = QStringLiteral("Save As");
    options.Filter = QStringLiteral("*.txt (*)");
    options.ConfirmOverwrite = true;
    const auto refuse = [](const QString &refusal) { ShowMessage(refusal); };
    do {
        if (!Prompts().ChooseSaveFile(options))
            return;
    } while (!IsUsableFile(options.FileName, refuse));
    const QString target = options.FileName;
    // What the chosen file held is kept first, as for the writer's own Save
    // As, so that no text goes for a version saved over it; a new file is as
    // private as the primary file the version came from. On the document's
    // worker, in order with its other writes.
    const int permissions = FilePermissions(FDocument->PrimaryFile());
    switch (FDocument->WriteVersionAs(target, bytes, permissions >= 0 ? permissions : 0600)) {
    case TSaveResult::Saved:
        return;
    case TSaveResult::NotKept:
    case TSaveResult::Unreadable:
        ShowMessage(Message::CannotKeep);
        return;
    default:
        ShowMessage(Message::CannotSaveText);
        return;
    }
}
