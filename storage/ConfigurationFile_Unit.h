// Per-user named values in the scrambled configuration file "<title>.cfg" of
// the start directory. One object serves one use: construct, Load, read or
// write values, Save, destroy.
#pragma once

#include <QString>
#include <QStringList>

class TConfigurationFile
{
public:
    TConfigurationFile();
    virtual ~TConfigurationFile();

    // True when the file was read, unscrambled and holds this user's marker.
    // Never throws.
    bool Load();
    // Replaces the file whole. True when it was written. Never throws. A file
    // that the last Load found but could not read is never replaced: it may
    // hold other users' values.
    bool Save();

    bool ValueExists(const QString &name) const;
    QString ReadValue(const QString &name) const;
    void WriteValue(const QString &name, const QString &value);

    QString FileName() const { return FFileName; }
    QString FilePath() const;

private:
    // Index of this user's first visible line, or -1.
    qsizetype FindLine(const QString &fullName) const;

    QString FFileName;
    QStringList FLines;
    // Set when a Load found no marker of this user: every line is kept for
    // the next Save, but this user reads no values from them.
    bool FHideUserValues = false;
    // How many lines at the front of the list came from that Load.
    qsizetype FHiddenLines = 0;
    // Set when a Load found the file but could not read it.
    bool FUnreadable = false;
};
