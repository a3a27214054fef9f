#include "FuzzText.h"
#include "storage/Conversions_Unit.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = FuzzText(data, size);
    const TDateTime value = TextToDateTime(text);
    if (!std::isfinite(value))
        std::abort();
    // Whatever was read can be written again.
    (void)DateTimeToText(value);
    (void)QDateTimeFromDateTime(value);
    return 0;
}
