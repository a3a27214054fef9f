#include "storage/ReservedFileGuard_Unit.h"
// placeholder
bool IsUsableFile(const QString &fileName, const std::function<void(const QString &)> &) { return !fileName.isEmpty(); }
bool CanCreateFile(const QString &fileName) { return !fileName.isEmpty(); }
