#include "storage/TovrinDataEncode_Unit.h"

#include "app/PlatformDependence_Unit.h"

#include <array>
#include <cstdint>

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

int HexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

// Rotates each byte right (scrambling) or left (unscrambling) by the amount
// its position in the plain text calls for.
void RotateBytes(QByteArray &text, const TKeyCycle &cycle, bool right)
{
    char *data = text.data();
    const qsizetype n = text.size();
    int index = 1 % KeyCycle; // position 1
    for (qsizetype i = 0; i < n; ++i) {
        const auto byte = static_cast<std::uint8_t>(data[i]);
        const int count = cycle.Rotation[static_cast<size_t>(index)];
        data[i] =
            static_cast<char>(right ? RotateByteRight(byte, count) : RotateByteLeft(byte, count));
        if (++index == KeyCycle)
            index = 0;
    }
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

    char *data = text.data();
    if (forward) {
        int index = 1 % KeyCycle;
        for (qsizetype i = 1; i <= n; ++i) {
            std::swap(data[i - 1], data[partner[static_cast<size_t>(index)]]);
            if (++index == KeyCycle)
                index = 0;
        }
    } else {
        int index = static_cast<int>(n % KeyCycle);
        for (qsizetype i = n; i >= 1; --i) {
            std::swap(data[i - 1], data[partner[static_cast<size_t>(index)]]);
            index = index == 0 ? KeyCycle - 1 : index - 1;
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
    QByteArray hex(text.size() * 2, Qt::Uninitialized);
    char *out = hex.data();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = HexDigits[byte >> 4];
        *out++ = HexDigits[byte & 0x0F];
    }
    return hex;
}

QByteArray HexToText(const QByteArray &hex)
{
    // An odd last character is ignored.
    const qsizetype pairs = hex.size() / 2;
    QByteArray text(pairs, Qt::Uninitialized);
    const char *in = hex.constData();
    char *out = text.data();
    for (qsizetype p = 0; p < pairs; ++p) {
        const int high = HexValue(in[2 * p]);
        const int low = HexValue(in[2 * p + 1]);
        if (high < 0 || low < 0)
            throw ETovrinDataError("The scrambled text holds a character that is not a "
                                   "hexadecimal digit.");
        out[p] = static_cast<char>((high << 4) | low);
    }
    return text;
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
    qsizetype breaks = 0;
    if (n > FirstLineLength + 1)
        breaks = 1 + (n - FirstLineLength - 2) / LineLength;
    if (breaks == 0)
        return text;

    QByteArray result;
    result.reserve(n + 2 * breaks);
    qsizetype start = 0;
    qsizetype cut = FirstLineLength;
    while (n > cut + 1) {
        result.append(text.constData() + start, cut - start);
        result.append("\r\n", 2);
        start = cut;
        cut += LineLength;
    }
    result.append(text.constData() + start, n - start);
    return result;
}

QByteArray RemoveLineBreaks(const QByteArray &text)
{
    // Working from the end, a carriage return takes itself and the character
    // that follows it among those still kept. The result is built from the
    // back of one buffer.
    const qsizetype n = text.size();
    QByteArray buffer(n, Qt::Uninitialized);
    char *out = buffer.data();
    const char *in = text.constData();
    qsizetype write = n;
    for (qsizetype i = n - 1; i >= 0; --i) {
        if (in[i] == '\r') {
            if (write < n)
                ++write;
        } else {
            out[--write] = in[i];
        }
    }
    return buffer.mid(write);
}

QByteArray ScrambleText(const QByteArray &product, const QByteArray &version, const QByteArray &key,
                        const QByteArray &plain)
{
    const TKeyCycle cycle = KeyCycleFrom(MixKeyMaterial(product, version, key));
    QByteArray rotated = plain;
    RotateBytes(rotated, cycle, true);
    QByteArray hex = TextToHex(rotated);
    Permute(hex, cycle, true);
    return InsertLineBreaks(hex);
}

QByteArray UnscrambleText(const QByteArray &product, const QByteArray &version,
                          const QByteArray &key, const QByteArray &scrambled)
{
    const TKeyCycle cycle = KeyCycleFrom(MixKeyMaterial(product, version, key));
    QByteArray hex = RemoveLineBreaks(scrambled);
    Permute(hex, cycle, false);
    QByteArray plain = HexToText(hex);
    RotateBytes(plain, cycle, false);
    return plain;
}

QByteArrayList SplitLines(const QByteArray &text)
{
    QByteArrayList lines;
    qsizetype end = text.indexOf('\0');
    if (end < 0)
        end = text.size();
    const char *data = text.constData();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.append(QByteArray(data + start, i - start));
            if (c == '\r' && i + 1 < end && data[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < end)
        lines.append(QByteArray(data + start, end - start));
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
