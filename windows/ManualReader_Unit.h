// The Manual window: shows "Manual.html" from the start directory.
#pragma once

#include <QDialog>

class QPushButton;
class QTextBrowser;

class TManualReader_Form : public QDialog
{
    Q_OBJECT
public:
    explicit TManualReader_Form(QWidget *parent = nullptr);

    QTextBrowser *Manual_TextBrowser = nullptr;
    QPushButton *Close_Button = nullptr;
    // Whether the manual was found and loaded when the window was made.
    bool ManualExists = false;

    static QString ManualPath();

private:
    void FormCreate();
};

// Shows the manual modally, or the message "The manual is missing!" when it
// cannot be shown.
void ShowManualWindow();
