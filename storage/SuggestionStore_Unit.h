// The writing suggestions: the built-in scrambled file and the writer's own
// file, loaded into one list, and the choice of the one to show next.
#pragma once

#include "storage/TextFile_Unit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// The writer's suggestions file, as the store and the suggestion editor both
// read it: UTF-8 when its bytes are valid UTF-8 (a leading byte-order mark only
// says so), otherwise 8-bit; a NUL ends the text; a line ends at CR LF, a lone
// CR or a lone LF, and a break at the very end adds no empty line.
struct TSuggestionsFile
{
    QStringList Lines;
    TTextEncoding Encoding = TTextEncoding::Utf8;
    bool ByteOrderMark = false;
    // When a NUL ended the text: the bytes after the last line, which hold no
    // suggestion but are written back as they were.
    QByteArray Rest;
};

// Appends the file's lines to file.Lines and describes its form in the other
// fields. False when the file cannot be read; file is then left as it was.
bool ReadSuggestionsFile(const QString &fileName, TSuggestionsFile &file);

// Writes text (lines separated by '\n') in the form the file was read in:
// lines joined by CR LF with no break after the last, in its encoding (UTF-8
// where the text does not fit the 8-bit one), with its byte-order mark and
// rest. On failure the old file is left whole.
bool WriteSuggestionsFile(const QString &fileName, const QString &text,
                          const TSuggestionsFile &form);

// The pseudo-random source of the random order: a 32-bit linear
// congruential generator.
class TRandomSource
{
public:
    void SetSeed(std::uint32_t seed) { FState = seed; }
    // The next value, in 0 .. range - 1.
    std::uint32_t Next(std::uint32_t range);

private:
    std::uint32_t FState = 0;
};

// A source of suggestions that could not be loaded.
enum class TSuggestionFault
{
    BuiltInFile,       // nudger.dat missing, unreadable or not unscrambled
    NoUserFile,        // the writer's file is to be used but none is named
    UserFileMissing,   // the named file does not exist
    UserFileUnreadable // it exists but could not be read
};
inline constexpr int SuggestionFaultCount = int(TSuggestionFault::UserFileUnreadable) + 1;

class TSuggestionStore
{
public:
    // Empties the store and loads the chosen sources, the built-in
    // suggestions first. Returns one fault for each source that failed, in
    // order; the store keeps what the sources gave.
    QList<TSuggestionFault> Load(bool useBuiltIn, bool useUserFile, const QString &userFile);

    const QStringList &Lines() const { return FLines; }
    // The number of suggestions as of the last Load; every pick and bound uses
    // it.
    int Count() const { return FCount; }

    // The 0-based number of the suggestion to show next in order, as stored:
    // neither wrapped nor checked.
    int Number() const { return FNumber; }
    void SetNumber(int number) { FNumber = number; }
    // Reads the number as the window's setting does: wraps it into the store
    // (past the end to the first, below 0 to the last), runs NumberRead, and
    // returns it.
    int ReadNumber();
    std::function<void()> NumberRead;

    // The suggestion to show: empty for an empty store; at random from the
    // source, leaving the number alone; or in order, reading the number twice
    // and leaving it one past the suggestion returned.
    QString Pick(bool randomize, TRandomSource &random);
    // Where the next in-order pick starts: the first, the one before the
    // suggestion last shown, the last.
    void MoveToFirst() { FNumber = 0; }
    void MoveToPrior() { FNumber -= 2; }
    void MoveToLast() { FNumber = FCount - 1; }

private:
    bool LoadBuiltIn();
    void WrapNumber();

    QStringList FLines;
    int FCount = 0;
    int FNumber = 0;
};
