#include "windows/Prompts_Unit.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QPushButton>

namespace {

TPrompts *&InstalledPrompts()
{
    static TPrompts *prompts = nullptr;
    return prompts;
}

QWidget *DialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::StandardButton RunBox(QMessageBox::Icon icon, const QString &title,
                                   const QString &text, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, DialogParent());
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    const int result = box.exec();
    const auto button = static_cast<QMessageBox::StandardButton>(result);
    if (buttons.testFlag(button))
        return button;
    return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
}

bool RunFileDialog(TFileChooserOptions &options, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(DialogParent(), options.Title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.ConfirmOverwrite);
    if (!options.Filter.isEmpty())
        dialog.setNameFilter(options.Filter);
    if (!options.DefaultSuffix.isEmpty())
        dialog.setDefaultSuffix(options.DefaultSuffix);
    if (!options.FileName.isEmpty())
        dialog.selectFile(options.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    options.FileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    return true;
}

} // namespace

TPrompts &Prompts()
{
    static TQtPrompts qtPrompts;
    TPrompts *installed = InstalledPrompts();
    return installed ? *installed : qtPrompts;
}

void SetPrompts(TPrompts *prompts)
{
    InstalledPrompts() = prompts;
}

void TQtPrompts::ShowMessage(const QString &text)
{
    RunBox(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
           QMessageBox::Ok);
}

void TQtPrompts::ShowInformation(const QString &text)
{
    RunBox(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
           QMessageBox::Ok);
}

QMessageBox::StandardButton TQtPrompts::ShowError(const QString &text)
{
    const auto answer = RunBox(QMessageBox::Critical, QStringLiteral("Error"), text,
                               QMessageBox::Retry | QMessageBox::Abort, QMessageBox::Retry);
    // Closing the box counts as Abort, as the box has no Cancel.
    return answer == QMessageBox::Retry ? QMessageBox::Retry : QMessageBox::Abort;
}

QMessageBox::StandardButton TQtPrompts::Confirm(const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return RunBox(QMessageBox::Question, QStringLiteral("Confirm"), text, buttons, defaultButton);
}

QMessageBox::StandardButton TQtPrompts::ConfirmWithCompare(const QString &text,
                                                           const QString &details,
                                                           const std::function<void()> &compare)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    box.setInformativeText(details);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    QPushButton *compareButton = box.addButton(QStringLiteral("&Compare"), QMessageBox::ActionRole);
    // Compare shows the words, and the question comes back.
    for (;;) {
        const int result = box.exec();
        if (box.clickedButton() != compareButton)
            return result == QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::No;
        compare();
    }
}

bool TQtPrompts::ChooseOpenFile(TFileChooserOptions &options)
{
    return RunFileDialog(options, QFileDialog::AcceptOpen);
}

bool TQtPrompts::ChooseSaveFile(TFileChooserOptions &options)
{
    return RunFileDialog(options, QFileDialog::AcceptSave);
}

bool TQtPrompts::ChooseFont(QFont &font)
{
    bool accepted = false;
    const QFont chosen = QFontDialog::getFont(&accepted, font, DialogParent());
    if (accepted)
        font = chosen;
    return accepted;
}
