// The read-only file name boxes of the two settings dialogs, which the writer
// fills only through a chooser: the same clicks and keys open it in both, and
// both ask until the chosen name is one Nudger may use.
#pragma once

#include <functional>

class QLineEdit;
class QString;

// From now on a left click or double click on the box runs onClick, and a key
// that would edit it (one that types a character, Backspace, Delete) runs
// onKey instead; keys that move the focus or the cursor, close the dialog or
// only modify others keep their usual meaning.
void OpenChooserFromFileBox(QLineEdit *box, std::function<void()> onKey,
                            std::function<void()> onClick);

// Runs the dialogs' save-style chooser for text files, titled title and
// starting at fileName, until the writer picks a name IsUsableFile accepts
// (true, with fileName set to it) or cancels (false, fileName unchanged). A
// refused name is where the next chooser starts.
bool ChooseUsableFile(const QString &title, QString &fileName);
