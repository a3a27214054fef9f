#include "windows/Settings_Unit.h"
// placeholder
bool ExecuteSettingsDialog(int &, QString &, QString &) { return false; }
