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

    // Shows the bar for the files that changed outside, or hides it when
    // neither did.
    void ShowFor(bool primary, bool backup);

    QLabel *Message_Label = nullptr;
    QPushButton *KeepMine_Button = nullptr;
    QPushButton *TakeFile_Button = nullptr;
    QPushButton *SaveAs_Button = nullptr;

Q_SIGNALS:
    void KeepMineClicked();
    void TakeFileClicked();
    void SaveAsClicked();
};
