// CPU cost of the looping nudge sound: the process's CPU time over wall time
// while a TWavePlayer loops the embedded wave, beside the same figure for the
// idle event loop, measured first in the same run.
//
// Usage: bench_sound_cpu [seconds]   (default 20)
// Exits non-zero when the loop costs more than 1% of one core.

#include "sound/WavePlay.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr double TargetShare = 0.01;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec) +
           (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e6;
}

// Runs the event loop for `seconds` and returns CPU seconds over wall seconds.
double ShareOfOneCore(QCoreApplication &app, double seconds)
{
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    return (CpuSeconds() - cpuBefore) / wallSeconds;
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

    const bool haveSink = !QMediaDevices::defaultAudioOutput().isNull();
    std::printf("bench_sound_cpu: looping NUDGE_WAVE for %.1f s (%s)\n", seconds,
                haveSink ? "playing on the default audio output"
                         : "no audio output found: measuring the player without sound");

    const double idle = ShareOfOneCore(app, seconds < 8 ? seconds / 4 : 2.0);

    TWavePlayer player;
    player.SetResourceWave(QStringLiteral("NUDGE_WAVE"));
    player.Play();
    const double looping = ShareOfOneCore(app, seconds);
    player.Stop();

    const bool met = looping <= TargetShare;
    std::printf("  idle event loop (baseline): %6.3f%% of one core\n", idle * 100);
    std::printf("  looping nudge sound:        %6.3f%% of one core (target: at most %.2f%%) %s\n",
                looping * 100, TargetShare * 100, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
