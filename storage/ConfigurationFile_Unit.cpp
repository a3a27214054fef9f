#include "storage/ConfigurationFile_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString MarkerName = QStringLiteral("TOVRIN CONFIGURATION FILE");
const QString MarkerValue = QStringLiteral("YES");

QByteArray Scramble(const QByteArray &plain)
{
    return ScrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::ConfigurationKey,
                        plain);
}

QByteArray Unscramble(const QByteArray &scrambled)
{
    return UnscrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::ConfigurationKey,
                          scrambled);
}

QStringList DecodeLines(const QByteArrayList &lines)
{
    QStringList decoded;
    decoded.reserve(lines.size());
    for (const QByteArray &line : lines)
        decoded.append(QString::fromUtf8(line));
    return decoded;
}

QByteArrayList EncodeLines(const QStringList &lines)
{
    QByteArrayList encoded;
    encoded.reserve(lines.size());
    for (const QString &line : lines)
        encoded.append(line.toUtf8());
    return encoded;
}

// The entry name of a line is everything before its first "="; a line
// without "=" is no entry.
bool LineHasName(const QString &line, const QString &fullName)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    return QStringView(line).left(equals).compare(fullName, Qt::CaseInsensitive) == 0;
}

bool LineBelongsToUser(const QString &line, const QString &userPrefix)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals >= 0 &&
           QStringView(line).left(equals).startsWith(userPrefix, Qt::CaseInsensitive);
}

QString FullName(const QString &name)
{
    return UserName() + QLatin1Char('.') + name;
}

} // namespace

TConfigurationFile::TConfigurationFile()
    : FFileName(QCoreApplication::applicationName() + QStringLiteral(".cfg"))
{
}

TConfigurationFile::~TConfigurationFile() = default;

QString TConfigurationFile::FilePath() const
{
    return StartDirectory() + FFileName;
}

qsizetype TConfigurationFile::FindLine(const QString &fullName) const
{
    // Lines kept from a file without this user's marker are not this user's
    // values; only lines written since then count.
    const qsizetype first = FHideUserValues ? FHiddenLines : 0;
    for (qsizetype i = first; i < FLines.size(); ++i) {
        if (LineHasName(FLines.at(i), fullName))
            return i;
    }
    return -1;
}

bool TConfigurationFile::Load()
{
    try {
        QByteArray content;
        if (!ReadWholeFile(FilePath(), content)) {
            // A file that is there but could not be read holds other users'
            // values that this object has never seen: it must not be replaced.
            FUnreadable = QFileInfo::exists(FilePath());
            return false;
        }
        FUnreadable = false;

        const QByteArrayList fileLines = SplitLines(content);
        FLines = DecodeLines(fileLines);
        // Until this user's marker turns up, whatever was read is kept for
        // the next Save but yields no values for this user.
        FHideUserValues = true;
        FHiddenLines = FLines.size();

        const QByteArray plain = Unscramble(JoinLines(fileLines));
        FLines = DecodeLines(SplitLines(plain));
        FHiddenLines = FLines.size();

        FHideUserValues = false;
        if (ValueExists(MarkerName)) {
            FHiddenLines = 0;
            return true;
        }
        FHideUserValues = true;
        return false;
    } catch (...) {
        return false;
    }
}

bool TConfigurationFile::Save()
{
    try {
        if (FUnreadable)
            return false;
        if (FHideUserValues) {
            // This user's marker vouches for every line of this user after the
            // save, so lines of this user that were never readable go.
            const QString userPrefix = UserName() + QLatin1Char('.');
            QStringList kept;
            kept.reserve(FLines.size());
            for (qsizetype i = 0; i < FLines.size(); ++i) {
                if (i < FHiddenLines && LineBelongsToUser(FLines.at(i), userPrefix))
                    continue;
                kept.append(FLines.at(i));
            }
            FLines = kept;
            FHideUserValues = false;
            FHiddenLines = 0;
        }
        if (!ValueExists(MarkerName))
            WriteValue(MarkerName, MarkerValue);

        const QByteArray scrambled = Scramble(JoinLines(EncodeLines(FLines)));
        return WriteWholeFile(FilePath(), JoinLines(SplitLines(scrambled)));
    } catch (...) {
        return false;
    }
}

bool TConfigurationFile::ValueExists(const QString &name) const
{
    return FindLine(FullName(name)) >= 0;
}

QString TConfigurationFile::ReadValue(const QString &name) const
{
    const qsizetype index = FindLine(FullName(name));
    if (index < 0)
        return QString();
    const QString &line = FLines.at(index);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

void TConfigurationFile::WriteValue(const QString &name, const QString &value)
{
    const QString fullName = FullName(name);
    // Every older line of the name goes, hidden ones included, so that no
    // stale copy can come back ahead of the new value.
    for (qsizetype i = FLines.size() - 1; i >= 0; --i) {
        if (LineHasName(FLines.at(i), fullName)) {
            FLines.removeAt(i);
            if (i < FHiddenLines)
                --FHiddenLines;
        }
    }
    FLines.append(fullName + QLatin1Char('=') + value);
}
