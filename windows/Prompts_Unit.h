// Every question Nudger asks the writer goes through TPrompts: message boxes,
// file choosers and the font chooser. The Qt implementation shows the real
// dialogs; tests install a scripted double.
#pragma once

#include <QFont>
#include <QMessageBox>
#include <QString>

#include <functional>

struct TFileChooserOptions
{
    QString Title;
    QString FileName;      // in: the name shown at the start; out: the chosen name
    QString Filter;        // Qt filter text, for example "Text files (*.txt)"
    QString DefaultSuffix; // without the dot
    bool ConfirmOverwrite = false;
};

class TPrompts
{
public:
    virtual ~TPrompts() = default;

    // Plain box: the application title, no icon, OK.
    virtual void ShowMessage(const QString &text) = 0;
    // "Information", information icon, OK.
    virtual void ShowInformation(const QString &text) = 0;
    // "Error", error icon, Retry (the default) and Abort. Returns the button.
    virtual QMessageBox::StandardButton ShowError(const QString &text) = 0;
    // "Confirm", question icon, the given buttons in the toolkit's order.
    // Closing the box without a button returns Cancel when offered, else No.
    virtual QMessageBox::StandardButton
    Confirm(const QString &text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;

    // "Confirm" with Yes (the default) and No, and Compare, which runs
    // compare and leaves the question open for the answer; details below
    // the question.
    virtual QMessageBox::StandardButton
    ConfirmWithCompare(const QString &text, const QString &details,
                       const std::function<void()> &compare) = 0;

    // File choosers: true with options.FileName set when a name was chosen.
    virtual bool ChooseOpenFile(TFileChooserOptions &options) = 0;
    virtual bool ChooseSaveFile(TFileChooserOptions &options) = 0;
    // Font chooser opening at font; true with font set when one was chosen.
    virtual bool ChooseFont(QFont &font) = 0;
};

// The prompts in use. SetPrompts(nullptr) restores the Qt implementation.
TPrompts &Prompts();
void SetPrompts(TPrompts *prompts);

class TQtPrompts : public TPrompts
{
public:
    void ShowMessage(const QString &text) override;
    void ShowInformation(const QString &text) override;
    QMessageBox::StandardButton ShowError(const QString &text) override;
    QMessageBox::StandardButton Confirm(const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QMessageBox::StandardButton ConfirmWithCompare(const QString &text, const QString &details,
                                                   const std::function<void()> &compare) override;
    bool ChooseOpenFile(TFileChooserOptions &options) override;
    bool ChooseSaveFile(TFileChooserOptions &options) override;
    bool ChooseFont(QFont &font) override;
};
