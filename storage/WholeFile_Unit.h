// The one way Nudger reads and writes its files: always whole, and a write
// is done only once it is really on disk, the folder's entry included.
#pragma once

#include <QByteArray>
#include <QString>

#include <QtGlobal>

// What identifies one version of a file without reading it: where it lies,
// its size, the time it was last written, the time anything about it last
// changed, and whether its name is a symbolic link. A file written again,
// whether in place or by a new file taking its place, has another signature
// (its content may still be the same): the change time catches a rewrite
// that kept the size and put the old modification time back, which no
// program can set.
struct TFileSignature
{
    bool Exists = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    qint64 ChangedNs = 0;
    bool IsLink = false; // the name itself, not what it leads to

    bool operator==(const TFileSignature &other) const
    {
        return Exists == other.Exists && Device == other.Device && Inode == other.Inode &&
               Size == other.Size && ModifiedNs == other.ModifiedNs &&
               ChangedNs == other.ChangedNs && IsLink == other.IsLink;
    }
    bool operator!=(const TFileSignature &other) const { return !(*this == other); }
};

// The file's signature as it is now; Exists is false for anything but a
// regular file.
TFileSignature FileSignature(const QString &fileName);

// What stands under a name, symbolic links followed. Missing: nothing (the
// empty name, or a folder on the way that does not exist); Regular: a file
// that may be the writer's; Other: a folder, a FIFO, a device, a socket, or
// a name that cannot even be looked at. Other is never read, written or
// replaced.
enum class TFileKind
{
    Missing,
    Regular,
    Other
};
TFileKind FileKind(const QString &fileName);

// Whether a regular file of that name exists (FileKind is Regular).
bool IsExistingFile(const QString &fileName);

// The regular file's permission bits (mode & 0777), or -1 when there is no
// such file or they cannot be known.
int FilePermissions(const QString &fileName);

// Reads the whole regular file into bytes, and the signature of the version
// read when asked. Never opens anything else and never waits for a writer
// (a FIFO fails at once). A file rewritten in place during the read is read
// again. False when it cannot be read; bytes is then left as it was.
bool ReadWholeFile(const QString &fileName, QByteArray &bytes, TFileSignature *signature = nullptr);

// Replaces the file's whole content, creating the file if needed, and keeps
// its permissions. The new content goes into a new file that then takes the
// old one's place, and the folder is synced after, so a failure at any point
// leaves the old file whole and success means both the bytes and the name
// are on disk. Where the folder refuses new files but the file itself may be
// written (a folder shared with other users), the file is written in place
// after its room has been reserved. False when the file was not written or
// is not a regular file (FileKind Other). When asked, signature receives the
// signature of the version written.
// With ReplaceLink, a name that is a symbolic link is replaced by the new
// file itself (for a link another program put where the writer's file was);
// FollowLink writes the file the link leads to.
enum class TLinkRule
{
    FollowLink,
    ReplaceLink
};
bool WriteWholeFile(const QString &fileName, const QByteArray &bytes,
                    TFileSignature *signature = nullptr, TLinkRule links = TLinkRule::FollowLink);

// Syncs the folder that holds fileName, so that a name just made or moved
// there survives a crash. A file system that cannot sync folders counts as
// success; false when the folder could not be opened or the sync failed.
bool SyncFolderOf(const QString &fileName);

enum class TNewFileResult
{
    Written, // the file is new, whole, on disk, and has the permissions asked
    Exists,  // something already has that name; it was not touched
    Failed   // nothing was written and nothing is left behind
};

// Writes bytes to a file of that name that must not exist yet, never
// replacing anything, with exactly the Unix permission bits given (0600,
// say; the umask does not apply; a file system without them, such as FAT,
// gives what it gives). The file appears whole or not at all: it is written
// beside its name first and then moved there without replacing, or, where
// the file system has neither such a move nor hard links, created under its
// name exclusively and removed again on any failure.
TNewFileResult WriteNewFile(const QString &fileName, const QByteArray &bytes, int permissions);

// Removes the temporary files of the writes still going on, if any, so that
// a process ended in the middle of a write leaves nothing behind: the write
// then fails and the old file stays whole. Made to be called from another
// thread while the writing ones are stuck (in a message handler, say): it
// allocates nothing and takes no lock. Writes on several threads at once are
// each recorded.
void RemoveUnfinishedWrite();
