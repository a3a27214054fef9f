// The few services Nudger takes from the operating system, kept in one place
// so that the rest of the program stays portable and tests can replace them.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

class QMutex;
class QObject;

// The working directory at the moment the process started, always ending in
// the platform's path separator.
QString StartDirectory();

// Captures the start directory. Called once by the program entry before
// anything else; later calls do nothing.
void CaptureStartDirectory();

// Creates a system-wide named lock that stays held until the process ends
// and is released by the system even when the process crashes. Failures and
// an existing holder are ignored.
void CreateNamedMutex(const QString &name);

// The login name of the effective user, from the system's user database.
// FallbackUserName() when there is none.
QString UserName();
QString FallbackUserName();

// Starts a program detached, without a shell. The command line is split at
// blanks, with double quotes grouping words. Returns whether it started.
// showMode is accepted for the command's callers; windows are managed by the
// desktop here.
bool RunCommand(const QString &commandLine, int showMode);

// Replaces the content of an existing regular file where it lies, for a
// folder that refuses the new file an atomic replacement needs. Room for the
// new content is reserved before the first byte is written, so a full disk or
// a file size limit fails with the old content still whole. The file keeps its
// owner, permissions and links. False when nothing was written, or when a
// write failed after reservation (which only a failing disk does).
bool OverwriteFileInPlace(const QString &fileName, const QByteArray &bytes);

// Takes SIGTERM, SIGHUP and SIGINT into the event loop: the signal no longer
// ends the process by itself; instead handler runs, with the signal's number,
// in the event loop of context's thread, once: further signals are ignored
// from then on, so that whatever the handler writes is finished. The signal
// handler itself only writes one byte to a pipe. A signal the process was
// started ignoring (nohup ignores SIGHUP) is left ignored. Later calls
// replace the handler.
void CatchTerminationSignals(QObject *context, const std::function<void(int)> &handler);

// Ends the process the way the signal would have ended it, had it not been
// caught, so that whoever waits for the process sees which signal ended it.
// Nothing more runs: no destructor, no atexit handler, no stdio flush.
[[noreturn]] void EndBySignal(int signalNumber);

// The current local date and time.
QDateTime Now();

// How long the calling thread has so far been held up by the program's own
// locks and waits (TCountedLocker, TBlockedSpan), in nanoseconds: what a
// gauge of the window's thread tells apart from the machine's own pauses.
std::int64_t ThreadBlockedNs();

// Counts its own life into the calling thread's ThreadBlockedNs: put around
// a wait for another thread or process.
class TBlockedSpan
{
public:
    TBlockedSpan();
    ~TBlockedSpan();
    TBlockedSpan(const TBlockedSpan &) = delete;
    TBlockedSpan &operator=(const TBlockedSpan &) = delete;

private:
    std::int64_t FStart;
};

// Locks a mutex for its life, as QMutexLocker does, counting a wait for it
// into ThreadBlockedNs.
class TCountedLocker
{
public:
    explicit TCountedLocker(QMutex *mutex);
    ~TCountedLocker();
    TCountedLocker(const TCountedLocker &) = delete;
    TCountedLocker &operator=(const TCountedLocker &) = delete;

private:
    QMutex *FMutex;
};

std::uint8_t RotateByteLeft(std::uint8_t value, int count);
std::uint8_t RotateByteRight(std::uint8_t value, int count);

// Test seams: replace the start directory, the user name or the clock.
// An empty std::function (or an empty text) restores the real service.
void SetStartDirectoryForTesting(const QString &directory);
void SetUserNameForTesting(const std::function<QString()> &userName);
void SetClockForTesting(const std::function<QDateTime()> &clock);
void SetRunCommandForTesting(const std::function<bool(const QString &, int)> &runCommand);
