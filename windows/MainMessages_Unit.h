// The texts the main window shows the writer, each exactly as the writer
// reads it.
#pragma once

#include "storage/SuggestionStore_Unit.h"
#include "windows/Prompts_Unit.h"

#include <QString>

namespace Message {
inline const QString ConfigurationLoad =
    QStringLiteral("I am not able to load your configuration.");
inline const QString ConfigurationSave =
    QStringLiteral("I was not able to save your configuration.\rMaybe the file has been made "
                   "read only?");
inline const QString CannotSaveText = QStringLiteral("I cannot save your text!");
inline const QString CannotSaveBackup =
    QStringLiteral("I cannot save your text to the Backup file!");
inline const QString PrimaryFileSet = QStringLiteral("Your primary file has been set to ");
inline const QString CannotOpenSelected = QStringLiteral("I can not open the file you selected!");
inline const QString CannotOpenPrimary = QStringLiteral("I can not open the primary file!");
inline const QString ReadAgain =
    QStringLiteral("Another program changed your primary file, so I have read it again. ");
inline const QString EarlierTextKept =
    QStringLiteral("Your earlier text is kept in Earlier Versions, and Ctrl+Z brings it back.");
inline const QString UndoBringsItBack = QStringLiteral("Ctrl+Z brings your earlier text back.");
inline const QString TakeRecovered =
    QStringLiteral("Your last words were not saved when I stopped. Do you want them back?");
inline const QString NewerAtRecovery =
    QStringLiteral("Your primary file has changed since then. I have kept its newer version in "
                   "Earlier Versions.");
inline const QString TextKept = QStringLiteral("Your text is kept in Earlier Versions.");
inline const QString OtherVersionKept =
    QStringLiteral("The other program's version of your primary file is kept in Earlier "
                   "Versions.");
inline const QString UnreadVersionKept =
    QStringLiteral("The text your primary file held when I could not read it is kept in "
                   "Earlier Versions.");
inline const QString ReplacedFileKept =
    QStringLiteral("The text the file held before is kept in Earlier Versions.");
inline const QString BackupVersionKept =
    QStringLiteral("Another program changed your backup file. Its version is kept in Earlier "
                   "Versions.");
inline const QString BackupFoundKept =
    QStringLiteral("Your backup file held a text I had not seen. It is kept in Earlier Versions.");
inline const QString CannotKeep =
    QStringLiteral("I cannot keep a version of your text in Earlier Versions, so I have not "
                   "written over it. I will try again.");
inline const QString HistoryFailing =
    QStringLiteral("I cannot keep versions of your text in Earlier Versions just now. I go on "
                   "saving your text, but not over a text that is nowhere else. I will try "
                   "again.");
inline const QString CannotKeepYours =
    QStringLiteral("I cannot keep your text in Earlier Versions, so I have not taken the file's.");
inline const QString CannotKeepRestore =
    QStringLiteral("I cannot keep your text in Earlier Versions, so I have not restored the "
                   "earlier one.");
inline const QString HistoryFull =
    QStringLiteral("Earlier Versions has reached its size limit, and all it still holds are texts "
                   "of the last 30 days that I keep for you. I go on keeping new ones.");
inline const QString HistorySetAside =
    QStringLiteral("The database of Earlier Versions was damaged. I have set it aside, whole, as "
                   "%1 and begun a new one.");
inline const QString SaveAsNotKept =
    QStringLiteral("I cannot keep what %1 holds in Earlier Versions, so I have not saved over it. "
                   "Your primary file is still %2.");
inline const QString RecoveryFailing =
    QStringLiteral("I cannot keep a recovery copy of your unsaved words. If I stop now, they "
                   "may be lost. I will keep trying.");
inline const QString SaveChanges = QStringLiteral("Do you want to save your changes?");
// %1: a Debian package that brings a dictionary for the writer's language.
inline const QString NoDictionary =
    QStringLiteral("No spelling dictionary is installed. Install one, such as %1 "
                   "(sudo apt install %1), and start Nudger again.");
inline const QString NoMisspelling = QStringLiteral("No misspelled words.");
inline const QString DictionaryLoading = QStringLiteral("The dictionary is still loading.");
inline const QString SelectPrimary =
    QStringLiteral("You must select a primary file to save your text to.");
inline const QString RetryOrAbort =
    QStringLiteral("Choose Retry to enter a valid primary file, or Abort to exit the application.");
// By TSuggestionFault.
inline const QString SuggestionFaults[] = {
    QStringLiteral("I can not load my suggestions file!"),
    QStringLiteral("No user suggestions file selected.  Use suggestions will not be loaded."),
    QStringLiteral("The user suggestion file can not be found."),
    QStringLiteral(
        "I can not load your user suggestions file!  Please verify that it is correct.")};
static_assert(sizeof SuggestionFaults / sizeof SuggestionFaults[0] == SuggestionFaultCount);
} // namespace Message

// The plain message box, for these texts and for the refusals the checks of
// chosen files give.
inline void ShowMessage(const QString &text)
{
    Prompts().ShowMessage(text);
}
