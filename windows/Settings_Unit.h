// The settings dialog: nudge interval, primary file and backup file.
#pragma once

#include <QString>

// Shows the dialog modally on the given values (interval in milliseconds).
// Returns true, with the values updated, only when the writer pressed Save.
bool ExecuteSettingsDialog(int &interval, QString &primaryFile, QString &backupFile);
