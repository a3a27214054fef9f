// The Earlier Versions window: the versions of the writer's text that the
// primary file's history keeps, newest first, each compared with the
// editor's text; Restore puts one back in the editor, Save As writes it to a
// file. The rows come from the history's index alone, so the window opens at
// once; the chosen version is read and compared on the window's own worker
// thread, and the rows' first changed lines are found there one at a time
// after it. The window never waits for either.
//
// The same window shows a text the history does not hold (the recovered
// words at start, another program's version of the file) against the
// editor's: a row of its own, which can only be compared.
#pragma once

#include "storage/History_Unit.h"
#include "storage/TextDiff_Unit.h"
#include "storage/TextDocument_Unit.h"

#include <QDialog>
#include <QTextCharFormat>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TWorker;

class TEarlierVersions_Form : public QDialog
{
    Q_OBJECT

public:
    // editorText: the text every row is compared with, lines joined by '\n'.
    explicit TEarlierVersions_Form(const QString &editorText, QWidget *parent = nullptr);
    ~TEarlierVersions_Form() override;

    // Lists the versions the document's history keeps, newest first, after
    // any text added; they come from the document's worker, and are shown
    // once they are there. The document must outlive the window.
    void ListHistory(TTextDocument &document);
    // Whether the versions are listed (a chosen version is shown once they
    // are).
    bool Listed() const { return FListed; }
    // A row, above the versions, for a text the history does not hold; the
    // editor's text is the earlier one in its comparison.
    void AddText(const QString &when, const QString &why, const QString &text);
    // Chooses the row of the version with that digest, or else the first.
    void SelectVersion(const QByteArray &digest = QByteArray());

    // The comparison on show, once its text is all in the view.
    const TTextDiff &Comparison() const { return FShown; }
    bool ComparisonReady() const { return FReady; }

    // "10 December 2026 06:30": a version's local date and time.
    static QString WhenText(const QDateTime &time);
    // The words in the lines a comparison marks: the changed runs of paired
    // lines, and the whole of lines that went or came.
    static qint64 ChangedWords(const TTextDiff &diff);

    QTreeWidget *Versions_List = nullptr;
    QLabel *Summary_Label = nullptr;
    QPlainTextEdit *Comparison_Memo = nullptr;
    QSplitter *SideBySide_Splitter = nullptr;
    QPlainTextEdit *Older_Memo = nullptr;
    QPlainTextEdit *Newer_Memo = nullptr;
    QPushButton *Restore_Button = nullptr;
    QPushButton *SaveAs_Button = nullptr;
    QPushButton *Close_Button = nullptr;

Q_SIGNALS:
    // Restore: the chosen version's text should replace the editor's.
    void RestoreRequested(const QString &text);
    // The history's versions are in the list.
    void VersionsListed();
    // The comparison of the chosen row is all on show.
    void ComparisonShown();

private:
    struct TRow
    {
        bool InHistory = false;
        TVersion Version;
        QString Text; // a row not in the history
    };
    // A run of text for the views, with its look, and how much of it is in
    // its view already.
    struct TPiece
    {
        QPlainTextEdit *View = nullptr;
        QString Text;
        QTextCharFormat Format;
        qsizetype Done = 0;
    };

    void SetupControls();
    void ShowVersions(const QVector<TVersion> &versions);
    const TRow *ChosenRow() const;
    void VersionsListCurrentChange();
    void Compare(const TRow &row);
    void CompareText(const TRow &row, const QString &text);
    // The row's text, from the document's worker for a version; done gets
    // it on this thread (false: it cannot be read).
    void ReadRow(const TRow &row, std::function<void(bool, const QString &)> done);
    void ShowComparison(const TTextDiff &diff, const QString &older, const QString &newer);
    // Fills the views a slice at a time between events.
    void FillSlice();
    // The first changed line of each row from index on (and the words of
    // a text added).
    void FindFirstChangedLines(int index = 0);
    void Restore_ButtonClick();
    void SaveAs_ButtonClick();
    // A version's text, read and decoded, waiting for the document's
    // worker; false when it cannot be read.
    bool ReadVersion(const TRow &row, QString &text, QByteArray *bytes = nullptr) const;

    const QString FEditorText;
    TTextDocument *FDocument = nullptr;
    bool FListed = false;
    QByteArray FWanted; // the digest of the version to choose once listed
    QVector<TRow> FRows;
    std::unique_ptr<TWorker> FWorker;
    // Set to stop the comparison on the worker when another row is chosen.
    std::shared_ptr<std::atomic<bool>> FCancel;
    std::shared_ptr<std::atomic<bool>> FClosing;
    TTextDiff FShown;
    bool FReady = false;
    QVector<TPiece> FPieces;
    qsizetype FNextPiece = 0;
    QTimer FFill;
};
