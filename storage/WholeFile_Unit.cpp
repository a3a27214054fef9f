#include "storage/WholeFile_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool WriteWholeFile(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    // Never the unsafe direct write QSaveFile would fall back to on its own.
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(bytes) == bytes.size())
            return file.commit();
        file.cancelWriting();
        return false;
    }
    // The folder would not take the new file.
    return QFileInfo(fileName).isFile() && OverwriteFileInPlace(fileName, bytes);
}
