// The file rows of the two settings dialogs: a caption, a Browse button and a
// read-only file name box, which the writer fills only through a chooser. The
// same clicks and keys open it in both dialogs, and both ask until the chosen
// name is one Nudger may use.
#pragma once

#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// What tells one file row from another: the controls' object names and texts.
struct TFileRowNames
{
    const char *LabelName;
    QString Caption; // the label's text and the box's accessible name
    const char *BrowseButtonName;
    QString BrowseAccessibleName;
    const char *EditName;
    QString Hint; // the box's tool tip and accessible description
};

// Builds a file row's controls on parent, in the order label, Browse button,
// box, and leaves their layout to the dialog. The label is the box's buddy.
// The Browse button, and a left click or double click on the box, run
// onBrowse; a key that would edit the box (one that types a character,
// Backspace, Delete) runs onKey instead; keys that move the focus or the
// cursor, close the dialog or only modify others keep their usual meaning.
void NewFileRow(QWidget *parent, const TFileRowNames &names, QLabel *&label,
                QPushButton *&browseButton, QLineEdit *&edit, const std::function<void()> &onBrowse,
                std::function<void()> onKey);

// Runs the dialogs' save-style chooser for text files, titled title and
// starting at fileName, until the writer picks a name IsUsableFile accepts
// (true, with fileName set to it) or cancels (false, fileName unchanged). A
// refused name is where the next chooser starts.
bool ChooseUsableFile(const QString &title, QString &fileName);
