// The settings dialog: nudge interval, primary file and backup file.
#pragma once

#include "storage/MainWindowSettings_Unit.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

// Shows the dialog modally on the given values (interval in milliseconds).
// Returns true, with the values updated, only when the writer pressed Save.
bool ExecuteSettingsDialog(int &interval, QString &primaryFile, QString &backupFile);

// The dialog itself. Its properties read and write the controls directly;
// the dialog keeps no copy of the values and never writes a text file.
class TSettings_Form : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
    Q_PROPERTY(QString PrimaryFile READ PrimaryFile WRITE SetPrimaryFile)
    Q_PROPERTY(QString BackupFile READ BackupFile WRITE SetBackupFile)
    Q_PROPERTY(bool EnableBackup READ EnableBackup WRITE SetEnableBackup)

public:
    static constexpr int MinimumInterval = 5;   // seconds
    static constexpr int MaximumInterval = 300; // seconds
    static constexpr int FileEditGap = 10;      // pixels between a file box and the panel's edge
    // Seconds: the program's default nudge interval.
    static constexpr int DefaultInterval = TMainWindowSettings::DefaultInterval / 1000;

    explicit TSettings_Form(QWidget *parent = nullptr);

    // Seconds. Text in the box that does not read as a number gives the
    // minimum; a number outside the range is held within it.
    int Interval() const;
    void SetInterval(int seconds);
    QString PrimaryFile() const;
    void SetPrimaryFile(const QString &fileName);
    QString BackupFile() const;
    // Also ticks Enable Backup File when the name is not empty, unticks it
    // when it is.
    void SetBackupFile(const QString &fileName);
    bool EnableBackup() const;
    void SetEnableBackup(bool enable);

    QWidget *Main_Panel = nullptr;
    QLabel *Interval_Label = nullptr;
    QSpinBox *Interval_SpinEdit = nullptr;
    QLabel *PrimaryFile_Label = nullptr;
    QPushButton *PrimaryFileBrowse_Button = nullptr;
    QLineEdit *PrimaryFile_Edit = nullptr;
    QLabel *EnableBackupFile_Label = nullptr;
    QCheckBox *EnableBackupFile_CheckBox = nullptr;
    QLabel *BackupFile_Label = nullptr;
    QPushButton *BackupFileBrowse_Button = nullptr;
    QLineEdit *BackupFile_Edit = nullptr;
    QWidget *Button_Panel = nullptr;
    QPushButton *Button1 = nullptr; // Save
    QPushButton *Cancel_Button = nullptr;

public Q_SLOTS:
    void PrimaryFileBrowse_ButtonClick();
    void BackupFileBrowse_ButtonClick();
    void EnableBackupFile_CheckBoxClick();
    // Drops the backup name, with a message, when it names the primary file.
    void CheckSameFile();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void LayOutMainPanel();
    void CreateButtonPanel();
    void ConnectControls();
    void SetTabOrder();
    void FormCreate();
    void Main_PanelResize();
    void FitFileEdits();
    void PrimaryFile_EditKeyDown();
    void BackupFile_EditKeyDown();

    QGridLayout *FMainLayout = nullptr;
};
