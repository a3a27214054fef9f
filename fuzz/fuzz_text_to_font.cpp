#include "FuzzText.h"
#include "storage/Conversions_Unit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = FuzzText(data, size);
    TFont font;
    try {
        TextToFont(text, font);
    } catch (const EConvertError &) {
        return 0;
    }
    // What was read must be written and read back the same, unless the
    // family name holds a comma (the format cannot carry one).
    if (font.Name.contains(u','))
        return 0;
    TFont again{QStringLiteral("x"), 1, 0, 0};
    TextToFont(FontToText(font), again);
    if (again != font)
        std::abort();
    return 0;
}
