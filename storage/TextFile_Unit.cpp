#include "storage/TextFile_Unit.h"

#include "storage/WholeFile_Unit.h"

#include <QStringDecoder>

#include <cstring>

namespace {

// CR LF becomes LF, in place; a lone CR stays. CR and LF never occur inside
// a UTF-8 sequence, so this is safe before decoding.
void JoinCrLf(QByteArray &bytes)
{
    char *const begin = bytes.data();
    const char *const end = begin + bytes.size();
    const char *read = static_cast<const char *>(std::memchr(begin, '\r', bytes.size()));
    if (!read)
        return;
    char *write = const_cast<char *>(read);
    while (read < end) {
        const char c = *read++;
        if (c == '\r' && read < end && *read == '\n')
            continue;
        *write++ = c;
    }
    bytes.truncate(write - begin);
}

// LF becomes CR LF; the bytes are already encoded, and LF is a single byte
// in both encodings.
QByteArray SplitLfToCrLf(const QByteArray &bytes)
{
    const qsizetype breaks = bytes.count('\n');
    if (breaks == 0)
        return bytes;
    QByteArray result(bytes.size() + breaks, Qt::Uninitialized);
    char *write = result.data();
    const char *read = bytes.constData();
    const char *const end = read + bytes.size();
    while (read < end) {
        const char *lf = static_cast<const char *>(std::memchr(read, '\n', end - read));
        const char *stop = lf ? lf : end;
        std::memcpy(write, read, size_t(stop - read));
        write += stop - read;
        read = stop;
        if (lf) {
            *write++ = '\r';
            *write++ = '\n';
            ++read;
        }
    }
    return result;
}

bool FitsLatin1(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace

bool ReadTextFile(const QString &fileName, TTextFileContent &content)
{
    QByteArray bytes;
    if (!ReadWholeFile(fileName, bytes))
        return false;
    DecodeTextFile(std::move(bytes), content);
    return true;
}

void DecodeTextFile(QByteArray bytes, TTextFileContent &content)
{
    JoinCrLf(bytes);

    // A byte order mark is kept as a character so that it is written back.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        content.Text = QString::fromLatin1(bytes);
        content.Encoding = TTextEncoding::Latin1;
    } else {
        content.Text = std::move(text);
        content.Encoding = TTextEncoding::Utf8;
    }
}

QByteArray EncodeTextFile(const QString &text, TTextEncoding encoding)
{
    const QStringView body =
        text.endsWith(u'\n') ? QStringView(text).chopped(1) : QStringView(text);
    const QByteArray encoded =
        encoding == TTextEncoding::Latin1 && FitsLatin1(text) ? body.toLatin1() : body.toUtf8();
    return SplitLfToCrLf(encoded);
}

bool WriteTextFile(const QString &fileName, const QString &text, TTextEncoding encoding)
{
    return WriteWholeFile(fileName, EncodeTextFile(text, encoding));
}
