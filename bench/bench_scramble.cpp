// Scrambling and unscrambling 10 MB beside a plain round trip of the same
// bytes through the same text form, in alternated rounds of one run
// (bench/Rounds.h).
//
// The baseline is a transform of the same kind without the key: each byte
// through one table of 256, written as two hexadecimal digits and broken
// into the scrambled form's lines (the scramble's own TextToHex and
// InsertLineBreaks), then back the same way (RemoveLineBreaks, HexToText,
// the table's inverse). It makes the same passes over the same sizes of
// text; what the scramble does beyond it is the key's work, the rotation of
// each byte by its position's amount and the keyed exchange of every
// digit. Both sides are timed in this thread's CPU time, which leaves out
// the time spent waiting for a core that another program holds.
//
// The baseline before, a byte-by-byte hexadecimal round trip with no line
// breaks, made fewer passes than the scramble, so the processor's speed at
// copying memory against its speed at looking bytes up moved the ratio by
// half from one host to the next (6.26 on one, 4.06 on another, for the
// same code); it is printed as a reference.
//
// Every buffer comes from the heap, already paged in (below): with a fresh
// mapping for each 20 MB buffer, the page faults, whose cost differs from
// one host to the next, weighed on the scramble's extra buffers, and the
// ratio moved with them.
//
// Target: a scramble and unscramble together take at most 2 times as long
// as the plain round trip of the same kind (today 1.7 to 1.8 times); one
// more encoding pass over the text (a fifth of the scramble) fails it.
#include "app/PlatformDependence_Unit.h"
#include "bench/Rounds.h"
#include "storage/TovrinDataEncode_Unit.h"

#include <QRandomGenerator>

#include <array>
#include <cstdint>
#include <cstdio>

#include <malloc.h>

namespace {

constexpr qsizetype DataSize = 10 * 1024 * 1024;
constexpr int Rounds = 21;
constexpr int WarmUps = 2;
constexpr double TargetRatio = 2.0;

using TByteTable = std::array<unsigned char, 256>;

// Each byte rotated right by three, and its inverse: a transform as cheap
// as the scramble's rotation, with no key.
const TByteTable &Forward()
{
    static const TByteTable table = [] {
        TByteTable forward{};
        for (int b = 0; b < 256; ++b)
            forward[size_t(b)] = static_cast<unsigned char>(RotateByteRight(std::uint8_t(b), 3));
        return forward;
    }();
    return table;
}

const TByteTable &Backward()
{
    static const TByteTable table = [] {
        TByteTable backward{};
        for (int b = 0; b < 256; ++b)
            backward[Forward()[size_t(b)]] = static_cast<unsigned char>(b);
        return backward;
    }();
    return table;
}

QByteArray Transform(QByteArray bytes, const TByteTable &table)
{
    auto *data = reinterpret_cast<unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        data[i] = table[data[i]];
    return bytes;
}

QByteArray PlainForm(const QByteArray &bytes)
{
    return InsertLineBreaks(TextToHex(Transform(bytes, Forward())));
}

QByteArray PlainBack(const QByteArray &text)
{
    return Transform(HexToText(RemoveLineBreaks(text)), Backward());
}

// The reference of the rounds before: two characters for each byte,
// looked up one byte at a time, and back, with no line breaks.
QByteArray ByteHexEncode(const QByteArray &bytes)
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

QByteArray ByteHexDecode(const QByteArray &text)
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
    // Every buffer of the rounds comes from the heap and goes back to it, so
    // that both sides reuse memory already paged in: otherwise each 20 MB
    // buffer is a fresh mapping or not as the C library's threshold for
    // them moves, and its page faults, whose cost differs from host to host,
    // fall now on one side, now on the other.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QByteArray data(DataSize, Qt::Uninitialized);
    QRandomGenerator generator(20240501);
    for (char &c : data)
        c = static_cast<char>(generator.bounded(256));

    QByteArray scrambled;
    QByteArray unscrambled;
    QByteArray plainText;
    QByteArray plainBack;
    const auto scramble = [&] {
        scrambled = ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                 TovrinKeys::ConfigurationKey, data);
        unscrambled = UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                     TovrinKeys::ConfigurationKey, scrambled);
    };
    const TAlternated rounds = Alternate(
        Rounds, WarmUps, [&](bool) {}, scramble,
        [&] {
            plainText = PlainForm(data);
            plainBack = PlainBack(plainText);
        },
        TClock::ThreadCpu);
    if (unscrambled != data || plainBack != data || plainText.size() != scrambled.size()) {
        std::printf("bench_scramble: the round trips did not give the bytes back in the same "
                    "size of text\n");
        return 1;
    }
    QByteArray byteText;
    QByteArray byteBack;
    const TAlternated reference = Alternate(
        Rounds, WarmUps, [&](bool) {}, scramble,
        [&] {
            byteText = ByteHexEncode(data);
            byteBack = ByteHexDecode(byteText);
        },
        TClock::ThreadCpu);

    const TRatioSpread spread = rounds.Spread();
    const bool met = spread.Median <= TargetRatio;
    std::printf("bench_scramble: 10 MB scramble+unscramble %.1f ms, the same round trip without "
                "the key (a table per byte, hexadecimal digits, the scrambled form's lines) "
                "%.1f ms (medians)\n",
                rounds.SubjectMedianMs(), rounds.BaselineMedianMs());
    std::printf("bench_scramble: ratio %.2fx (%s), target at most %.1fx: %s\n", spread.Median,
                DescribeSpread(spread).c_str(), TargetRatio, met ? "met" : "MISSED");
    const TRatioSpread old = reference.Spread();
    std::printf("bench_scramble: (reference) against a byte-by-byte hexadecimal round trip with "
                "no lines, %.1f ms: %.2fx (%s)\n",
                reference.BaselineMedianMs(), old.Median, DescribeSpread(old).c_str());
    return met ? 0 : 1;
}
