#include "storage/TextFile_Unit.h"

#include "storage/WholeFile_Unit.h"

#include <QStringDecoder>
#include <QStringEncoder>

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
    const bool latin1 = encoding == TTextEncoding::Latin1 && FitsLatin1(text);
    // The file form is made in one buffer of its final size: encoding first
    // (which sets aside three bytes a character) and then putting in the
    // CRs would leave two large blocks behind at every save, and the heap
    // they are freed into grows in the long run.
    const QChar *const end = body.data() + body.size();
    qsizetype size = 0;
    for (const QChar *c = body.data(); c < end; ++c) {
        const char16_t u = c->unicode();
        if (u == u'\n') {
            size += 2;
        } else if (latin1 || u < 0x80) {
            size += 1;
        } else if (u < 0x800) {
            size += 2;
        } else if (QChar::isHighSurrogate(u) && c + 1 < end && c[1].isLowSurrogate()) {
            size += 4;
            ++c;
        } else {
            size += 3; // a lone surrogate is written as a replacement character
        }
    }
    QByteArray bytes(size, Qt::Uninitialized);
    QStringEncoder encoder(latin1 ? QStringConverter::Latin1 : QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless);
    char *write = bytes.data();
    const QChar *read = body.data();
    while (read < end) {
        const QStringView rest(read, end - read);
        const qsizetype lf = rest.indexOf(u'\n');
        const QStringView line = lf < 0 ? rest : rest.first(lf);
        write = encoder.appendToBuffer(write, line);
        read += line.size();
        if (lf >= 0) {
            *write++ = '\r';
            *write++ = '\n';
            ++read;
        }
    }
    bytes.truncate(write - bytes.constData());
    return bytes;
}

bool WriteTextFile(const QString &fileName, const QString &text, TTextEncoding encoding)
{
    return WriteWholeFile(fileName, EncodeTextFile(text, encoding));
}
