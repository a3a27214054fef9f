// Scrambling and unscrambling 10 MB beside the plain hexadecimal form of the
// same bytes, both measured in this run. Each figure is the best of a few
// runs. Target: a scramble and unscramble together take at most ten times as
// long as QByteArray::toHex.
#include "storage/TovrinDataEncode_Unit.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

constexpr qsizetype DataSize = 10 * 1024 * 1024;
constexpr int Runs = 5;
constexpr double TargetRatio = 10.0;

double BestSeconds(const std::function<void()> &work)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

} // namespace

int main()
{
    QByteArray data(DataSize, Qt::Uninitialized);
    QRandomGenerator generator(20240501);
    for (char &c : data)
        c = static_cast<char>(generator.bounded(256));

    QByteArray hex;
    const double hexSeconds = BestSeconds([&] { hex = data.toHex(); });

    QByteArray scrambled;
    QByteArray unscrambled;
    const double scrambleSeconds = BestSeconds([&] {
        scrambled = ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                 TovrinKeys::ConfigurationKey, data);
        unscrambled = UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                     TovrinKeys::ConfigurationKey, scrambled);
    });
    if (unscrambled != data || hex.size() != 2 * data.size()) {
        std::printf("bench_scramble: the round trip did not give the bytes back\n");
        return 1;
    }

    const double ratio = scrambleSeconds / hexSeconds;
    std::printf("bench_scramble: 10 MB scramble+unscramble %.1f ms, toHex baseline %.1f ms "
                "(best of %d)\n",
                scrambleSeconds * 1000, hexSeconds * 1000, Runs);
    std::printf("bench_scramble: ratio %.2fx, target at most %.0fx: %s\n", ratio, TargetRatio,
                ratio <= TargetRatio ? "met" : "MISSED");
    return ratio <= TargetRatio ? 0 : 1;
}
