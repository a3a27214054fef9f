// The writer's own settings: what Nudger lets the writer choose beyond the
// fifteen keys of Nudger.cfg (the spelling, the writing goal), kept per
// operating-system user in their configuration folder
// ($XDG_CONFIG_HOME/Nudger/settings, ~/.config/Nudger/settings), one
// "key=value" line each, UTF-8. The file is the writer's alone (0600, in a
// 0700 folder), written whole and synced with its folder at every change;
// one that cannot be read reads as empty and is not written over.
#pragma once

#include <QMap>
#include <QString>

class TWriterSettings
{
public:
    // Reads the file (a missing one is empty).
    TWriterSettings();

    QString Value(const QString &key, const QString &fallback = QString()) const;
    bool BoolValue(const QString &key, bool fallback) const;
    int IntValue(const QString &key, int fallback) const;
    // Sets the value and writes the file at once; false when it could not
    // be written (the value holds until the program ends all the same).
    bool SetValue(const QString &key, const QString &value);
    bool SetBoolValue(const QString &key, bool value);
    bool SetIntValue(const QString &key, int value);

    // The file's path for this user.
    static QString FilePath();

private:
    QMap<QString, QString> FValues;
    bool FReadable = true;
};
