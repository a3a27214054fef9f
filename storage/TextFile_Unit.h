// Reading and writing the writer's plain-text files (primary, backup, user
// suggestions). Writes replace the file atomically; text that was read from
// a file whose bytes are not valid UTF-8 is written back in the same 8-bit
// form, so opening and saving an old file never changes its bytes.
#pragma once

#include <QString>

enum class TTextEncoding
{
    Utf8,
    Latin1
};

struct TTextFileContent
{
    QString Text; // lines joined by '\n'
    TTextEncoding Encoding = TTextEncoding::Utf8;
};

// Reads the whole file. CR LF and lone LF end lines (a lone CR is kept).
// Returns false when the file cannot be read.
bool ReadTextFile(const QString &fileName, TTextFileContent &content);

// Writes text with CR LF between lines and no break after the last line
// (one final line break of the text is dropped). Text that cannot be
// represented in Latin-1 is written as UTF-8. Atomic: on failure the old file
// is left whole. Returns false on failure.
bool WriteTextFile(const QString &fileName, const QString &text,
                   TTextEncoding encoding = TTextEncoding::Utf8);

// The bytes WriteTextFile writes for this text and encoding.
QByteArray EncodeTextFile(const QString &text, TTextEncoding encoding = TTextEncoding::Utf8);

// Writes bytes made by EncodeTextFile, atomically like WriteTextFile, so that
// a caller saving the same text repeatedly can encode it once.
bool WriteTextFileBytes(const QString &fileName, const QByteArray &bytes);
