// Loading the writer's own suggestions file: 100,000 lines against 10,000
// lines of the same kind, both loaded by the main window's LoadSuggestions in
// this run with the built-in suggestions off, in alternated rounds after a
// warm-up (bench/Rounds.h); the figure is the median of the rounds' ratios.
// Target: ten times the lines take at most twelve times as long (loading
// grows in step with the file).
#include "app/PlatformDependence_Unit.h"
#include "bench/BenchStart.h"
#include "bench/Rounds.h"
#include "storage/ConfigurationFile_Unit.h"
#include "windows/Main_Unit.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int SmallLines = 10000;
constexpr int LargeLines = 100000;
constexpr int Rounds = 15;
constexpr int WarmUps = 1;
constexpr double TargetRatio = 12.0;

// Suggestion lines of 30 to 80 characters, some with accented letters,
// separated by CR LF.
QByteArray MakeSuggestions(int lines)
{
    static const char *const words[] = {"write", "about", "the",    "smell",  "of",    "rain",
                                        "café",  "a",     "door",   "that",   "never", "opens",
                                        "naïve", "hero",  "Zürich", "letter", "señor", "why"};
    constexpr int wordCount = int(sizeof(words) / sizeof(words[0]));
    std::uint32_t state = 7u;
    const auto next = [&state](std::uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state) * range) >> 32);
    };
    QByteArray bytes;
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            bytes += "\r\n";
        const qsizetype start = bytes.size();
        const int length = 30 + int(next(51));
        while (bytes.size() - start < length) {
            if (bytes.size() > start)
                bytes += ' ';
            bytes += words[next(wordCount)];
        }
    }
    return bytes;
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "bench_suggestions: cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));

    TBenchStart start("bench_suggestions");
    const QTemporaryDir &dir = start.Dir;
    const TScriptedPrompts &prompts = start.Prompts;

    const QString smallFile = dir.filePath(QStringLiteral("small.txt"));
    const QString largeFile = dir.filePath(QStringLiteral("large.txt"));
    WriteBytes(smallFile, MakeSuggestions(SmallLines));
    WriteBytes(largeFile, MakeSuggestions(LargeLines));
    {
        TConfigurationFile configuration;
        configuration.Load();
        configuration.WriteValue(QStringLiteral("PrimaryFile"), dir.filePath("text.txt"));
        configuration.WriteValue(QStringLiteral("UseTovrinSuggestions"), QStringLiteral("NO"));
        configuration.WriteValue(QStringLiteral("UseUserSuggestionsFile"), QStringLiteral("YES"));
        configuration.WriteValue(QStringLiteral("UserSuggestionsFile"), smallFile);
        configuration.WriteValue(QStringLiteral("NudgeEnabled"), QStringLiteral("NO"));
        if (!configuration.Save()) {
            std::fprintf(stderr, "bench_suggestions: cannot write the configuration\n");
            return 2;
        }
    }
    TMain_Form form(nullptr, TMainFormDialogs{});

    bool sound = prompts.Records.isEmpty();
    // Each load starts from an empty store, so that neither pays for
    // freeing the other's suggestions.
    const auto emptyStoreFor = [&form](const QString &fileName) {
        form.SetUseUserSuggestionsFile(false);
        form.LoadSuggestions();
        form.SetUseUserSuggestionsFile(true);
        form.SetUserSuggestionsFile(fileName);
    };
    const TAlternated rounds = Alternate(
        Rounds, WarmUps, [&](bool large) { emptyStoreFor(large ? largeFile : smallFile); },
        [&] {
            form.LoadSuggestions();
            sound = sound && form.SuggestionCount() == LargeLines;
        },
        [&] {
            form.LoadSuggestions();
            sound = sound && form.SuggestionCount() == SmallLines;
        },
        TClock::ThreadCpu);
    sound = sound && prompts.Records.isEmpty();
    if (!sound)
        std::printf("bench_suggestions: FAULT: the suggestions did not load as written\n");

    const TRatioSpread ratio = rounds.Spread();
    const bool met = sound && ratio.Median <= TargetRatio;
    std::printf("bench_suggestions: load 100,000-line suggestions file: %.2f ms vs baseline "
                "10,000 lines %.2f ms (medians) = ratio %.2f (%s; target <= %.0f) %s\n",
                rounds.SubjectMedianMs(), rounds.BaselineMedianMs(), ratio.Median,
                DescribeSpread(ratio).c_str(), TargetRatio,
                ratio.Median <= TargetRatio ? "met" : "MISSED");
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting(nullptr);
    return met ? 0 : 1;
}
