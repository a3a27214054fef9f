// A real full disk for tests that run as root: a small tmpfs mounted on a
// test's folder and filled to its last byte, so that a write fails the way it
// fails on a writer's full disk (ENOSPC), wherever it is buffered.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// Moves this process, and the children it starts from now on, into a mount
// namespace of its own, so that no mount a test makes outlives the test, even
// when it crashes. Call it first thing in main, before any thread starts.
// False where that is refused; TFullDisk then unmounts on its own.
inline bool EnterPrivateMountNamespace()
{
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

class TFullDisk
{
public:
    // Mounts a tmpfs of the given size on an existing, empty folder.
    TFullDisk(const QString &folder, int sizeKiB) : FFolder(QFile::encodeName(folder))
    {
        const QByteArray options = "size=" + QByteArray::number(sizeKiB) + "k,mode=0755";
        FMounted = ::mount("tmpfs", FFolder.constData(), "tmpfs", 0, options.constData()) == 0;
        if (!FMounted)
            FError = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TFullDisk()
    {
        if (FMounted)
            ::umount2(FFolder.constData(), MNT_DETACH);
    }
    TFullDisk(const TFullDisk &) = delete;
    TFullDisk &operator=(const TFullDisk &) = delete;

    bool Mounted() const { return FMounted; }
    QString Error() const { return FError; }

    // Fills the file system with the file "filler" in shrinking, unbuffered
    // writes until not one more byte fits. True when the last write failed
    // for want of room.
    bool Fill() const
    {
        const QByteArray path = FFolder + "/filler";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(64 * 1024, 'f');
        int error = 0;
        for (const int size : {64 * 1024, 4096, 512, 1}) {
            for (;;) {
                const ssize_t n = ::write(fd, block.constData(), size_t(size));
                if (n < 0) {
                    error = errno;
                    break;
                }
            }
        }
        ::close(fd);
        return error == ENOSPC;
    }

private:
    QByteArray FFolder;
    bool FMounted = false;
    QString FError;
};
