// The bar above the writer's text that tells of a file another program
// changed while the text held unsaved changes, and offers the three ways
// out. Its buttons never take the keyboard and none is a default: the writer
// is typing when it appears, and no keystroke may choose for them.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

class TConflictBar : public QFrame
{
    Q_OBJECT

public:
    explicit TConflictBar(QWidget *parent = nullptr);

    // The files another program changed.
    struct TFiles
    {
        bool Primary = false;
        bool Backup = false;
    };
    // Shows the bar with its question for the files that changed outside.
    void ShowFor(TFiles files);
    // Hides the question, if it shows.
    void HideConflict();
    // Shows a notice, without buttons, until the next keystroke hides it
    // (HideNotice) or a question takes its place.
    void ShowNotice(const QString &text);
    void HideNotice();

    QLabel *Message_Label = nullptr;
    QPushButton *KeepMine_Button = nullptr;
    QPushButton *TakeFile_Button = nullptr;
    QPushButton *SaveAs_Button = nullptr;

private:
    void ShowText(const QString &text, const QString &name);

    bool FNotice = false;

Q_SIGNALS:
    void KeepMineClicked();
    void TakeFileClicked();
    void SaveAsClicked();
};
