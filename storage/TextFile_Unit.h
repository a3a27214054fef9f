// The file form of the writer's text (the primary and backup files): lines
// ended by CR LF. Text read from a file whose bytes are not valid UTF-8 is
// written back in the same 8-bit form, so opening and saving an old file
// never changes its bytes. The files are read and written whole through
// WholeFile_Unit.
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

// Decodes a text file's bytes: CR LF and lone LF end lines (a lone CR is
// kept); bytes that are not valid UTF-8 are taken as Latin-1.
void DecodeTextFile(QByteArray bytes, TTextFileContent &content);

// Reads the whole file. CR LF and lone LF end lines (a lone CR is kept).
// Returns false when the file cannot be read.
bool ReadTextFile(const QString &fileName, TTextFileContent &content);

// Writes text with CR LF between lines and no break after the last line
// (one final line break of the text is dropped). Text that cannot be
// represented in Latin-1 is written as UTF-8. On failure the old file is left
// whole. Returns false on failure.
bool WriteTextFile(const QString &fileName, const QString &text,
                   TTextEncoding encoding = TTextEncoding::Utf8);

// The bytes WriteTextFile writes for this text and encoding, for a caller
// that saves the same text repeatedly (through WriteWholeFile) and encodes it
// once.
QByteArray EncodeTextFile(const QString &text, TTextEncoding encoding = TTextEncoding::Utf8);
