#include "storage/WholeFile_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A file rewritten in place while it is read is read again, this often.
constexpr int ReadAttempts = 5;

// The paths of the temporary files being written now, one slot for each
// write going on (the GUI thread and the worker may write at once), kept for
// RemoveUnfinishedWrite on another thread. A writing thread takes a free
// slot for its write and is its only writer. A sequence number, odd while
// the path changes, tells the reading thread whether its copy is whole and
// still current; the characters are atomics so that copying them while they
// change is no data race.
struct TUnfinishedSlot
{
    std::atomic<bool> Taken{false};
    std::atomic<unsigned> Sequence{0};
    std::atomic<char> Path[PATH_MAX];
};
constexpr int UnfinishedSlotCount = 8;
TUnfinishedSlot UnfinishedSlots[UnfinishedSlotCount];

// Records path (empty: none) in the slot its writer holds.
void RecordUnfinishedWrite(TUnfinishedSlot &slot, const QByteArray &path)
{
    const unsigned sequence = slot.Sequence.load(std::memory_order_relaxed);
    slot.Sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    // A path too long to keep is not recorded at all, never cut short.
    const qsizetype length = path.size() < PATH_MAX ? path.size() : 0;
    for (qsizetype i = 0; i < length; ++i)
        slot.Path[i].store(path[i], std::memory_order_relaxed);
    slot.Path[length].store('\0', std::memory_order_relaxed);
    slot.Sequence.store(sequence + 2, std::memory_order_release);
}

// Keeps a temporary file recorded while it is written. With every slot
// taken the file is not recorded: an end in the middle of the write may
// then leave it behind, but nothing else is ever removed.
class TUnfinishedWrite
{
public:
    explicit TUnfinishedWrite(const QByteArray &path)
    {
        if (path.isEmpty())
            return;
        for (TUnfinishedSlot &slot : UnfinishedSlots) {
            bool free = false;
            if (slot.Taken.compare_exchange_strong(free, true, std::memory_order_acquire)) {
                FSlot = &slot;
                RecordUnfinishedWrite(slot, path);
                return;
            }
        }
    }
    ~TUnfinishedWrite() { Clear(); }
    TUnfinishedWrite(const TUnfinishedWrite &) = delete;
    TUnfinishedWrite &operator=(const TUnfinishedWrite &) = delete;
    void Clear()
    {
        if (!FSlot)
            return;
        RecordUnfinishedWrite(*FSlot, QByteArray());
        FSlot->Taken.store(false, std::memory_order_release);
        FSlot = nullptr;
    }

private:
    TUnfinishedSlot *FSlot = nullptr;
};

// Puts every byte into the new file and onto the disk. QSaveFile keeps a
// small payload in its buffer until commit(), and commit() may then report
// success after the buffer failed to reach a full disk; so the buffer is
// flushed and checked here, and the data synced, before the file may take
// the old one's place.
// Waits for the disk, counted as the calling thread's own wait.
bool SyncData(int fd)
{
    const TBlockedSpan blocked;
    return ::fdatasync(fd) == 0;
}

bool WriteAndSync(QSaveFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.flush() &&
           file.error() == QFileDevice::NoError && SyncData(file.handle());
}

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads from the start to the end; sizeHint is what the file's size said.
bool ReadAll(int fd, QByteArray &content, qint64 sizeHint)
{
    // One byte more than the size, so that the end is met at once.
    content.resize(qsizetype(qMax<qint64>(sizeHint, 0)) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == content.size())
            content.resize(content.size() + qMax<qsizetype>(content.size(), 65536));
        const ssize_t n = ::pread(fd, content.data() + done, size_t(content.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += n;
    }
    content.truncate(done);
    return true;
}

qint64 Nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

TFileSignature SignatureOf(const struct stat &info)
{
    TFileSignature signature;
    signature.Exists = S_ISREG(info.st_mode);
    signature.Device = quint64(info.st_dev);
    signature.Inode = quint64(info.st_ino);
    signature.Size = qint64(info.st_size);
    signature.ModifiedNs = Nanoseconds(info.st_mtim);
    signature.ChangedNs = Nanoseconds(info.st_ctim);
    return signature;
}

TFileSignature SignatureOfOpenFile(int fd)
{
    struct stat info
    {
    };
    return fd >= 0 && ::fstat(fd, &info) == 0 ? SignatureOf(info) : TFileSignature();
}

bool IsLinkName(const QByteArray &path)
{
    struct stat info
    {
    };
    return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The path the kernel gives for an open file: for a file without a name (an
// unnamed temporary file) it ends in " (deleted)". Empty when unknown.
QByteArray PathOfOpenFile(int fd)
{
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t n = ::readlink(link, path, sizeof path);
    return n > 0 && n < ssize_t(sizeof path) && path[0] == '/' ? QByteArray(path, n) : QByteArray();
}

QByteArray FolderOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// The folder where QSaveFile puts the file: it follows the name's symbolic
// links the same way.
QByteArray FolderOfTarget(const QString &fileName)
{
    QFileInfo info(fileName);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return QFile::encodeName(info.absolutePath());
}

int OpenFolder(const QByteArray &folder)
{
    return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Syncs an open folder (folderFd < 0: opening it failed with openError).
// Success when the file system does not sync folders at all (or refuses to
// open a folder that grants writing but not reading): the file's bytes are on
// disk and nothing more can be asked there. An error of the sync itself (EIO,
// say) fails the write even though the new file already has its name: that
// name may not survive a crash, so the text must stay unsaved and the next
// save tries again.
bool SyncFolder(int folderFd, int openError)
{
    if (folderFd < 0)
        return openError == EACCES;
    const TBlockedSpan blocked;
    while (::fsync(folderFd) != 0) {
        if (errno != EINTR)
            return errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EROFS;
    }
    return true;
}

bool SyncFolderPath(const QByteArray &folder)
{
    const int fd = OpenFolder(folder);
    const bool synced = SyncFolder(fd, errno);
    if (fd >= 0)
        ::close(fd);
    return synced;
}

int RenameWithoutReplacing(const char *from, const char *to)
{
#ifdef RENAME_NOREPLACE // glibc's wrapper, from 2.28
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    return int(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u));
#endif
}

// Sets the permissions, writes, syncs and closes (fd is closed in every
// case); written receives the file's identity. A file system without Unix
// permissions (FAT) refuses them: the file then has what it gives.
bool FillNewFile(int fd, const QByteArray &bytes, int permissions, struct stat &written)
{
    bool ok = ::fchmod(fd, mode_t(permissions & 07777)) == 0 || errno == EPERM ||
              errno == ENOTSUP || errno == EOPNOTSUPP;
    ok = ok && WriteAll(fd, bytes) && SyncData(fd) && ::fstat(fd, &written) == 0;
    return ::close(fd) == 0 && ok;
}

// Removes path if it is still the file written (another program may have
// put its own file there since).
void RemoveIfSame(const QByteArray &path, const struct stat &written)
{
    struct stat info
    {
    };
    if (::lstat(path.constData(), &info) == 0 && info.st_dev == written.st_dev &&
        info.st_ino == written.st_ino)
        ::unlink(path.constData());
}

enum class TMove
{
    Moved,
    Exists,
    LinksRefused, // a file system without hard links: write the name itself
    Failed
};

// Gives the temporary file the final name unless that name is taken. Where
// the file system cannot rename without replacing, a hard link does the
// same. The temporary name is gone afterwards unless LinksRefused.
TMove MoveWithoutReplacing(const QByteArray &temporary, const QByteArray &path)
{
    if (RenameWithoutReplacing(temporary.constData(), path.constData()) == 0)
        return TMove::Moved;
    TMove move = TMove::Failed;
    if (errno == EEXIST) {
        move = TMove::Exists;
    } else if (errno == EINVAL || errno == ENOSYS) {
        if (::link(temporary.constData(), path.constData()) == 0)
            move = TMove::Moved;
        else if (errno == EEXIST)
            move = TMove::Exists;
        else if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP)
            return TMove::LinksRefused;
    }
    ::unlink(temporary.constData());
    return move;
}

// The fallback for a file system without hard links: the name itself,
// created exclusively and removed again when anything fails.
TNewFileResult WriteNameDirectly(const QByteArray &path, const QByteArray &bytes, int permissions,
                                 struct stat &written)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                          mode_t(permissions & 0777));
    if (fd < 0)
        return errno == EEXIST ? TNewFileResult::Exists : TNewFileResult::Failed;
    const TUnfinishedWrite unfinished(path);
    if (FillNewFile(fd, bytes, permissions, written))
        return TNewFileResult::Written;
    ::unlink(path.constData());
    return TNewFileResult::Failed;
}

} // namespace

TFileSignature FileSignature(const QString &fileName)
{
    if (fileName.isEmpty())
        return TFileSignature();
    const QByteArray path = QFile::encodeName(fileName);
    struct stat info
    {
    };
    TFileSignature signature =
        ::stat(path.constData(), &info) == 0 ? SignatureOf(info) : TFileSignature();
    signature.IsLink = IsLinkName(path);
    return signature;
}

TFileKind FileKind(const QString &fileName)
{
    if (fileName.isEmpty())
        return TFileKind::Missing;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0) {
        // Nothing there, or a regular file on the way. Anything else (no
        // right to look, a loop of links) is no usable file either.
        return errno == ENOENT || errno == ENOTDIR ? TFileKind::Missing : TFileKind::Other;
    }
    return S_ISREG(info.st_mode) ? TFileKind::Regular : TFileKind::Other;
}

bool IsExistingFile(const QString &fileName)
{
    return FileKind(fileName) == TFileKind::Regular;
}

int FilePermissions(const QString &fileName)
{
    struct stat info
    {
    };
    if (fileName.isEmpty() || ::stat(QFile::encodeName(fileName).constData(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        return -1;
    return int(info.st_mode & 0777);
}

bool ReadWholeFile(const QString &fileName, QByteArray &bytes, TFileSignature *signature)
{
    if (fileName.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(fileName);
    // Without O_NONBLOCK a FIFO would wait here for a writer, for ever; the
    // flag changes nothing for a regular file.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    QByteArray content;
    TFileSignature read;
    bool whole = false;
    try {
        for (int attempt = 0; attempt < ReadAttempts && !whole; ++attempt) {
            struct stat before
            {
            };
            if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) ||
                !ReadAll(fd, content, before.st_size))
                break;
            read = SignatureOfOpenFile(fd);
            // Written to while it was read: what was read may be half of
            // each version.
            whole = read.Exists && read == SignatureOf(before);
        }
    } catch (const std::bad_alloc &) {
        whole = false; // larger than memory
    }
    ::close(fd);
    if (!whole)
        return false;
    if (signature) {
        read.IsLink = IsLinkName(path);
        *signature = read;
    }
    bytes = std::move(content);
    return true;
}

// A link that took the place of the writer's file is itself replaced by a
// new file, whole, in one rename; what it leads to is left alone.
static bool ReplaceLink(const QString &fileName, const QByteArray &bytes, TFileSignature *signature)
{
    const QString temporary = fileName + QStringLiteral(".nudger-") + QString::number(::getpid());
    if (WriteNewFile(temporary, bytes, 0600) != TNewFileResult::Written)
        return false;
    if (::rename(QFile::encodeName(temporary).constData(),
                 QFile::encodeName(fileName).constData()) != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        return false;
    }
    if (!SyncFolderOf(fileName))
        return false;
    if (signature)
        *signature = FileSignature(fileName);
    return true;
}

bool WriteWholeFile(const QString &fileName, const QByteArray &bytes, TFileSignature *signature,
                    TLinkRule links)
{
    if (links == TLinkRule::ReplaceLink && IsLinkName(QFile::encodeName(fileName)))
        return ReplaceLink(fileName, bytes, signature);
    if (FileKind(fileName) == TFileKind::Other)
        return false;
    QSaveFile file(fileName);
    // Never the unsafe direct write QSaveFile would fall back to on its own.
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        // A named temporary file is recorded for RemoveUnfinishedWrite; an
        // unnamed one leaves nothing behind anyway.
        const QByteArray temporary = PathOfOpenFile(file.handle());
        TUnfinishedWrite unfinished(temporary.endsWith(" (deleted)") ? QByteArray() : temporary);
        if (!WriteAndSync(file, bytes)) {
            // The new file goes; the old one was never touched.
            file.cancelWriting();
            return false;
        }
        // Taken now: the new file keeps it when it takes the old one's place,
        // and another program's write just after cannot pass for ours. A
        // descriptor of its own sees the change time the move gives it.
        const TFileSignature before = SignatureOfOpenFile(file.handle());
        const int written = ::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0);
        const int folder =
            OpenFolder(temporary.isEmpty() ? FolderOfTarget(fileName) : FolderOfPath(temporary));
        const int folderError = errno;
        bool ok = false;
        {
            // The toolkit syncs the file again and moves it into place.
            const TBlockedSpan blocked;
            ok = file.commit() && file.error() == QFileDevice::NoError;
        }
        unfinished.Clear();
        ok = ok && SyncFolder(folder, folderError);
        TFileSignature after = SignatureOfOpenFile(written);
        for (const int fd : {written, folder}) {
            if (fd >= 0)
                ::close(fd);
        }
        if (!ok)
            return false;
        if (signature) {
            if (!after.Exists || after.Size != before.Size || after.ModifiedNs != before.ModifiedNs)
                after = before;
            after.IsLink = IsLinkName(QFile::encodeName(fileName));
            *signature = after;
        }
        return true;
    }
    // The folder would not take the new file.
    if (FileKind(fileName) != TFileKind::Regular || !OverwriteFileInPlace(fileName, bytes))
        return false;
    if (signature)
        *signature = FileSignature(fileName);
    return true;
}

bool SyncFolderOf(const QString &fileName)
{
    return !fileName.isEmpty() &&
           SyncFolderPath(QFile::encodeName(QFileInfo(fileName).absolutePath()));
}

TNewFileResult WriteNewFile(const QString &fileName, const QByteArray &bytes, int permissions)
{
    if (fileName.isEmpty())
        return TNewFileResult::Failed;
    const QByteArray path = QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
    const QByteArray folder = FolderOfPath(path);
    // A hidden name beside the file, short enough for any file name.
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray temporary =
        path.left(slash + 1) + '.' + path.mid(slash + 1).left(NAME_MAX - 16) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return TNewFileResult::Failed;
    struct stat written
    {
    };
    TUnfinishedWrite unfinished(temporary);
    if (!FillNewFile(fd, bytes, permissions, written)) {
        ::unlink(temporary.constData());
        return TNewFileResult::Failed;
    }
    TNewFileResult result = TNewFileResult::Written;
    switch (MoveWithoutReplacing(temporary, path)) {
    case TMove::Moved:
        break;
    case TMove::Exists:
        return TNewFileResult::Exists;
    case TMove::Failed:
        return TNewFileResult::Failed;
    case TMove::LinksRefused:
        ::unlink(temporary.constData());
        unfinished.Clear();
        result = WriteNameDirectly(path, bytes, permissions, written);
        break;
    }
    unfinished.Clear();
    if (result == TNewFileResult::Written && !SyncFolderPath(folder)) {
        RemoveIfSame(path, written);
        return TNewFileResult::Failed;
    }
    return result;
}

void RemoveUnfinishedWrite()
{
    for (TUnfinishedSlot &slot : UnfinishedSlots) {
        char path[PATH_MAX];
        const unsigned before = slot.Sequence.load(std::memory_order_acquire);
        if (before % 2 != 0)
            continue; // being recorded or cleared just now: that write is not stuck
        for (std::size_t i = 0; i < sizeof path; ++i) {
            path[i] = slot.Path[i].load(std::memory_order_relaxed);
            if (path[i] == '\0')
                break;
        }
        path[sizeof path - 1] = '\0';
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.Sequence.load(std::memory_order_relaxed) == before && path[0] != '\0')
            ::unlink(path);
    }
}
