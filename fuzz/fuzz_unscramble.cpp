// Feeds arbitrary bytes to the unscrambling and the line rule. A failure
// must come as ETovrinDataError and nothing else; whatever the bytes,
// scrambling them and unscrambling the result must give them back.
#include "storage/TovrinDataEncode_Unit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    try {
        const QByteArray plain = UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                                TovrinKeys::ConfigurationKey, bytes);
        if (plain.size() > bytes.size() / 2)
            std::abort();
    } catch (const ETovrinDataError &) {
    }

    const QByteArray scrambled =
        ScrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::SuggestionsKey, bytes);
    // As the files store it: split into lines and each line ended by CR LF.
    const QByteArray stored = JoinLines(SplitLines(scrambled));
    if (UnscrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::SuggestionsKey,
                       stored) != bytes)
        std::abort();

    const QByteArrayList lines = SplitLines(bytes);
    if (SplitLines(JoinLines(lines)) != lines)
        std::abort();
    return 0;
}
