// Start-up cost of Nudger beside a bare Qt editor window (bare_window), both
// started as real programs on a private X server, in alternated rounds
// (bench/Rounds.h): each round starts every program, in an order that
// rotates from round to round, and each figure is the median of the rounds'
// ratios to the bare window of the same round. Nudger is started a second
// way too, with no sound server to be found, which must not delay its window
// either, and Nudger's window alone (spec_window: its controls and menus,
// built as Nudger builds them, with nothing behind them) shows how much of
// Nudger's memory its window itself takes.
//
// Time: from just before the program is started until the X server reports
// its main window mapped (a MapNotify on the root window for a window with
// the expected title), less the time the program sat ready to run while
// another program held the cores. Each round starts every program twice
// and keeps its quicker start. Memory: the peak resident set at the first
// paint, read the moment the window's first picture reaches the X server (a
// DamageNotify of the X DAMAGE extension, watched from the window's
// creation): the program is stopped there (SIGSTOP), its peak so far
// (VmHWM) and its resident set by parts (/proc/<pid>/smaps) are read, and
// it goes on. What a program does after its first paint does not count; its
// peak over its whole life until the close is printed beside it. The
// libraries Nudger loads only when they are first needed (the sound's) must
// not be mapped at the first paint. The programs are not changed for the
// measurement: the benchmark watches the X server, then asks the window to
// close as a window manager would (WM_DELETE_WINDOW).
//
//   bench_startup [rounds]       (default 21 rounds after one warm-up round;
//                                the medians of fewer wander by a few per cent)

#include "bench/MemoryParts.h"
#include "bench/PrivateXServer.h"
#include "bench/Rounds.h"
#include "bench/WindowTitle.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double StartupTarget = 1.2;
constexpr double MemoryTarget = 1.1;
constexpr int StartsPerRound = 2;
constexpr auto WindowTimeout = std::chrono::seconds(30);
constexpr auto ExitTimeout = std::chrono::seconds(10);

constexpr auto PaintTimeout = std::chrono::seconds(5);
// Libraries loaded only when first needed, never before the first paint.
const char *const LaterLibraries[] = {"libpulse", "libsqlite3", "libenchant", "libhunspell"};

struct Sample
{
    double milliseconds = 0; // wall time, less the waits for a core
    double wallMilliseconds = 0;
    long peakKilobytes = 0; // over the program's whole life
    TMemoryParts atPaint;   // at its first paint
};

struct Program
{
    QString label;
    QString path;
    QByteArray title;
    QString startDirectory;
    std::vector<Sample> samples;
    // Set in the program's environment: name, value.
    std::vector<std::pair<QByteArray, QByteArray>> environment = {};
};

[[noreturn]] void fail(const std::string &message)
{
    std::fprintf(stderr, "bench_startup: %s\n", message.c_str());
    std::exit(1);
}

// Watches the root window for top-level windows being mapped.
class TMapWatcher
{
public:
    explicit TMapWatcher(const std::string &display)
    {
        connection_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection_))
            fail("cannot connect to " + display);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const xcb_query_extension_reply_t *damage =
            xcb_get_extension_data(connection_, &xcb_damage_id);
        if (!damage || !damage->present)
            fail("the X server has no DAMAGE extension");
        damageNotify_ = damage->first_event + XCB_DAMAGE_NOTIFY;
        std::free(xcb_damage_query_version_reply(
            connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        wmProtocols_ = atom("WM_PROTOCOLS");
        wmDeleteWindow_ = atom("WM_DELETE_WINDOW");
        xcb_flush(connection_);
    }
    ~TMapWatcher() { xcb_disconnect(connection_); }
    TMapWatcher(const TMapWatcher &) = delete;
    TMapWatcher &operator=(const TMapWatcher &) = delete;

    // Waits until a window titled `title` is mapped or the process ends.
    std::optional<xcb_window_t> waitForWindow(const QByteArray &title, pid_t pid,
                                              Clock::time_point deadline)
    {
        std::optional<xcb_window_t> found;
        waitFor(pid, deadline, [&](xcb_generic_event_t *event) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (titleOf(map->window) == title)
                    found = map->window;
            }
            return found.has_value();
        });
        return found;
    }

    // Waits until the window's first picture has reached the X server (it
    // may have, already), or the process ends.
    bool waitForFirstPaint(xcb_window_t window, pid_t pid, Clock::time_point deadline)
    {
        if (painted_.count(window))
            return true;
        return waitFor(pid, deadline,
                       [&](xcb_generic_event_t *) { return painted_.count(window); });
    }

    void requestClose(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = wmProtocols_;
        message.data.data32[0] = wmDeleteWindow_;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, false, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char *>(&message));
        xcb_flush(connection_);
    }

private:
    // Handles the X server's events until done says so; false when the
    // process ended or the deadline passed first.
    template <typename TDone> bool waitFor(pid_t pid, Clock::time_point deadline, TDone done)
    {
        const int fd = xcb_get_file_descriptor(connection_);
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
                note(event);
                const bool finished = done(event);
                std::free(event);
                if (finished)
                    return true;
            }
            if (xcb_connection_has_error(connection_))
                fail("lost the X server");
            siginfo_t info{};
            if (waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
                return false; // ended
            pollfd pfd{fd, POLLIN, 0};
            poll(&pfd, 1, 50);
        }
        return false;
    }

    // Every top-level window is watched for drawing from its creation, before
    // anything can be drawn into it.
    void note(const xcb_generic_event_t *event)
    {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *create = reinterpret_cast<const xcb_create_notify_event_t *>(event);
            xcb_damage_create(connection_, xcb_generate_id(connection_), create->window,
                              XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            xcb_flush(connection_);
        } else if (type == damageNotify_) {
            painted_.insert(reinterpret_cast<const xcb_damage_notify_event_t *>(event)->drawable);
        }
    }

    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        if (!reply)
            fail(std::string("cannot intern ") + name);
        const xcb_atom_t result = reply->atom;
        std::free(reply);
        return result;
    }

    QByteArray titleOf(xcb_window_t window) { return WindowTitle(connection_, window); }

    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t wmProtocols_ = 0;
    xcb_atom_t wmDeleteWindow_ = 0;
    uint8_t damageNotify_ = 0;
    std::set<xcb_window_t> painted_;
};

// Milliseconds the threads of process `pid` have spent so far ready to run
// but waiting for a core (the scheduler's run delay, /proc/<pid>/task/*/
// schedstat), or 0 where the kernel does not tell.
double WaitedForCoreMs(pid_t pid)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = file.readAll().simplified().split(' ');
        if (fields.size() >= 2)
            total += fields[1].toDouble() / 1e6;
    }
    return total;
}

// The program file as the kernel names it in the process's mappings.
QByteArray programFile(pid_t pid)
{
    return QFile::encodeName(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget());
}

// The start's time is its wall time less the program's own waits for a
// core: on a machine shared with other work those measure the other work,
// while every wait of the program's own making (a file, a server, a timer)
// still counts.
Sample runOnce(const Program &program, const std::string &display, TMapWatcher &watcher)
{
    const QByteArray path = QFile::encodeName(program.path);
    const QByteArray directory = QFile::encodeName(program.startDirectory);
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        fail("fork failed");
    if (pid == 0) {
        if (chdir(directory.constData()) != 0)
            _exit(126);
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        unsetenv("WAYLAND_DISPLAY");
        // The program's private data stays with its start directory.
        setenv("XDG_DATA_HOME", (directory + "/.data").constData(), 1);
        for (const auto &[name, value] : program.environment)
            setenv(name.constData(), value.constData(), 1);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(path.constData(), path.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }

    const std::optional<xcb_window_t> window =
        watcher.waitForWindow(program.title, pid, started + WindowTimeout);
    const auto shown = Clock::now();
    const double waitedMs = window ? WaitedForCoreMs(pid) : 0;
    Sample sample;
    if (window) {
        if (!watcher.waitForFirstPaint(*window, pid, Clock::now() + PaintTimeout))
            fail(program.label.toStdString() + " drew nothing in its window within 5 s");
        // Held still while it is read.
        kill(pid, SIGSTOP);
        sample.atPaint = ReadMemoryParts(pid, programFile(pid));
        kill(pid, SIGCONT);
        watcher.requestClose(*window);
    } else {
        kill(pid, SIGKILL);
    }

    int status = 0;
    rusage usage{};
    const auto exitDeadline = Clock::now() + ExitTimeout;
    pid_t ended = 0;
    while ((ended = wait4(pid, &status, WNOHANG, &usage)) == 0 && Clock::now() < exitDeadline) {
        pollfd none{-1, 0, 0};
        poll(&none, 0, 20);
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        wait4(pid, &status, 0, &usage);
        fail(program.label.toStdString() + " did not end within 10 s of the close request");
    }
    if (!window)
        fail(program.label.toStdString() + " showed no window titled \"" +
             program.title.toStdString() + "\" (ended early or took over 30 s)");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(program.label.toStdString() + " did not exit cleanly after the close request");

    sample.wallMilliseconds = std::chrono::duration<double, std::milli>(shown - started).count();
    sample.milliseconds = sample.wallMilliseconds - waitedMs;
    sample.peakKilobytes = usage.ru_maxrss;
    return sample;
}

// The median of `value` over the program's samples.
template <typename F> double MedianOf(const Program &program, F value)
{
    std::vector<double> values;
    for (const Sample &sample : program.samples)
        values.push_back(value(sample));
    return Median(values);
}

// The rounds' ratios of `value` between two programs' samples.
template <typename F> TRatioSpread RatioOf(const Program &subject, const Program &baseline, F value)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < subject.samples.size() && i < baseline.samples.size(); ++i)
        ratios.push_back(value(subject.samples[i]) / value(baseline.samples[i]));
    return SpreadOf(ratios);
}

// Copies what exists of the files Nudger expects in its start directory and
// writes a configuration that lets the main window open without the
// first-start dialogs.
void prepareNudgerDirectory(const QString &directory)
{
    const QString programDirectory = QFileInfo(QStringLiteral(NUDGER_PROGRAM)).absolutePath();
    const QString suggestions = programDirectory + QStringLiteral("/nudger.dat");
    if (QFile::exists(suggestions))
        QFile::copy(suggestions, directory + QStringLiteral("/nudger.dat"));
    const QString manual = QStringLiteral(NUDGER_SOURCE_TREE "/resources/Manual.html");
    if (QFile::exists(manual))
        QFile::copy(manual, directory + QStringLiteral("/Manual.html"));

    QString configTool = QStringLiteral(NUDGER_CONFIG_PROGRAM);
    if (configTool.isEmpty() &&
        QFileInfo(programDirectory + QStringLiteral("/nudger_config")).isExecutable())
        configTool = programDirectory + QStringLiteral("/nudger_config");
    if (configTool.isEmpty())
        return;
    const int result =
        QProcess::execute(configTool, {directory, QStringLiteral("PrimaryFile=") + directory +
                                                      QStringLiteral("/text.txt")});
    if (result != 0)
        fail("nudger_config could not prepare the start directory");
}

// The median of each part of the programs' resident sets at their first paint.
TMemoryParts MedianParts(const Program &program)
{
    TMemoryParts parts;
    for (int i = 0; i < int(TPart::Count); ++i) {
        std::vector<double> values;
        for (const Sample &sample : program.samples)
            values.push_back(double(sample.atPaint.Kilobytes[std::size_t(i)]));
        parts.Kilobytes[std::size_t(i)] = long(Median(values));
    }
    return parts;
}

void PrintParts(const Program &nudger, const Program &window, const Program &bare)
{
    const TMemoryParts nudgerParts = MedianParts(nudger);
    const TMemoryParts windowParts = MedianParts(window);
    const TMemoryParts bareParts = MedianParts(bare);
    std::printf("  resident at the first paint, by part (MiB, medians):\n   %-24s", "");
    for (int i = 0; i < int(TPart::Count); ++i)
        std::printf(" %15s", PartName(TPart(i)));
    std::printf(" %8s\n", "all");
    for (const auto &[label, parts] :
         {std::pair{&nudger.label, nudgerParts}, std::pair{&window.label, windowParts},
          std::pair{&bare.label, bareParts}}) {
        std::printf("   %-24s", qPrintable(*label));
        for (const long part : parts.Kilobytes)
            std::printf(" %15.2f", double(part) / 1024.0);
        std::printf(" %8.2f\n", double(parts.Total()) / 1024.0);
    }
    std::printf("   Nudger over its window alone (the program's own): %+.2f MiB: %s\n",
                double(nudgerParts.Total() - windowParts.Total()) / 1024.0,
                DescribePartsOver(nudgerParts, windowParts).c_str());
    std::printf("   its window over the bare window (what the window needs): %+.2f MiB: %s\n",
                double(windowParts.Total() - bareParts.Total()) / 1024.0,
                DescribePartsOver(windowParts, bareParts).c_str());
}

// Whether Nudger mapped, at any first paint, a library it loads only when
// first needed; prints what it found.
bool LoadsNothingLater(std::initializer_list<const Program *> programs)
{
    std::string found;
    for (const Program *program : programs) {
        for (const Sample &sample : program->samples) {
            for (const char *library : LaterLibraries) {
                if (sample.atPaint.Maps(library) && found.find(library) == std::string::npos)
                    found += std::string(found.empty() ? "" : ", ") + library;
            }
        }
    }
    std::string checked;
    for (const char *library : LaterLibraries)
        checked += std::string(checked.empty() ? "" : ", ") + library;
    std::printf("  libraries loaded later (%s), mapped at Nudger's first paint: %s  %s\n",
                checked.c_str(), found.empty() ? "none" : found.c_str(),
                found.empty() ? "ok" : "MISSED");
    return found.empty();
}

} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    QTemporaryDir nudgerDirectory;
    QTemporaryDir bareDirectory;
    if (!nudgerDirectory.isValid() || !bareDirectory.isValid())
        fail("cannot make temporary start directories");
    prepareNudgerDirectory(nudgerDirectory.path());

    Program nudger{QStringLiteral("Nudger"),
                   QStringLiteral(NUDGER_PROGRAM),
                   QByteArrayLiteral("Nudger"),
                   nudgerDirectory.path(),
                   {}};
    Program bare{QStringLiteral("bare window"),
                 QStringLiteral(BARE_WINDOW_PROGRAM),
                 QByteArrayLiteral("Bare window"),
                 bareDirectory.path(),
                 {}};
    Program window{QStringLiteral("Nudger's window alone"),
                   QStringLiteral(SPEC_WINDOW_PROGRAM),
                   QByteArrayLiteral("Nudger's window alone"),
                   bareDirectory.path(),
                   {}};
    // The server address names a socket that cannot exist.
    const QByteArray noServer =
        "unix:" + QFile::encodeName(nudgerDirectory.path()) + "/no-such-folder/native";
    Program silent{QStringLiteral("Nudger, no sound server"),
                   QStringLiteral(NUDGER_PROGRAM),
                   QByteArrayLiteral("Nudger"),
                   nudgerDirectory.path(),
                   {},
                   {{"PULSE_SERVER", noServer}}};

    TPrivateXServer server(&fail);
    TMapWatcher watcher(server.display());

    Program *const programs[] = {&nudger, &bare, &silent, &window};
    constexpr int Count = int(std::size(programs));
    // One unmeasured round warms the file cache and lets Nudger stamp its
    // splash time, so the measured starts are ordinary repeated starts.
    for (Program *program : programs)
        runOnce(*program, server.display(), watcher);
    // A round starts each program StartsPerRound times, all in turn, and
    // keeps each one's quickest start: another program's burst of work can
    // only make a start slower, never quicker.
    for (int i = 0; i < rounds; ++i) {
        // Rotate which program goes first so drift affects all alike.
        Program *order[Count];
        std::copy(std::begin(programs), std::end(programs), order);
        std::rotate(order, order + i % Count, order + Count);
        std::vector<Sample> quickest(Count);
        for (int start = 0; start < StartsPerRound; ++start) {
            for (int p = 0; p < Count; ++p) {
                const Sample sample = runOnce(*order[p], server.display(), watcher);
                if (start == 0 || sample.milliseconds < quickest[size_t(p)].milliseconds)
                    quickest[size_t(p)] = sample;
            }
        }
        for (int p = 0; p < Count; ++p)
            order[p]->samples.push_back(quickest[size_t(p)]);
    }

    const auto time = [](const Sample &s) { return s.milliseconds; };
    const auto memory = [](const Sample &s) { return double(s.atPaint.PeakKilobytes) / 1024.0; };
    const auto lifetime = [](const Sample &s) { return double(s.peakKilobytes) / 1024.0; };
    const TRatioSpread timeRatio = RatioOf(nudger, bare, time);
    const TRatioSpread memoryRatio = RatioOf(nudger, bare, memory);
    const TRatioSpread silentRatio = RatioOf(silent, bare, time);
    const bool timeOk = timeRatio.Median <= StartupTarget;
    const bool memoryOk = memoryRatio.Median <= MemoryTarget;
    const bool silentOk = silentRatio.Median <= StartupTarget;

    std::printf("Start-up, %d alternated rounds (start to main window mapped, X server %s):\n",
                rounds, server.display().c_str());
    const auto wall = [](const Sample &s) { return s.wallMilliseconds; };
    for (const Program *program : {&nudger, &silent, &window, &bare})
        std::printf("  %-24s %8.1f ms (wall %6.1f ms)   peak resident at the first paint %5.1f "
                    "MiB, over its life %5.1f MiB   (medians)\n",
                    qPrintable(program->label), MedianOf(*program, time), MedianOf(*program, wall),
                    MedianOf(*program, memory), MedianOf(*program, lifetime));
    const auto print = [](const char *what, const TRatioSpread &ratio, double target, bool ok) {
        std::printf("  %-38s %.3f (%s; target at most %.2f)  %s\n", what, ratio.Median,
                    DescribeSpread(ratio).c_str(), target, ok ? "ok" : "MISSED");
    };
    print("start-up ratio", timeRatio, StartupTarget, timeOk);
    print("memory ratio at the first paint", memoryRatio, MemoryTarget, memoryOk);
    print("start-up ratio with no sound server", silentRatio, StartupTarget, silentOk);
    const auto reference = [](const char *what, const TRatioSpread &ratio) {
        std::printf("  (reference) %-37s %.3f (%s)\n", what, ratio.Median,
                    DescribeSpread(ratio).c_str());
    };
    reference("memory ratio of its window alone", RatioOf(window, bare, memory));
    reference("memory ratio over the whole life", RatioOf(nudger, bare, lifetime));
    PrintParts(nudger, window, bare);
    const bool laterOk = LoadsNothingLater({&nudger, &silent});
    return timeOk && memoryOk && silentOk && laterOk ? 0 : 1;
}
