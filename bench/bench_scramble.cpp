// Scrambling and unscrambling 10 MB beside a plain byte-by-byte round trip of
// the same bytes through the same sizes of text, in alternated rounds of one
// run (bench/Rounds.h).
//
// The baseline encodes each byte as two hexadecimal characters through a
// table, one byte at a time, then decodes the text back the same way: the
// work any reversible text form of the bytes must do, with no key, no
// permutation and no line breaks. It reads and writes as much memory as the
// scramble and grows with the text as the scramble does, so the ratio tells
// what the scrambling itself costs. QByteArray::toHex, the baseline before,
// is one vectorised pass that writes half as much: a busy machine or cold
// caches moved its ratio to the scramble by 30% from run to run. Both sides
// are timed in this thread's CPU time, which leaves out the time spent
// waiting for a core that another program holds.
//
// Target: a scramble and unscramble together take at most 5 times as long
// as the plain round trip (today about 4.4 times). The earlier target, ten
// times toHex, is about 5.4 times this baseline on the machine where both
// were measured; 5 keeps that promise and fails an added pass over the text.
#include "bench/Rounds.h"
#include "storage/TovrinDataEncode_Unit.h"

#include <QRandomGenerator>

#include <array>
#include <cstdio>

namespace {

constexpr qsizetype DataSize = 10 * 1024 * 1024;
constexpr int Rounds = 21;
constexpr int WarmUps = 2;
constexpr double TargetRatio = 5.0;

// Two characters for each byte, looked up one byte at a time.
QByteArray PlainEncode(const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    QByteArray text(2 * bytes.size(), Qt::Uninitialized);
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.constData());
    char *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[2 * i] = digits[in[i] >> 4];
        out[2 * i + 1] = digits[in[i] & 15];
    }
    return text;
}

QByteArray PlainDecode(const QByteArray &text)
{
    static const auto values = [] {
        std::array<unsigned char, 256> table{};
        for (int c = 0; c < 10; ++c)
            table[size_t('0' + c)] = static_cast<unsigned char>(c);
        for (int c = 0; c < 6; ++c)
            table[size_t('a' + c)] = static_cast<unsigned char>(10 + c);
        return table;
    }();
    QByteArray bytes(text.size() / 2, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const unsigned char *>(text.constData());
    char *out = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<char>(values[in[2 * i]] << 4 | values[in[2 * i + 1]]);
    return bytes;
}

} // namespace

int main()
{
    QByteArray data(DataSize, Qt::Uninitialized);
    QRandomGenerator generator(20240501);
    for (char &c : data)
        c = static_cast<char>(generator.bounded(256));

    QByteArray scrambled;
    QByteArray unscrambled;
    QByteArray plainText;
    QByteArray plainBack;
    const TAlternated rounds = Alternate(
        Rounds, WarmUps, [&](bool) {},
        [&] {
            scrambled = ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                     TovrinKeys::ConfigurationKey, data);
            unscrambled = UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                         TovrinKeys::ConfigurationKey, scrambled);
        },
        [&] {
            plainText = PlainEncode(data);
            plainBack = PlainDecode(plainText);
        },
        TClock::ThreadCpu);
    if (unscrambled != data || plainBack != data) {
        std::printf("bench_scramble: the round trip did not give the bytes back\n");
        return 1;
    }

    const TRatioSpread spread = rounds.Spread();
    const bool met = spread.Median <= TargetRatio;
    std::printf("bench_scramble: 10 MB scramble+unscramble %.1f ms, plain byte-by-byte round "
                "trip %.1f ms (medians)\n",
                rounds.SubjectMedianMs(), rounds.BaselineMedianMs());
    std::printf("bench_scramble: ratio %.2fx (%s), target at most %.1fx: %s\n", spread.Median,
                DescribeSpread(spread).c_str(), TargetRatio, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
