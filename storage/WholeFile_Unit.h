// The one way Nudger reads and writes its files: always whole, and a write
// is done only once it is really on disk.
#pragma once

#include <QByteArray>
#include <QString>

#include <QtGlobal>

// What identifies one version of a file without reading it: where it lies,
// its size and the time it was last written. A file written again, whether
// in place or by a new file taking its place, has another signature (its
// content may still be the same).
struct TFileSignature
{
    bool Exists = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    bool operator==(const TFileSignature &other) const
    {
        return Exists == other.Exists && Device == other.Device && Inode == other.Inode &&
               Size == other.Size && ModifiedNs == other.ModifiedNs;
    }
    bool operator!=(const TFileSignature &other) const { return !(*this == other); }
};

// The file's signature as it is now; Exists is false for a missing file or
// a folder.
TFileSignature FileSignature(const QString &fileName);

// Whether a file of that name exists; a folder does not count, nor does the
// empty name.
bool IsExistingFile(const QString &fileName);

// Reads the whole file into bytes, and the signature of the version read
// when asked. False when it cannot be read; bytes is then left as it was.
bool ReadWholeFile(const QString &fileName, QByteArray &bytes, TFileSignature *signature = nullptr);

// Replaces the file's whole content, creating the file if needed, and keeps
// its permissions. The new content goes into a new file that then takes the
// old one's place, so a failure at any point leaves the old file whole. Where
// the folder refuses new files but the file itself may be written (a folder
// shared with other users), the file is written in place after its room has
// been reserved. False when the file was not written. When asked, signature
// receives the signature of the version written.
bool WriteWholeFile(const QString &fileName, const QByteArray &bytes,
                    TFileSignature *signature = nullptr);
