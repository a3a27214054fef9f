// Turns fuzzer bytes into text: the first byte chooses how the rest is read,
// so that both well-formed text and raw UTF-16 (with lone surrogates) reach
// the code under test.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

inline QString FuzzText(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const auto length = qsizetype(size - 1);
    switch (data[0] % 3) {
    case 0:
        return QString::fromUtf8(bytes, length);
    case 1:
        return QString::fromLatin1(bytes, length);
    default: {
        QString text(length / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] =
                QChar(char16_t(std::uint8_t(bytes[2 * i]) | (std::uint8_t(bytes[2 * i + 1]) << 8)));
        return text;
    }
    }
}
