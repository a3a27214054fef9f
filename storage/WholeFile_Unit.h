// The one way Nudger reads and writes its files: always whole, and a write
// is done only once it is really on disk.
#pragma once

#include <QByteArray>
#include <QString>

// Whether a file of that name exists; a folder does not count, nor does the
// empty name.
bool IsExistingFile(const QString &fileName);

// Reads the whole file into bytes. False when it cannot be read; bytes is
// then left as it was.
bool ReadWholeFile(const QString &fileName, QByteArray &bytes);

// Replaces the file's whole content, creating the file if needed, and keeps
// its permissions. The new content goes into a new file that then takes the
// old one's place, so a failure at any point leaves the old file whole. Where
// the folder refuses new files but the file itself may be written (a folder
// shared with other users), the file is written in place after its room has
// been reserved. False when the file was not written.
bool WriteWholeFile(const QString &fileName, const QByteArray &bytes);
