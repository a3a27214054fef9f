#include "FuzzText.h"
#include "storage/Conversions_Unit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = FuzzText(data, size);
    TColor color = 0;
    try {
        color = TextToColor(text);
    } catch (const EConvertError &) {
        return 0;
    }
    if (TextToColor(ColorToText(color)) != color)
        std::abort();
    return 0;
}
