#include "storage/WriterSettings_Unit.h"

#include "storage/PrivateFolder_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString FolderName = QStringLiteral("Nudger");
const QString FileName = QStringLiteral("settings");

} // namespace

QString TWriterSettings::FilePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::cleanPath(base + QLatin1Char('/') + FolderName + QLatin1Char('/') + FileName);
}

TWriterSettings::TWriterSettings()
{
    const QString path = FilePath();
    if (!QFileInfo::exists(path))
        return;
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes)) {
        FReadable = false;
        return;
    }
    for (const QByteArray &line : bytes.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        FValues.insert(QString::fromUtf8(line.left(equals)).trimmed(),
                       QString::fromUtf8(line.mid(equals + 1)));
    }
}

QString TWriterSettings::Value(const QString &key, const QString &fallback) const
{
    return FValues.value(key, fallback);
}

bool TWriterSettings::BoolValue(const QString &key, bool fallback) const
{
    const QString value = FValues.value(key);
    if (value == QLatin1String("true"))
        return true;
    if (value == QLatin1String("false"))
        return false;
    return fallback;
}

int TWriterSettings::IntValue(const QString &key, int fallback) const
{
    bool ok = false;
    const int value = FValues.value(key).toInt(&ok);
    return ok ? value : fallback;
}

bool TWriterSettings::SetValue(const QString &key, const QString &value)
{
    // One line a value: a line break in it would start another.
    QString line = value;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    FValues.insert(key, line);
    if (!FReadable)
        return false;
    QByteArray bytes;
    for (auto each = FValues.cbegin(); each != FValues.cend(); ++each)
        bytes += each.key().toUtf8() + '=' + each.value().toUtf8() + '\n';
    const QString path = FilePath();
    return MakePrivateFolder(QFileInfo(path).absolutePath()) && WritePrivateFile(path, bytes);
}

bool TWriterSettings::SetBoolValue(const QString &key, bool value)
{
    return SetValue(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool TWriterSettings::SetIntValue(const QString &key, int value)
{
    return SetValue(key, QString::number(value));
}
