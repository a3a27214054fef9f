// The About window: product, version, copyright and the project's web
// address.
#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

class TAbout_Form : public QDialog
{
    Q_OBJECT
public:
    explicit TAbout_Form(QWidget *parent = nullptr);

    QFrame *Main_Panel = nullptr;
    QLabel *ProgramIcon_Image = nullptr;
    QLabel *ProductName_Label = nullptr;
    QLabel *ProductVersion_Label = nullptr;
    QLabel *Copyright_Label = nullptr;
    QLabel *Message1_Label = nullptr;
    QLabel *Message2_Label = nullptr;
    QPushButton *Close_Button = nullptr;

    static QString WebAddress();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void Message2_LabelClick();
};

// Shows the About window modally and destroys it when it closes.
void ShowAboutWindow();

// Hands address to the desktop's opener as a command line, asking for a
// maximised window. Returns whether the command could be started.
bool OpenWebAddress(const QString &address);
