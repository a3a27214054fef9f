#include "storage/ReservedFileGuard_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/Conversions_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QFile>

namespace {

// The files Nudger needs in its start directory, in the order they are
// checked. "NUDGER" is the program itself on this platform.
const char *const ReservedNames[] = {"NUDGER.DAT", "NUDGER.EXE", "NUDGER.CFG", "QTINTF.DLL",
                                     "NUDGER"};

bool IsSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// The start directory of a root folder ends in a doubled separator that no
// chosen name has; one of the two is enough to compare with.
QString ComparableStartDirectory()
{
    QString directory = UpperCaseAToZ(StartDirectory());
    while (directory.size() >= 2 && IsSeparator(directory.back()) &&
           IsSeparator(directory[directory.size() - 2]))
        directory.chop(1);
    if (!directory.isEmpty() && !IsSeparator(directory.back()))
        directory += u'/';
    return directory;
}

bool IsReservedName(const QString &fileName)
{
    const QString name = UpperCaseAToZ(fileName);
    const QString directory = ComparableStartDirectory();
    for (const char *reserved : ReservedNames) {
        if (name == directory + QLatin1String(reserved))
            return true;
    }
    return false;
}

} // namespace

bool IsUsableFile(const QString &fileName, const std::function<void(const QString &)> &refuse)
{
    if (!fileName.isEmpty() && IsReservedName(fileName)) {
        if (refuse)
            refuse(QString::fromLatin1(ReservedFileMessage));
        return false;
    }
    // Letter case matters to this file system, so the probe uses the name
    // as chosen.
    return CanCreateFile(fileName);
}

bool CanCreateFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    // A folder, a FIFO or a device is never the writer's file, nor is a name
    // that cannot even be looked at.
    switch (FileKind(fileName)) {
    case TFileKind::Regular:
        return true;
    case TFileKind::Other:
        return false;
    case TFileKind::Missing:
        break;
    }

    // Created exclusively: if something appears under this name meanwhile,
    // the probe fails rather than touch it.
    QFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    static const char TestText[] = "Test Successful!\r\n";
    const qint64 length = qint64(sizeof TestText - 1);
    bool ok = probe.write(TestText, length) == length;
    ok = probe.flush() && ok;
    ok = IsExistingFile(fileName) && ok;
    probe.close();
    ok = probe.error() == QFileDevice::NoError && ok;
    ok = probe.remove() && ok;
    return ok;
}
