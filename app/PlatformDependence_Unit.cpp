#include "app/PlatformDependence_Unit.h"

#include <QDir>
#include <QMutex>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Reserves the blocks for size bytes of the file without changing its size
// or content. Where the file system cannot reserve, only content that needs
// no more room than the old goes ahead.
bool ReserveRoom(int fd, off_t oldSize, off_t size)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        return false;
    if (size == 0)
        return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return true;
    const bool unsupported = errno == EOPNOTSUPP || errno == ENOSYS;
    // A reservation that failed part way may hold blocks past the end.
    if (::ftruncate(fd, oldSize) != 0)
        return false;
    return unsupported && size <= oldSize;
}

bool WriteAllAt(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The pipe from the signal handler into the event loop.
int SignalPipe[2] = {-1, -1};

void WriteSignalByte(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &byte, 1);
    errno = saved;
}

struct TSignalCatcher
{
    QPointer<QSocketNotifier> Notifier;
    std::function<void(int)> Handler;
    bool Handled = false;
};

TSignalCatcher &SignalCatcher()
{
    static TSignalCatcher catcher;
    return catcher;
}

} // namespace

void CatchTerminationSignals(QObject *context, const std::function<void(int)> &handler)
{
    TSignalCatcher &catcher = SignalCatcher();
    catcher.Handler = handler;
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    delete catcher.Notifier;
    catcher.Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(catcher.Notifier, &QSocketNotifier::activated, context, [] {
        char byte = 0;
        TSignalCatcher &caught = SignalCatcher();
        while (::read(SignalPipe[0], &byte, 1) == 1) {
            if (caught.Handled || !caught.Handler)
                continue;
            caught.Handled = true;
            caught.Handler(int(byte));
        }
    });
    struct sigaction action
    {
    };
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction current
        {
        };
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

void EndBySignal(int signalNumber)
{
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signalNumber, &action, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
    ::raise(signalNumber);
    // Only a signal whose default is not to end the process comes back here.
    std::_Exit(128 + signalNumber);
}

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

namespace {

QString LookUpUserName()
{
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

} // namespace

QString UserName()
{
    if (UserNameOverride())
        return UserNameOverride()();
    // Asked for every configuration value read or written: the user
    // database (the password file, and whatever else the system's name
    // service reads) is looked up once, as the process's user never changes.
    static const QString name = LookUpUserName();
    return name;
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

bool OverwriteFileInPlace(const QString &fileName, const QByteArray &bytes)
{
    // Non-blocking: a FIFO put in the file's place fails at once instead of
    // waiting for a reader.
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info
    {
    };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              ReserveRoom(fd, info.st_size, off_t(bytes.size()));
    ok = ok && WriteAllAt(fd, bytes) && ::ftruncate(fd, off_t(bytes.size())) == 0 &&
         ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

QDateTime Now()
{
    if (ClockOverride())
        return ClockOverride()();
    return QDateTime::currentDateTime();
}

namespace {

thread_local std::int64_t BlockedNs = 0;

std::int64_t MonotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

std::int64_t ThreadBlockedNs()
{
    return BlockedNs;
}

TBlockedSpan::TBlockedSpan() : FStart(MonotonicNs()) {}

TBlockedSpan::~TBlockedSpan()
{
    BlockedNs += MonotonicNs() - FStart;
}

TCountedLocker::TCountedLocker(QMutex *mutex) : FMutex(mutex)
{
    // The clock is read only when the lock is taken already.
    if (FMutex->tryLock())
        return;
    const TBlockedSpan blocked;
    FMutex->lock();
}

TCountedLocker::~TCountedLocker()
{
    FMutex->unlock();
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
