// Scrambles the built-in suggestions into the data file the program reads.
//
//   MakeTovrinData <suggestions.txt> <nudger.dat>
//
// The plain text is the input's lines, each followed by CR LF; the data file
// holds the scrambled text as lines, each followed by CR LF.
#include "storage/TovrinDataEncode_Unit.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: MakeTovrinData <plain-text-file> <data-file>\n");
        return 2;
    }
    const QString inputPath = QFile::decodeName(argv[1]);
    const QString outputPath = QFile::decodeName(argv[2]);

    QFile input(inputPath);
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "MakeTovrinData: cannot read %s: %s\n", argv[1],
                     qPrintable(input.errorString()));
        return 1;
    }
    const QByteArray plain = JoinLines(SplitLines(input.readAll()));
    if (input.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "MakeTovrinData: cannot read %s: %s\n", argv[1],
                     qPrintable(input.errorString()));
        return 1;
    }

    QByteArray content;
    try {
        content = JoinLines(SplitLines(ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                                    TovrinKeys::SuggestionsKey, plain)));
    } catch (const ETovrinDataError &error) {
        std::fprintf(stderr, "MakeTovrinData: %s\n", error.what());
        return 1;
    }

    QSaveFile output(outputPath);
    output.setDirectWriteFallback(false);
    if (!output.open(QIODevice::WriteOnly) || output.write(content) != content.size() ||
        !output.commit()) {
        std::fprintf(stderr, "MakeTovrinData: cannot write %s: %s\n", argv[2],
                     qPrintable(output.errorString()));
        return 1;
    }
    return 0;
}
