#include "app/PlatformDependence_Unit.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

namespace {

QString &CapturedStartDirectory()
{
    static QString directory;
    return directory;
}

QString &StartDirectoryOverride()
{
    static QString directory;
    return directory;
}

std::function<QString()> &UserNameOverride()
{
    static std::function<QString()> userName;
    return userName;
}

std::function<QDateTime()> &ClockOverride()
{
    static std::function<QDateTime()> clock;
    return clock;
}

std::function<bool(const QString &, int)> &RunCommandOverride()
{
    static std::function<bool(const QString &, int)> runCommand;
    return runCommand;
}

QString WithSeparator(QString directory)
{
    return directory + QDir::separator();
}

} // namespace

void CaptureStartDirectory()
{
    QString &directory = CapturedStartDirectory();
    if (directory.isEmpty())
        directory = WithSeparator(QDir::toNativeSeparators(QDir::currentPath()));
}

QString StartDirectory()
{
    if (!StartDirectoryOverride().isEmpty())
        return StartDirectoryOverride();
    CaptureStartDirectory();
    return CapturedStartDirectory();
}

void CreateNamedMutex(const QString &name)
{
    // A lock on a file in the user's runtime folder: the kernel drops it when
    // the process ends, however it ends. The descriptor is deliberately kept
    // open for the life of the process.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray path =
        QFile::encodeName(QDir(folder).filePath(name + QStringLiteral(".lock")));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Another copy holds it; like a named mutex that already exists, that
        // is no reason to stop.
        ::close(fd);
    }
}

QString FallbackUserName()
{
    return QStringLiteral("Writer");
}

QString UserName()
{
    if (UserNameOverride())
        return UserNameOverride()();
    const uid_t uid = ::geteuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return FallbackUserName();
}

bool RunCommand(const QString &commandLine, int showMode)
{
    if (RunCommandOverride())
        return RunCommandOverride()(commandLine, showMode);
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words);
}

QDateTime Now()
{
    if (ClockOverride())
        return ClockOverride()();
    return QDateTime::currentDateTime();
}

std::uint8_t RotateByteLeft(std::uint8_t value, int count)
{
    count &= 7;
    if (count == 0)
        return value;
    return static_cast<std::uint8_t>((value << count) | (value >> (8 - count)));
}

std::uint8_t RotateByteRight(std::uint8_t value, int count)
{
    count &= 7;
    if (count == 0)
        return value;
    return static_cast<std::uint8_t>((value >> count) | (value << (8 - count)));
}

void SetStartDirectoryForTesting(const QString &directory)
{
    StartDirectoryOverride() = directory.isEmpty() || directory.endsWith(QDir::separator())
                                   ? directory
                                   : WithSeparator(directory);
}

void SetUserNameForTesting(const std::function<QString()> &userName)
{
    UserNameOverride() = userName;
}

void SetClockForTesting(const std::function<QDateTime()> &clock)
{
    ClockOverride() = clock;
}

void SetRunCommandForTesting(const std::function<bool(const QString &, int)> &runCommand)
{
    RunCommandOverride() = runCommand;
}
