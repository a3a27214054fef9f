#include "storage/WholeFile_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

bool IsExistingFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo info(fileName);
    return info.exists() && !info.isDir();
}

bool ReadWholeFile(const QString &fileName, QByteArray &bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    bytes = std::move(content);
    return true;
}

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

} // namespace

bool WriteWholeFile(const QString &fileName, const QByteArray &bytes)
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
        return file.commit() && file.error() == QFileDevice::NoError;
    }
    // The folder would not take the new file.
    return QFileInfo(fileName).isFile() && OverwriteFileInPlace(fileName, bytes);
}
