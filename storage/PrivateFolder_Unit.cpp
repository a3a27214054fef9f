#include "storage/PrivateFolder_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString PrivateFolder(const QString &name)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return QDir::cleanPath(QFileInfo(base + QLatin1Char('/') + name).absoluteFilePath());
}

bool MakePrivateFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ::mkdir(path.constData(), 0700);
    }
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    if ((info.st_mode & 07777) != 0700)
        ::chmod(path.constData(), 0700);
    return true;
}

QString AbsolutePrimaryPath(const QString &primaryFile)
{
    return primaryFile.isEmpty() ? QString()
                                 : QDir::cleanPath(QFileInfo(primaryFile).absoluteFilePath());
}

QString PrimaryFileKey(const QString &primaryFile)
{
    return QString::fromLatin1(QCryptographicHash::hash(AbsolutePrimaryPath(primaryFile).toUtf8(),
                                                        QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(16));
}

bool WritePrivateFile(const QString &path, const QByteArray &bytes)
{
    // A new file is created empty with mode 0600 before any byte goes in, and
    // WriteWholeFile keeps the mode of the file it replaces; a file made by
    // someone else with other bits is set to 0600 afterwards.
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    if (!WriteWholeFile(path, bytes))
        return false;
    struct stat info
    {
    };
    if (::stat(nativePath.constData(), &info) == 0 && (info.st_mode & 07777) != 0600)
        ::chmod(nativePath.constData(), 0600);
    return true;
}

TNewFileResult WriteNewPrivateFile(const QString &path, const QByteArray &bytes)
{
    return WriteNewFile(path, bytes, 0600);
}

std::unique_ptr<QLockFile> TakePrivateLock(const QString &lockFile, int waitMs, bool *heldElsewhere)
{
    auto lock = std::make_unique<QLockFile>(lockFile);
    bool taken = lock->tryLock(0);
    if (!taken && waitMs > 0) {
        const TBlockedSpan blocked;
        taken = lock->tryLock(waitMs);
    }
    if (heldElsewhere)
        *heldElsewhere = !taken && lock->error() == QLockFile::LockFailedError;
    return taken ? std::move(lock) : nullptr;
}
