// Whole known contents for the files the reliability tests write again and
// again: version n of a file is a header line naming n and the body's length,
// then a body whose characters follow from n alone. Whatever lies on disk can
// therefore be parsed, regenerated and compared byte for byte.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace Versions {

// The body lengths cycle through small and large sizes, so that kills land
// while files of a few bytes and of a few megabytes are being replaced.
inline qsizetype BodyLength(quint64 version)
{
    static const qsizetype Lengths[] = {3,    40,      700, 5000,  60000,     12,  250000, 1,
                                        9000, 1000000, 100, 30000, 2'000'000, 400, 120000};
    return Lengths[version % (sizeof Lengths / sizeof Lengths[0])];
}

// Lines of lower-case letters with a few accented and CJK characters, LF
// between lines and none at the end; `salt` keeps the files' bodies apart.
inline QString Body(quint64 version, quint32 salt, qsizetype length)
{
    static const char16_t Extra[] = {u'\u00e9', u'\u00df', u'\u6f22', u'\u20ac'};
    QString text(length, Qt::Uninitialized);
    QChar *out = text.data();
    std::uint32_t state = std::uint32_t(version * 2654435761u) ^ salt;
    qsizetype sinceBreak = 0;
    for (qsizetype i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        const std::uint32_t r = state >> 24;
        if (sinceBreak > 0 && i + 1 < length && r < 4) {
            out[i] = u'\n';
            sinceBreak = 0;
        } else if (r < 8) {
            out[i] = QChar(Extra[r % 4]);
            ++sinceBreak;
        } else {
            out[i] = QChar(u'a' + char16_t(r % 26));
            ++sinceBreak;
        }
    }
    return text;
}

inline QString Text(quint64 version, quint32 salt)
{
    const qsizetype length = BodyLength(version);
    return QStringLiteral("nudger reliability version %1 length %2\n").arg(version).arg(length) +
           Body(version, salt, length);
}

// The bytes a text file holding version `version` must have: UTF-8 with
// CR LF between lines. Built here without the program's encoder.
inline QByteArray FileBytes(quint64 version, quint32 salt)
{
    QByteArray utf8 = Text(version, salt).toUtf8();
    utf8.replace("\n", "\r\n");
    return utf8;
}

// The version a text file claims in its header, if it has a readable one.
inline std::optional<quint64> ClaimedVersion(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf("\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> words = bytes.left(end).split(' ');
    if (words.size() != 6 || words.at(0) != "nudger" || words.at(2) != "version")
        return std::nullopt;
    bool ok = false;
    const quint64 version = words.at(3).toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return version;
}

// The configuration's version shows in two values: the suggestion number and
// a user suggestions file name whose length and letters follow from it.
inline QString ConfigurationName(quint64 version)
{
    if (version == 0)
        return QString();
    const qsizetype length = BodyLength(version) / 4 + 1;
    QString name = QStringLiteral("/nowhere/%1/").arg(version);
    name += Body(version, 0xC0F1u, length).replace(u'\n', u'_');
    return name;
}

constexpr quint32 PrimarySalt = 0x1111u;
constexpr quint32 UserSalt = 0x2222u;

} // namespace Versions
