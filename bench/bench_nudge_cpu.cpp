// CPU cost of the real Nudger program while it nudges with the sound looping:
// the program's CPU seconds (all its threads, from /proc/<pid>/stat) over
// wall seconds, beside the same figure for the program sitting idle with the
// nudge switched off, measured first in the same run.
//
// The program runs unchanged on an X server (a private Xvfb unless DISPLAY
// is set) from a prepared start directory: interval 2000 ms, sound, nudge
// and auto-save on. Whether the sound really plays depends on a sound
// server; the benchmark asks `pactl list sink-inputs` whether the program
// has an uncorked stream and says so.
//
//   bench_nudge_cpu [seconds]     (default 60; the idle baseline takes a
//                                  sixth of that, at most 10 s)
// Exits non-zero when nudging costs more than 0.30% of one core or wakes the
// program more than 10 times a second.

#include "bench/PrivateXServer.h"
#include "bench/WindowTitle.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double TargetShare = 0.003;
constexpr double TargetWakeUps = 10;
constexpr auto WindowTimeout = std::chrono::seconds(30);
// Long enough after the window shows for the first nudge (2 s interval) to
// have fired and the sound to be looping.
constexpr auto SettleTime = std::chrono::seconds(3);

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "bench_nudge_cpu: %s\n", message.c_str());
    std::exit(1);
}

// CPU seconds used so far by process `pid` and all its threads, or nothing
// when the process is gone.
std::optional<double> CpuSeconds(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it
    // start with the state (field 3), so utime and stime (14 and 15) are the
    // 12th and 13th after the closing parenthesis.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 13 || fields[0] == "Z")
        return std::nullopt;
    bool okUser = false, okSystem = false;
    const qulonglong user = fields[11].toULongLong(&okUser);
    const qulonglong system = fields[12].toULongLong(&okSystem);
    if (!okUser || !okSystem)
        return std::nullopt;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// Context switches so far of all threads of process `pid`: each one a
// wake-up or a preemption, which shows how often the program stirs.
long long ContextSwitches(pid_t pid)
{
    long long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/status"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") ||
                line.startsWith("nonvoluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

// Whether a viewable window titled `title` is on the display, looking at the
// root's children and their children (a window manager reparents top-level
// windows into frames).
class TWindowFinder
{
public:
    explicit TWindowFinder(const std::string &display)
    {
        connection_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection_))
            fail("cannot connect to the X server " + display);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~TWindowFinder() { xcb_disconnect(connection_); }
    TWindowFinder(const TWindowFinder &) = delete;
    TWindowFinder &operator=(const TWindowFinder &) = delete;

    bool Shows(const QByteArray &title) { return Search(root_, title, 2); }

private:
    bool Search(xcb_window_t parent, const QByteArray &title, int depth)
    {
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr);
        if (!tree)
            return false;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        bool found = false;
        for (int i = 0; i < count && !found; ++i) {
            if (IsViewable(children[i]) && TitleOf(children[i]) == title)
                found = true;
            else if (depth > 1)
                found = Search(children[i], title, depth - 1);
        }
        std::free(tree);
        return found;
    }

    bool IsViewable(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr);
        const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return viewable;
    }

    QByteArray TitleOf(xcb_window_t window) { return WindowTitle(connection_, window); }

    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = 0;
};

enum class TSound
{
    Unknown, // no pactl, or no sound server answering
    Silent,  // the server knows no stream of the program
    Corked,  // the program has a stream, paused
    Playing
};

const char *Describe(TSound sound)
{
    switch (sound) {
    case TSound::Unknown:
        return "unknown (no pactl or no sound server)";
    case TSound::Silent:
        return "NOT playing (the sound server has no stream from the program)";
    case TSound::Corked:
        return "NOT playing (the program's stream is paused)";
    case TSound::Playing:
        return "playing (an uncorked stream from the program on the sound server)";
    }
    return "";
}

// What the sound server says about the streams of process `pid`.
TSound SoundOf(pid_t pid)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
        return TSound::Unknown;
    QProcess pactl;
    pactl.setProcessChannelMode(QProcess::SeparateChannels);
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000) || pactl.exitStatus() != QProcess::NormalExit ||
        pactl.exitCode() != 0)
        return TSound::Unknown;
    const QString listing = QString::fromLocal8Bit(pactl.readAllStandardOutput());
    const QRegularExpression processId(
        QStringLiteral("application\\.process\\.id = \"%1\"").arg(pid));
    const QRegularExpression corked(QStringLiteral("^\\s*Corked: yes"),
                                    QRegularExpression::MultilineOption);
    TSound result = TSound::Silent;
    for (const QString &block : listing.split(QStringLiteral("Sink Input #"))) {
        if (!processId.match(block).hasMatch())
            continue;
        if (!corked.match(block).hasMatch())
            return TSound::Playing;
        result = TSound::Corked;
    }
    return result;
}

struct TFigure
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double serverCpuSeconds = -1; // the private X server's, when it is ours
    long long switches = 0;
    TSound soundBefore = TSound::Unknown;
    TSound soundAfter = TSound::Unknown;

    double share() const { return cpuSeconds / wallSeconds; }
    double wakeUps() const { return double(switches) / wallSeconds; }
    double serverShare() const { return serverCpuSeconds / wallSeconds; }
};

// The running program; ended with SIGTERM, then SIGKILL, when it goes.
class TRunningNudger
{
public:
    TRunningNudger(const QString &startDirectory, const std::string &display)
    {
        const QByteArray program = QFile::encodeName(QStringLiteral(NUDGER_PROGRAM));
        const QByteArray directory = QFile::encodeName(startDirectory);
        const QByteArray log = QFile::encodeName(startDirectory + QStringLiteral("/nudger.log"));
        // The private data folder (the recovery copies) inside the start
        // directory, away from the user's own.
        const QByteArray data = QFile::encodeName(startDirectory + QStringLiteral("/.data"));
        pid_ = fork();
        if (pid_ < 0)
            fail("fork failed");
        if (pid_ == 0) {
            if (chdir(directory.constData()) != 0)
                _exit(126);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("XDG_DATA_HOME", data.constData(), 1);
            unsetenv("QT_QPA_PLATFORM");
            unsetenv("WAYLAND_DISPLAY");
            const int null = open("/dev/null", O_RDWR);
            const int output = open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(null, STDIN_FILENO);
            dup2(output >= 0 ? output : null, STDOUT_FILENO);
            dup2(output >= 0 ? output : null, STDERR_FILENO);
            execl(program.constData(), program.constData(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    ~TRunningNudger()
    {
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    TRunningNudger(const TRunningNudger &) = delete;
    TRunningNudger &operator=(const TRunningNudger &) = delete;

    pid_t pid() const { return pid_; }

    bool Ended() const
    {
        siginfo_t info{};
        return waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
    }

private:
    pid_t pid_ = -1;
};

// Prepares a start directory with the given nudge setting; the primary file
// is set, so the program opens its main window without asking.
void PrepareStartDirectory(const QString &directory, bool nudge)
{
    QFile::remove(directory + QStringLiteral("/nudger.dat"));
    if (!QFile::copy(QStringLiteral(NUDGER_DATA_FILE), directory + QStringLiteral("/nudger.dat")))
        fail("cannot copy " NUDGER_DATA_FILE " into the start directory");
    const QString manual = QStringLiteral(NUDGER_SOURCE_TREE "/resources/Manual.html");
    if (QFile::exists(manual) && !QFile::exists(directory + QStringLiteral("/Manual.html")))
        QFile::copy(manual, directory + QStringLiteral("/Manual.html"));
    const QStringList arguments{
        directory,
        QStringLiteral("PrimaryFile=") + directory + QStringLiteral("/text.txt"),
        QStringLiteral("Interval=2000"),
        QStringLiteral("SoundEnabled=YES"),
        nudge ? QStringLiteral("NudgeEnabled=YES") : QStringLiteral("NudgeEnabled=NO"),
        QStringLiteral("AutoSaveEnabled=YES")};
    if (QProcess::execute(QStringLiteral(NUDGER_CONFIG_PROGRAM), arguments) != 0)
        fail("nudger_config could not prepare the start directory");
}

// Starts the program from `directory`, waits for its window and the settle
// time, then measures its CPU use over `seconds` of wall time.
TFigure Measure(const QString &directory, const std::string &display, pid_t serverPid,
                double seconds)
{
    TWindowFinder finder(display);
    TRunningNudger nudger(directory, display);

    const auto windowDeadline = Clock::now() + WindowTimeout;
    while (!finder.Shows(QByteArrayLiteral("Nudger"))) {
        if (nudger.Ended())
            fail("Nudger ended before showing its window (see the log in the start directory)");
        if (Clock::now() > windowDeadline)
            fail("Nudger showed no window titled \"Nudger\" within 30 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(SettleTime);

    TFigure figure;
    figure.soundBefore = SoundOf(nudger.pid());
    const std::optional<double> serverBefore = serverPid > 0 ? CpuSeconds(serverPid) : std::nullopt;
    const long long switchesBefore = ContextSwitches(nudger.pid());
    const std::optional<double> before = CpuSeconds(nudger.pid());
    const auto started = Clock::now();
    if (!before)
        fail("Nudger ended before the measurement");
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::optional<double> after = CpuSeconds(nudger.pid());
    figure.switches = ContextSwitches(nudger.pid()) - switchesBefore;
    const std::optional<double> serverAfter = serverPid > 0 ? CpuSeconds(serverPid) : std::nullopt;
    figure.wallSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (!after)
        fail("Nudger ended during the measurement");
    figure.cpuSeconds = *after - *before;
    if (serverBefore && serverAfter)
        figure.serverCpuSeconds = *serverAfter - *serverBefore;
    figure.soundAfter = SoundOf(nudger.pid());
    return figure;
}

void Print(const char *label, const TFigure &figure)
{
    std::printf("  %-26s %6.3f%% of one core (%.2f CPU s over %.1f s, %.0f wake-ups/s)", label,
                figure.share() * 100, figure.cpuSeconds, figure.wallSeconds, figure.wakeUps());
    if (figure.serverCpuSeconds >= 0)
        std::printf("; X server %.3f%%", figure.serverShare() * 100);
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    double seconds = 60;
    if (argc > 1) {
        char *end = nullptr;
        seconds = std::strtod(argv[1], &end);
        if (end == argv[1] || *end != '\0' || !(seconds >= 1) || seconds > 3600) {
            std::fprintf(stderr, "usage: bench_nudge_cpu [seconds, 1 <= seconds <= 3600]\n");
            return 2;
        }
    }
    const double idleSeconds = std::min(10.0, std::max(1.0, seconds / 6));

    QTemporaryDir directory;
    if (!directory.isValid())
        fail("cannot make a temporary start directory");

    std::optional<TPrivateXServer> server;
    std::string display;
    if (const char *current = std::getenv("DISPLAY"); current && *current) {
        display = current;
    } else {
        server.emplace(&fail);
        display = server->display();
    }
    const pid_t serverPid = server ? server->pid() : -1;

    std::printf("bench_nudge_cpu: the Nudger program on X server %s, interval 2 s, "
                "sound on; idle %.0f s, nudging %.0f s\n",
                display.c_str(), idleSeconds, seconds);
    std::fflush(stdout);

    PrepareStartDirectory(directory.path(), false);
    const TFigure idle = Measure(directory.path(), display, serverPid, idleSeconds);

    PrepareStartDirectory(directory.path(), true);
    const TFigure nudging = Measure(directory.path(), display, serverPid, seconds);

    const bool cpuMet = nudging.share() <= TargetShare;
    const bool wakeUpsMet = nudging.wakeUps() <= TargetWakeUps;
    std::printf("  (CPU time is counted in clock ticks of %.0f ms)\n",
                1000.0 / double(sysconf(_SC_CLK_TCK)));
    Print("idle, nudge off (baseline):", idle);
    Print("nudging, sound looping:", nudging);
    std::printf("  nudging costs %.3f%% of one core (target: at most %.2f%%) %s\n",
                nudging.share() * 100, TargetShare * 100, cpuMet ? "met" : "MISSED");
    std::printf("  nudging wakes the program %.1f times a second (target: at most %.0f) %s\n",
                nudging.wakeUps(), TargetWakeUps, wakeUpsMet ? "met" : "MISSED");
    if (nudging.soundBefore == nudging.soundAfter)
        std::printf("  sound during the measurement: %s\n", Describe(nudging.soundAfter));
    else
        std::printf("  sound at the start of the measurement: %s\n"
                    "  sound at its end: %s\n",
                    Describe(nudging.soundBefore), Describe(nudging.soundAfter));
    return cpuMet && wakeUpsMet ? 0 : 1;
}
