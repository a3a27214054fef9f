#include "storage/WholeFile_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Puts every byte into the new file and onto the disk. QSaveFile keeps a
// small payload in its buffer until commit(), and commit() may then report
// success after the buffer failed to reach a full disk; so the buffer is
// flushed and checked here, and the data synced, before the file may take
// the old one's place.
bool WriteAndSync(QSaveFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.flush() &&
           file.error() == QFileDevice::NoError && ::fdatasync(file.handle()) == 0;
}

TFileSignature SignatureOf(const struct stat &info)
{
    TFileSignature signature;
    signature.Exists = S_ISREG(info.st_mode);
    signature.Device = quint64(info.st_dev);
    signature.Inode = quint64(info.st_ino);
    signature.Size = qint64(info.st_size);
    signature.ModifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return signature;
}

TFileSignature SignatureOfOpenFile(int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) == 0 ? SignatureOf(info) : TFileSignature();
}

} // namespace

TFileSignature FileSignature(const QString &fileName)
{
    struct stat info
    {
    };
    if (fileName.isEmpty() || ::stat(QFile::encodeName(fileName).constData(), &info) != 0)
        return TFileSignature();
    return SignatureOf(info);
}

bool IsExistingFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    return info.exists() && !info.isDir();
}

bool ReadWholeFile(const QString &fileName, QByteArray &bytes, TFileSignature *signature)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    if (signature)
        *signature = SignatureOfOpenFile(file.handle());
    bytes = std::move(content);
    return true;
}

bool WriteWholeFile(const QString &fileName, const QByteArray &bytes, TFileSignature *signature)
{
    QSaveFile file(fileName);
    // Never the unsafe direct write QSaveFile would fall back to on its own.
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        if (!WriteAndSync(file, bytes)) {
            // The new file goes; the old one was never touched.
            file.cancelWriting();
            return false;
        }
        // Taken now: the new file keeps it when it takes the old one's place,
        // and another program's write just after cannot pass for ours.
        const TFileSignature written = SignatureOfOpenFile(file.handle());
        if (!file.commit() || file.error() != QFileDevice::NoError)
            return false;
        if (signature)
            *signature = written;
        return true;
    }
    // The folder would not take the new file.
    if (!QFileInfo(fileName).isFile() || !OverwriteFileInPlace(fileName, bytes))
        return false;
    if (signature)
        *signature = FileSignature(fileName);
    return true;
}
