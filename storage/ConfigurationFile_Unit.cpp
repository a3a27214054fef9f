#include "storage/ConfigurationFile_Unit.h"
// placeholder
TConfigurationFile::TConfigurationFile() = default;
TConfigurationFile::~TConfigurationFile() = default;
bool TConfigurationFile::Load() { return false; }
bool TConfigurationFile::Save() { return true; }
bool TConfigurationFile::ValueExists(const QString &) const { return false; }
QString TConfigurationFile::ReadValue(const QString &) const { return {}; }
void TConfigurationFile::WriteValue(const QString &, const QString &) {}
QString TConfigurationFile::FilePath() const { return {}; }
