// The looping nudge sound as the writer's machine feels it and hears it:
//  - the delay from Play to the first sample heard, for the very first Play
//    of the process (which loads libpulse and connects to the sound server)
//    and for a later one, taken from a recording of the default sink's
//    monitor (parec);
//  - the CPU share and wake-ups of the process while a TWavePlayer loops the
//    embedded wave, beside the same figures for the idle event loop,
//    measured first in the same run.
//
// Usage: bench_sound_cpu [seconds]   (default 20)
// Exits non-zero when the loop costs more than 1% of one core or the first
// sample comes more than 100 ms after Play.

#include "sound/PulseWaveService_Unit.h"
#include "sound/WavePlay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double TargetShare = 0.01;
constexpr double TargetFirstSampleMs = 100;
// A recorded sample this loud (share of full scale) is the chime; the
// faint tone that keeps a test sink running stays far below it.
constexpr double LoudLevel = 0.03;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec) +
           (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e6;
}

// Context switches so far of every thread of this process, ended ones
// included: each one a wake-up or a preemption.
long long ContextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

struct TShare
{
    double share = 0;   // CPU seconds over wall seconds
    double wakeUps = 0; // per wall second
};

// Runs the event loop for `seconds`.
TShare Measure(QCoreApplication &app, double seconds)
{
    const double cpuBefore = CpuSeconds();
    const long long switchesBefore = ContextSwitches();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    return {(CpuSeconds() - cpuBefore) / wallSeconds,
            double(ContextSwitches() - switchesBefore) / wallSeconds};
}

// Where the chime first gets loud, in milliseconds from its first sample.
double FirstLoudInWave()
{
    QFile file(WaveResourcePath(QStringLiteral("NUDGE_WAVE")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray samples = file.readAll().mid(44);
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (std::abs(int(quint8(samples[i])) - 128) >= LoudLevel * 128)
            return double(i) * 1000.0 / 22050.0;
    }
    return 0;
}

// Records the default sink's monitor through parec in 5 ms pieces and notes
// when a loud sample was played, from the piece's arrival: a few
// milliseconds late at most, never early. A separate process, so that
// libpulse is not loaded here before the player loads it.
class TMonitorRecorder
{
public:
    bool Open()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        FRecorder = fork();
        if (FRecorder == 0) {
            dup2(fds[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            close(fds[0]);
            execlp("parec", "parec", "-d", "@DEFAULT_MONITOR@", "--raw", "--format=s16le",
                   "--rate=22050", "--channels=1", "--latency-msec=5",
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        FPipe = fds[0];
        // Something must arrive: the faint tone that keeps a test sink
        // running, or silence from a real one.
        qint16 first[PieceFrames];
        if (FRecorder < 0 || !ReadPiece(first))
            return false;
        FThread = std::thread([this] { Run(); });
        return true;
    }
    ~TMonitorRecorder()
    {
        if (FRecorder > 0) {
            kill(FRecorder, SIGTERM);
            waitpid(FRecorder, nullptr, 0);
        }
        if (FThread.joinable())
            FThread.join();
        if (FPipe >= 0)
            close(FPipe);
    }

    // The next loud sample played at or after `from` counts.
    void Arm(Clock::time_point from)
    {
        FHeardNs = -1;
        FArmedNs = Ns(from);
    }
    // When the first loud sample since Arm was played, or nothing yet.
    std::optional<Clock::time_point> Heard() const
    {
        const long long ns = FHeardNs.load();
        if (ns < 0)
            return std::nullopt;
        return Clock::time_point(std::chrono::nanoseconds(ns));
    }
    // When the last loud sample was played.
    Clock::time_point LastLoud() const
    {
        return Clock::time_point(std::chrono::nanoseconds(FLastLoudNs.load()));
    }

private:
    static constexpr int Rate = 22050;
    static constexpr int PieceFrames = Rate / 200;

    static long long Ns(Clock::time_point t)
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    }

    bool ReadPiece(qint16 *piece)
    {
        auto *bytes = reinterpret_cast<char *>(piece);
        size_t done = 0;
        while (done < sizeof(qint16) * PieceFrames) {
            const ssize_t n = read(FPipe, bytes + done, sizeof(qint16) * PieceFrames - done);
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    }

    void Run()
    {
        qint16 piece[PieceFrames];
        while (ReadPiece(piece)) {
            const Clock::time_point now = Clock::now();
            for (int i = 0; i < PieceFrames; ++i) {
                if (std::abs(piece[i]) < LoudLevel * 32768)
                    continue;
                const auto ago =
                    std::chrono::microseconds((long long)(PieceFrames - i) * 1000000 / Rate);
                const long long played = Ns(now - ago);
                FLastLoudNs = played;
                if (FHeardNs.load() < 0 && played >= FArmedNs.load())
                    FHeardNs = played;
            }
        }
    }

    pid_t FRecorder = -1;
    int FPipe = -1;
    std::thread FThread;
    std::atomic<long long> FArmedNs{0};
    std::atomic<long long> FHeardNs{-1};
    std::atomic<long long> FLastLoudNs{0};
};

// Plays the nudge and waits (up to 3 s) for it to be heard; the delay from
// Play to the wave's first sample heard, in milliseconds, or nothing.
std::optional<double> FirstSampleDelay(QCoreApplication &app, TWavePlayer &player,
                                       TMonitorRecorder &recorder, double loudOffsetMs)
{
    // Whatever played before must have died away.
    QElapsedTimer quiet;
    quiet.start();
    while (Clock::now() - recorder.LastLoud() < std::chrono::milliseconds(300) &&
           quiet.elapsed() < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const Clock::time_point asked = Clock::now();
    recorder.Arm(asked);
    player.Play();
    QElapsedTimer waited;
    waited.start();
    while (!recorder.Heard() && waited.elapsed() < 3000) {
        app.processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::optional<Clock::time_point> heard = recorder.Heard();
    if (!heard)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(*heard - asked).count() - loudOffsetMs;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    double seconds = 20;
    if (argc > 1) {
        char *end = nullptr;
        seconds = std::strtod(argv[1], &end);
        if (end == argv[1] || *end != '\0' || !(seconds > 0) || seconds > 3600) {
            std::fprintf(stderr, "usage: bench_sound_cpu [seconds, 0 < seconds <= 3600]\n");
            return 2;
        }
    }

    const TShare idle = Measure(app, seconds < 8 ? seconds / 4 : 2.0);

    // The recorder runs only while the delays are taken: its own wake-ups
    // must not count against the loop.
    auto recorder = std::make_unique<TMonitorRecorder>();
    const bool haveServer = recorder->Open();
    std::printf("bench_sound_cpu: looping NUDGE_WAVE for %.1f s (%s)\n", seconds,
                haveServer ? "playing on the default sound server"
                           : "no sound server: measuring the player without sound");

    SetDefaultWaveService(&PulseWaveService());
    TWavePlayer player;
    player.SetResourceWave(QStringLiteral("NUDGE_WAVE"));
    std::optional<double> firstDelay;
    std::optional<double> laterDelay;
    if (haveServer) {
        const double loudOffsetMs = FirstLoudInWave();
        firstDelay = FirstSampleDelay(app, player, *recorder, loudOffsetMs);
        player.Stop();
        laterDelay = FirstSampleDelay(app, player, *recorder, loudOffsetMs);
        player.Stop();
    }
    recorder.reset();
    player.Play();
    const TShare looping = Measure(app, seconds);
    player.Stop();

    const bool cpuMet = looping.share <= TargetShare;
    std::printf("  idle event loop (baseline):  %6.3f%% of one core, %5.1f wake-ups/s\n",
                idle.share * 100, idle.wakeUps);
    std::printf("  looping nudge sound:         %6.3f%% of one core, %5.1f wake-ups/s "
                "(target: at most %.2f%%) %s\n",
                looping.share * 100, looping.wakeUps, TargetShare * 100, cpuMet ? "met" : "MISSED");
    bool delayMet = true;
    if (haveServer) {
        const auto print = [](const char *label, const std::optional<double> &delay) {
            if (delay)
                std::printf("  %-28s %6.1f ms from Play to the first sample heard", label, *delay);
            else
                std::printf("  %-28s the sound was not heard within 3 s", label);
        };
        delayMet = firstDelay && *firstDelay <= TargetFirstSampleMs;
        print("first Play of the process:", firstDelay);
        std::printf(" (target: at most %.0f ms) %s\n", TargetFirstSampleMs,
                    delayMet ? "met" : "MISSED");
        print("a later Play:", laterDelay);
        std::printf("\n");
    }
    return cpuMet && delayMet ? 0 : 1;
}
