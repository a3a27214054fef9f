#include "storage/OldHistory_Unit.h"

#include "storage/WholeFile_Unit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <algorithm>

namespace {

const QByteArray IndexMark = QByteArrayLiteral("Nudger history 1");
const QString IndexName = QStringLiteral("index");
const QString LockName = QStringLiteral("index.lock");
const QString NameStamp = QStringLiteral("yyyy-MM-dd hh.mm.ss");

QList<QByteArray> IndexLines(const QString &folder)
{
    QByteArray bytes;
    if (!ReadWholeFile(QDir(folder).filePath(IndexName), bytes))
        return {};
    const QList<QByteArray> lines = bytes.split('\n');
    return lines.size() >= 2 && lines.at(0) == IndexMark ? lines : QList<QByteArray>();
}

// A version file's time and reason from its name, "<stamp> <reason>[ n].txt".
bool ParseName(const QString &name, TOldVersion &version)
{
    if (!name.endsWith(QLatin1String(".txt")) || name.size() < NameStamp.size() + 5)
        return false;
    version.FileName = name;
    version.Time = QDateTime::fromString(name.left(NameStamp.size()), NameStamp);
    if (!version.Time.isValid())
        return false;
    QString reason = name.mid(NameStamp.size() + 1).chopped(4);
    // The writer's own saved text went by another name then.
    reason.replace(QLatin1String("saved earlier"), VersionReasonText(TVersionReason::SavedEarlier));
    if (!VersionReasonOfText(reason, version.Reason)) {
        // A second version of the same moment has a number after its reason.
        reason = reason.section(QLatin1Char(' '), 0, -2);
        if (!VersionReasonOfText(reason, version.Reason))
            version.Reason = TVersionReason::ChangedOutside;
    }
    version.Time = version.Time.toUTC();
    return true;
}

} // namespace

QString OldHistoryPrimary(const QString &folder)
{
    const QList<QByteArray> lines = IndexLines(folder);
    return lines.isEmpty() ? QString() : QString::fromUtf8(lines.at(1));
}

QVector<TOldVersion> ReadOldHistory(const QString &folder)
{
    // What the index says of each file: its exact time and reason.
    QMap<QString, TOldVersion> listed;
    const QList<QByteArray> lines = IndexLines(folder);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        if (fields.size() != 6)
            continue;
        TOldVersion version;
        version.FileName = QString::fromUtf8(fields.at(5));
        version.Time =
            QDateTime::fromString(QString::fromLatin1(fields.at(1)), Qt::ISODateWithMs).toUTC();
        version.Reason = VersionReasonOfCode(QString::fromLatin1(fields.at(2)));
        if (version.Time.isValid() && !version.FileName.contains(QLatin1Char('/')))
            listed.insert(version.FileName, version);
    }
    QVector<TOldVersion> versions;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        TOldVersion version;
        if (listed.contains(name))
            versions.append(listed.value(name));
        else if (ParseName(name, version))
            versions.append(version);
    }
    std::stable_sort(versions.begin(), versions.end(),
                     [](const TOldVersion &a, const TOldVersion &b) { return a.Time < b.Time; });
    return versions;
}

void RemoveOldHistoryIfEmpty(const QString &folder)
{
    const QDir dir(folder);
    const QStringList left = dir.entryList(QDir::Files | QDir::Hidden);
    const bool onlyIndex = std::all_of(left.cbegin(), left.cend(), [](const QString &name) {
        return name == IndexName || name == LockName;
    });
    if (!onlyIndex)
        return;
    for (const QString &name : left)
        QFile::remove(dir.filePath(name));
    dir.rmdir(folder);
}
