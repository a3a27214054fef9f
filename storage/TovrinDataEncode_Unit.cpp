#include "storage/TovrinDataEncode_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Only the first 50 characters of the key material take part; the key
// position k(i) = (i mod 49) + 1 cycles through 1..49.
constexpr int KeyMaterialLength = 150;
constexpr int ExtendedMinimum = 50;
constexpr int KeyCycle = 49;

// Scrambled text is broken into lines: 79 characters before the first
// break, 78 between later ones.
constexpr qsizetype FirstLineLength = 79;
constexpr qsizetype LineLength = 78;

constexpr char HexDigits[] = "0123456789ABCDEF";

unsigned Code(const QByteArray &text, qsizetype position)
{
    return static_cast<unsigned char>(text.at(position - 1));
}

// What the key material gives each position of the cycle: index 0 serves
// the positions i with i mod 49 == 0, so k = index + 1.
struct TKeyCycle
{
    std::array<int, KeyCycle> Rotation{};
    std::array<unsigned, KeyCycle> Product{};
};

TKeyCycle KeyCycleFrom(const QByteArray &keyMaterial)
{
    if (keyMaterial.size() < ExtendedMinimum)
        throw ETovrinDataError("The key material is too short.");
    TKeyCycle cycle;
    for (int index = 0; index < KeyCycle; ++index) {
        const int k = index + 1;
        cycle.Rotation[static_cast<size_t>(index)] = static_cast<int>(Code(keyMaterial, k) % 8);
        cycle.Product[static_cast<size_t>(index)] =
            Code(keyMaterial, k) * Code(keyMaterial, 51 - k);
    }
    return cycle;
}

// Every byte rotated by every amount, built once, so that the per-character
// loops only look bytes up.
using TByteTable = std::array<std::uint8_t, 256>;
using TRotationTables = std::array<TByteTable, 8>;

TRotationTables MakeRotationTables(bool right)
{
    TRotationTables tables{};
    for (int count = 0; count < 8; ++count) {
        for (int value = 0; value < 256; ++value) {
            const auto byte = static_cast<std::uint8_t>(value);
            tables[static_cast<size_t>(count)][static_cast<size_t>(value)] =
                right ? RotateByteRight(byte, count) : RotateByteLeft(byte, count);
        }
    }
    return tables;
}

// For each index of the cycle, the table that rotates by that index's amount.
using TCycleTables = std::array<const TByteTable *, KeyCycle>;

TCycleTables RotationTables(const TKeyCycle &cycle, bool right)
{
    static const TRotationTables rightTables = MakeRotationTables(true);
    static const TRotationTables leftTables = MakeRotationTables(false);
    const TRotationTables &tables = right ? rightTables : leftTables;
    TCycleTables byIndex{};
    for (size_t index = 0; index < byIndex.size(); ++index)
        byIndex[index] = &tables[static_cast<size_t>(cycle.Rotation[index])];
    return byIndex;
}

// The value of each hexadecimal digit, -1 for every other byte.
using THexValues = std::array<std::int8_t, 256>;

const THexValues &HexValues()
{
    static const THexValues values = [] {
        THexValues table{};
        table.fill(-1);
        for (int digit = 0; digit < 10; ++digit)
            table[static_cast<size_t>('0' + digit)] = static_cast<std::int8_t>(digit);
        for (int digit = 0; digit < 6; ++digit) {
            table[static_cast<size_t>('A' + digit)] = static_cast<std::int8_t>(10 + digit);
            table[static_cast<size_t>('a' + digit)] = static_cast<std::int8_t>(10 + digit);
        }
        return table;
    }();
    return values;
}

// Writes each byte as two hexadecimal digits, rotated right first when
// rotation tables are given (position 1 uses index 1 of the cycle).
QByteArray EncodeHex(const QByteArray &text, const TCycleTables *rotations)
{
    const qsizetype n = text.size();
    QByteArray hex(n * 2, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const std::uint8_t *>(text.constData());
    char *out = hex.data();
    size_t index = 1 % KeyCycle;
    for (qsizetype i = 0; i < n; ++i) {
        std::uint8_t byte = in[i];
        if (rotations) {
            byte = (*(*rotations)[index])[byte];
            if (++index == KeyCycle)
                index = 0;
        }
        out[2 * i] = HexDigits[byte >> 4];
        out[2 * i + 1] = HexDigits[byte & 0x0F];
    }
    return hex;
}

// Reads pairs of hexadecimal digits, ignoring an odd last character, and
// rotates each byte left afterwards when rotation tables are given.
QByteArray DecodeHex(const QByteArray &hex, const TCycleTables *rotations)
{
    const qsizetype pairs = hex.size() / 2;
    QByteArray text(pairs, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const std::uint8_t *>(hex.constData());
    char *out = text.data();
    const THexValues &values = HexValues();
    size_t index = 1 % KeyCycle;
    for (qsizetype p = 0; p < pairs; ++p) {
        const int high = values[in[2 * p]];
        const int low = values[in[2 * p + 1]];
        if ((high | low) < 0)
            throw ETovrinDataError("The scrambled text holds a character that is not a "
                                   "hexadecimal digit.");
        auto byte = static_cast<std::uint8_t>((high << 4) | low);
        if (rotations) {
            byte = (*(*rotations)[index])[byte];
            if (++index == KeyCycle)
                index = 0;
        }
        out[p] = static_cast<char>(byte);
    }
    return text;
}

void Permute(QByteArray &text, const TKeyCycle &cycle, bool forward)
{
    const qsizetype n = text.size();
    if (n == 0)
        return;
    if (n == 1)
        throw ETovrinDataError("A scrambled text of one character cannot be unscrambled.");

    // The partner of position i depends only on k(i) and n, so the 49
    // possible partners are worked out once (as 0-based indexes).
    const auto divisor = static_cast<unsigned long long>(n - 1);
    std::array<qsizetype, KeyCycle> partner{};
    for (size_t index = 0; index < partner.size(); ++index)
        partner[index] = static_cast<qsizetype>(cycle.Product[index] % divisor);

    // Position i (from 0) takes the partner of cycle index (i + 1) mod 49;
    // in that order the partners repeat every 49 positions.
    std::array<qsizetype, KeyCycle> sequence{};
    for (size_t j = 0; j < sequence.size(); ++j)
        sequence[j] = partner[(j + 1) % KeyCycle];

    char *data = text.data();
    const qsizetype blocks = n / KeyCycle;
    const qsizetype tail = n - blocks * KeyCycle;
    if (forward) {
        for (qsizetype block = 0; block < blocks; ++block) {
            char *base = data + block * KeyCycle;
            for (size_t j = 0; j < KeyCycle; ++j)
                std::swap(base[j], data[sequence[j]]);
        }
        char *base = data + blocks * KeyCycle;
        for (qsizetype j = 0; j < tail; ++j)
            std::swap(base[j], data[sequence[static_cast<size_t>(j)]]);
    } else {
        char *base = data + blocks * KeyCycle;
        for (qsizetype j = tail - 1; j >= 0; --j)
            std::swap(base[j], data[sequence[static_cast<size_t>(j)]]);
        for (qsizetype block = blocks - 1; block >= 0; --block) {
            base = data + block * KeyCycle;
            for (size_t j = KeyCycle; j-- > 0;)
                std::swap(base[j], data[sequence[j]]);
        }
    }
}

} // namespace

QByteArray ExtendText(const QByteArray &text)
{
    if (text.isEmpty())
        throw ETovrinDataError("An empty parameter text cannot be used for scrambling.");
    QByteArray result = text;
    while (result.size() < ExtendedMinimum)
        result += result;
    return result;
}

QByteArray MixKeyMaterial(const QByteArray &product, const QByteArray &version,
                          const QByteArray &key)
{
    const QByteArray extendedProduct = ExtendText(product);
    const QByteArray extendedVersion = ExtendText(version);
    const QByteArray extendedKey = ExtendText(key);
    QByteArray material;
    material.reserve(KeyMaterialLength);
    for (qsizetype t = 0; t < ExtendedMinimum; ++t) {
        material.append(extendedProduct.at(t));
        material.append(extendedKey.at(t));
        material.append(extendedVersion.at(t));
    }
    return material;
}

QByteArray TextToHex(const QByteArray &text)
{
    return EncodeHex(text, nullptr);
}

QByteArray HexToText(const QByteArray &hex)
{
    return DecodeHex(hex, nullptr);
}

void SwapCharacters(QByteArray &text, qsizetype i, qsizetype j)
{
    if (i < 1 || j < 1 || i > text.size() || j > text.size())
        throw ETovrinDataError("A character position lies outside the text.");
    char *data = text.data();
    std::swap(data[i - 1], data[j - 1]);
}

void PermuteText(QByteArray &text, const QByteArray &keyMaterial, bool forward)
{
    Permute(text, KeyCycleFrom(keyMaterial), forward);
}

QByteArray InsertLineBreaks(const QByteArray &text)
{
    const qsizetype n = text.size();
    // A break follows original character 79 + 78b as long as at least two
    // characters remain after it.
    if (n <= FirstLineLength + 1)
        return text;
    const qsizetype breaks = 1 + (n - FirstLineLength - 2) / LineLength;

    QByteArray result(n + 2 * breaks, Qt::Uninitialized);
    const char *in = text.constData();
    char *out = result.data();
    qsizetype start = 0;
    qsizetype cut = FirstLineLength;
    while (n > cut + 1) {
        std::memcpy(out, in + start, static_cast<size_t>(cut - start));
        out += cut - start;
        *out++ = '\r';
        *out++ = '\n';
        start = cut;
        cut += LineLength;
    }
    std::memcpy(out, in + start, static_cast<size_t>(n - start));
    return result;
}

QByteArray RemoveLineBreaks(const QByteArray &text)
{
    // Taken from the end, each carriage return removes itself and the first
    // later character still there. That pairs carriage returns with later
    // characters like brackets, which one forward pass finds by counting the
    // carriage returns still waiting for a partner.
    const qsizetype n = text.size();
    QByteArray result(n, Qt::Uninitialized);
    const char *in = text.constData();
    char *out = result.data();
    qsizetype kept = 0;
    qsizetype waiting = 0;
    qsizetype i = 0;
    while (i < n) {
        const void *found = std::memchr(in + i, '\r', static_cast<size_t>(n - i));
        const qsizetype next = found ? static_cast<const char *>(found) - in : n;
        const qsizetype taken = std::min(waiting, next - i);
        waiting -= taken;
        i += taken;
        std::memcpy(out + kept, in + i, static_cast<size_t>(next - i));
        kept += next - i;
        if (next < n)
            ++waiting;
        i = next + 1;
    }
    result.truncate(kept);
    return result;
}

QByteArray ScrambleText(const QByteArray &product, const QByteArray &version, const QByteArray &key,
                        const QByteArray &plain)
{
    const TKeyCycle cycle = KeyCycleFrom(MixKeyMaterial(product, version, key));
    const TCycleTables rotations = RotationTables(cycle, true);
    QByteArray hex = EncodeHex(plain, &rotations);
    Permute(hex, cycle, true);
    return InsertLineBreaks(hex);
}

QByteArray UnscrambleText(const QByteArray &product, const QByteArray &version,
                          const QByteArray &key, const QByteArray &scrambled)
{
    const TKeyCycle cycle = KeyCycleFrom(MixKeyMaterial(product, version, key));
    QByteArray hex = RemoveLineBreaks(scrambled);
    Permute(hex, cycle, false);
    const TCycleTables rotations = RotationTables(cycle, false);
    return DecodeHex(hex, &rotations);
}

QByteArrayList SplitLines(const QByteArray &text)
{
    QByteArrayList lines;
    ForEachLine(text, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

QByteArray JoinLines(const QByteArrayList &lines)
{
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 2;
    QByteArray text;
    text.reserve(size);
    for (const QByteArray &line : lines) {
        text += line;
        text.append("\r\n", 2);
    }
    return text;
}
