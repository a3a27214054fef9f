#include "storage/SuggestionStore_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "storage/WholeFile_Unit.h"

#include <climits>

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype ByteOrderMarkSize = 3;

QStringList DecodeUtf8Lines(const QByteArrayList &lines)
{
    QStringList decoded;
    decoded.reserve(lines.size());
    for (const QByteArray &line : lines)
        decoded << QString::fromUtf8(line);
    return decoded;
}

} // namespace

bool ReadSuggestionsFile(const QString &fileName, TSuggestionsFile &file)
{
    QByteArray bytes;
    if (!ReadWholeFile(fileName, bytes))
        return false;
    file.ByteOrderMark = bytes.startsWith(ByteOrderMark);
    const qsizetype start = file.ByteOrderMark ? ByteOrderMarkSize : 0;
    const qsizetype nul = bytes.indexOf('\0', start);
    const QByteArrayView text(bytes.constData() + start, (nul < 0 ? bytes.size() : nul) - start);
    const bool utf8 = text.isValidUtf8();
    file.Encoding = utf8 ? TTextEncoding::Utf8 : TTextEncoding::Latin1;

    // The lines are decoded straight from the file's bytes, without a copy of
    // each line.
    const char *const data = bytes.constData();
    qsizetype textEnd = start;
    file.Lines.reserve(file.Lines.size() + text.count('\n') + 1);
    ForEachLine(text, [&](QByteArrayView line) {
        file.Lines << (utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line));
        textEnd = line.constData() + line.size() - data;
    });
    file.Rest = nul < 0 ? QByteArray() : bytes.mid(textEnd);
    return true;
}

bool WriteSuggestionsFile(const QString &fileName, const QString &text,
                          const TSuggestionsFile &form)
{
    QByteArray bytes = form.ByteOrderMark ? QByteArray(ByteOrderMark) : QByteArray();
    bytes += EncodeTextFile(text, form.Encoding);
    bytes += form.Rest;
    return WriteWholeFile(fileName, bytes);
}

std::uint32_t TRandomSource::Next(std::uint32_t range)
{
    FState = FState * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(FState) * range) >> 32);
}

QList<TSuggestionFault> TSuggestionStore::Load(bool useBuiltIn, bool useUserFile,
                                               const QString &userFile)
{
    QList<TSuggestionFault> faults;
    FLines.clear();
    if (useBuiltIn && !LoadBuiltIn())
        faults << TSuggestionFault::BuiltInFile;
    if (useUserFile && userFile.isEmpty()) {
        faults << TSuggestionFault::NoUserFile;
    } else if (useUserFile && !IsExistingFile(userFile)) {
        faults << TSuggestionFault::UserFileMissing;
    } else if (useUserFile) {
        // The file's lines follow the built-in ones in the store's own list.
        TSuggestionsFile file;
        file.Lines.swap(FLines);
        const bool read = ReadSuggestionsFile(userFile, file);
        FLines.swap(file.Lines);
        if (!read)
            faults << TSuggestionFault::UserFileUnreadable;
    }
    FCount = static_cast<int>(qMin<qsizetype>(FLines.size(), INT_MAX));
    return faults;
}

bool TSuggestionStore::LoadBuiltIn()
{
    QByteArray bytes;
    if (!ReadWholeFile(StartDirectory() + QStringLiteral("nudger.dat"), bytes))
        return false;
    const QByteArrayList rawLines = SplitLines(bytes);
    try {
        FLines = DecodeUtf8Lines(
            SplitLines(UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                      TovrinKeys::SuggestionsKey, JoinLines(rawLines))));
        return true;
    } catch (const std::exception &) {
        // The file's own lines stay in the store.
        FLines = DecodeUtf8Lines(rawLines);
        return false;
    }
}

void TSuggestionStore::WrapNumber()
{
    if (FNumber > FCount - 1)
        FNumber = 0;
    else if (FNumber < 0)
        FNumber = FCount - 1;
}

int TSuggestionStore::ReadNumber()
{
    WrapNumber();
    if (NumberRead)
        NumberRead();
    return FNumber;
}

QString TSuggestionStore::Pick(bool randomize, TRandomSource &random)
{
    if (FCount <= 0)
        return QString();
    if (randomize)
        return FLines.value(
            static_cast<qsizetype>(random.Next(static_cast<std::uint32_t>(FCount))));
    const QString text = FLines.value(ReadNumber());
    // The second read wraps nothing; the number is left one past the shown
    // suggestion, unwrapped.
    FNumber = ReadNumber() + 1;
    return text;
}
