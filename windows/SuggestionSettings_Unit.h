// The suggestion settings dialog: suggestion sources, random order, and the
// editor for the user suggestions file.
#pragma once

#include "storage/SuggestionStore_Unit.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

inline constexpr char DefaultUserSuggestionsFile[] = "user_suggestions.txt";

class TSuggestionSettings_Form : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(bool UseTovrinSuggestions READ UseTovrinSuggestions WRITE SetUseTovrinSuggestions)
    Q_PROPERTY(
        bool UseUserSuggestionsFile READ UseUserSuggestionsFile WRITE SetUseUserSuggestionsFile)
    Q_PROPERTY(bool RandomizeSuggestions READ RandomizeSuggestions WRITE SetRandomizeSuggestions)
    Q_PROPERTY(QString UserSuggestionsFile READ UserSuggestionsFile WRITE SetUserSuggestionsFile)
    Q_PROPERTY(
        bool UserSuggestionsChanged READ UserSuggestionsChanged WRITE SetUserSuggestionsChanged)

public:
    explicit TSuggestionSettings_Form(QWidget *parent = nullptr);

    bool UseTovrinSuggestions() const;
    void SetUseTovrinSuggestions(bool value);
    bool UseUserSuggestionsFile() const;
    // Also enables or disables the user file controls.
    void SetUseUserSuggestionsFile(bool value);
    bool RandomizeSuggestions() const;
    void SetRandomizeSuggestions(bool value);
    QString UserSuggestionsFile() const;
    // Shows the name and, when such a file exists, reads it into the editor.
    void SetUserSuggestionsFile(const QString &fileName);
    // True while the editor differs from what was last read or written.
    bool UserSuggestionsChanged() const { return FUserSuggestionsChanged; }
    void SetUserSuggestionsChanged(bool value) { FUserSuggestionsChanged = value; }

    void EnableUserSuggestionControls(bool enabled);
    bool SaveUserSuggestions();
    bool ReloadUserSuggestions();

    // Handlers.
    void UserSuggestionBrowse_ButtonClick();
    void UserSuggestionFile_EditKeyPress();
    void UseUserSuggestionsFile_CheckBoxClick();
    void UserSuggestions_MemoChange();
    void Save_ButtonClick();
    // Whether the dialog may close now; asks when there are unsaved changes.
    bool FormClose();
    void Top_PanelResize();

    // Every close (Save, Cancel, Escape, the window's close button) passes
    // here; a refused close leaves the dialog open as it was.
    void done(int result) override;

    QWidget *Top_Panel;
    QLabel *SuggestionControl_Label;
    QCheckBox *RandomizeSuggestions_CheckBox;
    QCheckBox *UseTovrinSuggestions_CheckBox;
    QCheckBox *UseUserSuggestionsFile_CheckBox;
    QLabel *UserSuggestionFile_Label;
    QPushButton *UserSuggestionBrowse_Button;
    QLineEdit *UserSuggestionFile_Edit;
    QWidget *UserSuggestion_Panel;
    QLabel *UserSuggestions_Label;
    QPlainTextEdit *UserSuggestions_Memo;
    QWidget *Button_Panel;
    QPushButton *Save_Button;
    QPushButton *Cancel_Button;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateTopArea();
    void LayOutTopArea();
    void CreateSuggestionsArea();
    void CreateButtonBar();
    void SetTabOrder();
    void ConnectControls();
    // Reads the named file into the editor; false when it cannot be read.
    bool ReadIntoEditor(const QString &fileName);

    bool FUserSuggestionsChanged = false;
    // True while the named file exists but its text could not be read: the
    // editor does not hold it, so it must not be written over.
    bool FUnreadableFileNamed = false;
    // The form of the named file as last read (encoding, byte-order mark,
    // what follows a NUL), kept for writing it back.
    TSuggestionsFile FFileForm;
    QVBoxLayout *FTopLayout = nullptr;
};

// Returns true, with the four values updated, only when the writer pressed
// Save.
bool ExecuteSuggestionSettingsDialog(bool &useTovrinSuggestions, bool &useUserSuggestionsFile,
                                     bool &randomizeSuggestions, QString &userSuggestionsFile);
