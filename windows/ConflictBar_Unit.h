// The bar above the writer's text that tells of a primary file another
// program changed while the text held unsaved changes, shows the difference
// and offers the three ways out; of a file that cannot be read, so is not written over; and of
// what was read again or kept. Its buttons never take the keyboard and none
// is a default: the writer is typing when it appears, and no keystroke may
// choose for them.
#pragma once

#include <QFrame>
#include <QMap>

class QLabel;
class QPushButton;

class TConflictBar : public QFrame
{
    Q_OBJECT

public:
    explicit TConflictBar(QWidget *parent = nullptr);

    // Shows the bar with its question: the primary file holds a version the
    // writer's unsaved text did not grow from.
    enum class TChange
    {
        ChangedOutside, // another program changed it
        UnreadBefore    // it could not be read before
    };
    void ShowChanged(TChange change);
    // The files that cannot be read, and so are not written over.
    struct TFiles
    {
        bool Primary = false;
        bool Backup = false;
    };
    // Shows that they are not written over; Save As for the primary file.
    void ShowUnreadable(TFiles files);
    // Hides the question, if it shows.
    void HideConflict();
    // Shows a notice below any question, until the next keystroke hides it
    // (HideNotice); with offerVersions, a button opens Earlier Versions at
    // the version the notice names.
    void ShowNotice(const QString &text, bool offerVersions = false);
    void HideNotice();
    // What goes wrong for a while (the history or the recovery copy cannot
    // be written): shown from when it begins until it ends, below the
    // notice, once; Dismiss hides what shows until another one begins.
    enum class TProblem
    {
        History,
        HistoryFull,
        Recovery
    };
    // Empty text: the problem is over.
    void SetProblem(TProblem problem, const QString &text);
    bool ShowsProblem() const;

    QLabel *Message_Label = nullptr;
    QLabel *Notice_Label = nullptr;
    QLabel *Problem_Label = nullptr;
    QPushButton *Dismiss_Button = nullptr;
    QPushButton *KeepMine_Button = nullptr;
    QPushButton *TakeFile_Button = nullptr;
    QPushButton *SaveAs_Button = nullptr;
    QPushButton *Compare_Button = nullptr;
    QPushButton *Versions_Button = nullptr;

private:
    void LayOut();
    void ShowQuestion(const QString &text, const QString &name);
    // Shows or hides the bar as its parts ask, and tells screen readers
    // what it says.
    void Update();

    QString FQuestionName;
    QMap<TProblem, QString> FProblems;
    bool FProblemsDismissed = false;

Q_SIGNALS:
    void KeepMineClicked();
    void TakeFileClicked();
    void SaveAsClicked();
    void CompareClicked();
    void VersionsClicked();
};
