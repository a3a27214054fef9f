// The history's store (storage/History_Unit) over a month of writing:
//   month  30 simulated days of a 3 MB manuscript: 8 hours a day, a timeline
//          version every 10 minutes (each about 40 words added and 3 lines
//          changed), 2 changes by another program a day (the writer's text
//          and the other program's both kept), and an hour a day of two
//          copies of Nudger saving in turn every 30 s, each keeping the text
//          the other wrote, through two stores open on one database. The
//          database's size (target: at most 60 MB; for reference, what the
//          versions take whole), and every version of the month read back
//          byte for byte, listed once for every text kept.
//   read   the slowest version of that history to read back, by a store just
//          opened, with nothing at hand (the deepest of each chain of
//          anchors; target: at most 150 ms), with the median of reading
//          every version in the order Earlier Versions lists them.
// The month is kept in memory (/dev/shm, where there is one): the figures
// are of sizes and of the processor, and a month of syncs would only make
// the run long. The keep is measured on the disk of the working directory.
//   keep   keeping a 10 MB version (a few lines changed from the one kept
//          before it, its digest at hand, as the document has it for a text it saved) on the
//          worker, from its post until it is done, against
//          a plain write and fsync of the same bytes on the same worker, in
//          alternated rounds (target: the median ratio at most 3).
// Every figure is printed even when an earlier one misses its target; the
// program then exits with 1.
#include "bench/Prose.h"
#include "bench/Rounds.h"
#include "storage/History_Unit.h"
#include "storage/Sqlite_Unit.h"
#include "storage/WholeFile_Unit.h"
#include "storage/Worker_Unit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <set>

namespace {

constexpr qsizetype ManuscriptBytes = 3 * 1024 * 1024;
constexpr int Days = 30;
constexpr qint64 MaxSizeBytes = 60LL * 1024 * 1024;
constexpr double SlowestReadTargetMs = 150;
constexpr double KeepTarget = 3;
constexpr int KeepRounds = 9;

// A manuscript the writer works on: words added where they write, a few
// lines changed here and there.
struct TManuscript
{
    QByteArray Bytes;
    QRandomGenerator Random;
    qsizetype WritingAt;

    TManuscript(QByteArray bytes, quint32 seed)
        : Bytes(std::move(bytes)), Random(seed), WritingAt(Bytes.size() * 3 / 4)
    {
    }

    QByteArray Words(int count)
    {
        static const char *const words[] = {"the",  "letter",  "she", "never",   "sent", "rain",
                                            "over", "harbour", "and", "quietly", "his",  "hands"};
        QByteArray text;
        for (int i = 0; i < count; ++i)
            text += QByteArray(words[Random.bounded(12)]) + ' ';
        return text;
    }

    void Add(int words)
    {
        const QByteArray added = Words(words);
        Bytes.insert(WritingAt, added);
        WritingAt += added.size();
    }

    void ChangeLines(int lines)
    {
        for (int i = 0; i < lines; ++i) {
            const qsizetype at = Bytes.indexOf('\n', Random.bounded(Bytes.size() - 200)) + 1;
            const qsizetype end = Bytes.indexOf('\n', at);
            const qsizetype word = at + Random.bounded(qMax<qsizetype>(1, end - at - 8));
            const QByteArray replacement = Words(1);
            Bytes.replace(word, 5, replacement);
            if (word < WritingAt)
                WritingAt += replacement.size() - 5;
        }
    }
};

struct TMonth
{
    QDateTime Clock;
    std::set<QByteArray> Kept; // the digest of every text kept
    qint64 WholeBytes = 0;     // what the texts kept take whole
    int Keeps = 0;
    bool Sound = true;

    void Keep(THistory &history, const QByteArray &bytes, TVersionReason reason)
    {
        const QByteArray digest = VersionDigest(bytes);
        const TKeepResult result = history.Keep(bytes, digest, reason, Clock);
        ++Keeps;
        if (result == TKeepResult::Failed) {
            std::printf("bench_store: FAULT: a keep failed (%s)\n", qPrintable(history.Error()));
            Sound = false;
        }
        if (Kept.insert(digest).second)
            WholeBytes += bytes.size();
    }
};

// An hour of two copies saving in turn every 30 s: each keeps the text the
// other wrote, which its own save displaces.
void TwoCopiesHour(TMonth &month, THistory &first, THistory &second, TManuscript &text)
{
    TManuscript other(text.Bytes, quint32(month.Keeps));
    other.WritingAt = text.WritingAt / 2;
    for (int turn = 0; turn < 120; ++turn) {
        month.Clock = month.Clock.addSecs(30);
        if (turn % 2 == 0) {
            text.Add(5);
            month.Keep(first, other.Bytes, TVersionReason::ChangedOutside);
        } else {
            other.Add(5);
            month.Keep(second, text.Bytes, TVersionReason::ChangedOutside);
        }
        if (turn % 20 == 19)
            month.Keep(first, text.Bytes, TVersionReason::SavedEarlier);
    }
}

void SimulateDay(TMonth &month, THistory &first, THistory &second, TManuscript &text)
{
    for (int slot = 0; slot < 8 * 6; ++slot) {
        month.Clock = month.Clock.addSecs(600);
        text.Add(40);
        text.ChangeLines(3);
        month.Keep(first, text.Bytes, TVersionReason::SavedEarlier);
        if (slot == 15 || slot == 40) {
            // Another program's version: the writer's text is kept, and the
            // other's, which the writer goes on from.
            month.Keep(first, text.Bytes, TVersionReason::ReadAgain);
            text.ChangeLines(12);
            month.Keep(first, text.Bytes, TVersionReason::ChangedOutside);
        }
        if (slot == 24)
            TwoCopiesHour(month, first, second, text);
    }
}

struct TReadBack
{
    double SlowestMs = 0;
    std::vector<double> Ms;
    bool Sound = true;
};

TReadBack ReadBack(THistory &history, const TMonth &month)
{
    TReadBack result;
    std::set<QByteArray> listed;
    for (const TVersion &version : history.Versions()) {
        QByteArray bytes;
        bool read = false;
        result.Ms.push_back(ElapsedMs([&] { read = history.Read(version, bytes); }));
        if (!read || VersionDigest(bytes) != version.Digest ||
            !listed.insert(version.Digest).second || !month.Kept.count(version.Digest)) {
            std::printf("bench_store: FAULT: version %lld does not come back whole, or twice\n",
                        static_cast<long long>(version.Id));
            result.Sound = false;
        }
    }
    if (listed != month.Kept) {
        std::printf("bench_store: FAULT: %d texts kept, %d listed\n", int(month.Kept.size()),
                    int(listed.size()));
        result.Sound = false;
    }
    return result;
}

// The deepest version of each chain, each read by a store just opened.
double SlowestReadMs(const QString &database, const QString &old, const QString &primary)
{
    TSqliteDatabase store;
    if (!store.Open(database, 1000))
        return 1e9;
    std::vector<std::int64_t> deepest;
    TSqliteStatement rows = store.Prepare(
        "SELECT id FROM versions AS v WHERE depth = (SELECT max(depth) FROM versions AS w WHERE "
        "w.id > (SELECT ifnull(max(id), 0) FROM versions AS z WHERE z.base IS NULL AND "
        "z.id <= v.id)) ORDER BY id");
    while (rows.Step() == TSqliteStatement::TStep::Row)
        deepest.push_back(rows.Int(0));
    double slowest = 0;
    for (const std::int64_t id : deepest) {
        THistory history(database, old);
        history.SetPrimaryFile(primary);
        TVersion version;
        for (const TVersion &listed : history.Versions())
            version = listed.Id == id ? listed : version;
        QByteArray bytes;
        slowest = qMax(slowest, ElapsedMs([&] { history.Read(version, bytes); }));
    }
    return slowest;
}

bool MonthFigures(const QTemporaryDir &dir)
{
    const QString database = dir.filePath(QStringLiteral("nudger.db"));
    const QString old = dir.filePath(QStringLiteral("history"));
    THistory first(database, old);
    THistory second(database, old);
    const QString primary = dir.filePath(QStringLiteral("book.txt"));
    first.SetPrimaryFile(primary);
    second.SetPrimaryFile(primary);
    TMonth month;
    month.Clock = QDateTime::currentDateTimeUtc().addDays(-Days).addSecs(3600);
    TManuscript text(MakeProse(ManuscriptBytes).toUtf8(), 30);
    QElapsedTimer clock;
    clock.start();
    for (int day = 0; day < Days; ++day) {
        SimulateDay(month, first, second, text);
        month.Clock = month.Clock.addSecs(15 * 3600); // a day of 24 hours in all
    }
    const double keepS = double(clock.elapsed()) / 1e3;
    const qint64 size = QFileInfo(database).size();
    const bool sizeMet = month.Sound && size <= MaxSizeBytes;
    std::printf("bench_store: 30 days of a 3 MB manuscript: %d keeps, %d versions in %.1f MB "
                "(whole they take %.0f MB; target <= %lld MB; kept in %.0f s) %s\n",
                month.Keeps, int(month.Kept.size()), double(size) / 1048576.0,
                double(month.WholeBytes) / 1048576.0, MaxSizeBytes / 1048576, keepS,
                sizeMet ? "met" : "MISSED");
    const TReadBack back = ReadBack(first, month);
    const double slowestMs = SlowestReadMs(database, old, primary);
    const bool readMet = back.Sound && slowestMs <= SlowestReadTargetMs;
    std::printf("bench_store: reading back a version of the month: the slowest %.1f ms (target "
                "<= %.0f ms); each in turn, median %.2f ms, %s %s\n",
                slowestMs, SlowestReadTargetMs, Median(back.Ms),
                back.Sound ? "all whole" : "NOT ALL WHOLE", readMet ? "met" : "MISSED");
    std::fflush(stdout);
    return sizeMet && readMet;
}

// Keeping a 10 MB version on the worker, against writing and syncing it.
bool KeepFigure(const QTemporaryDir &dir)
{
    TWorker worker;
    THistory history(dir.filePath(QStringLiteral("large/nudger.db")),
                     dir.filePath(QStringLiteral("large/history")));
    history.SetPrimaryFile(dir.filePath(QStringLiteral("large.txt")));
    TManuscript text(MakeProse(10 * 1024 * 1024).toUtf8(), 10);
    bool sound = true;
    const auto onWorker = [&](std::function<void()> job) {
        worker.Post(std::move(job));
        worker.WaitForDone();
    };
    onWorker([&] {
        history.Keep(text.Bytes, VersionDigest(text.Bytes), TVersionReason::SavedEarlier,
                     QDateTime::currentDateTimeUtc());
    });
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    QByteArray digest;
    const TAlternated rounds = Alternate(
        KeepRounds, 1,
        [&](bool keep) {
            if (keep) {
                text.ChangeLines(3);
                digest = VersionDigest(text.Bytes);
            }
        },
        [&] {
            onWorker([&] {
                sound = history.Keep(text.Bytes, digest, TVersionReason::SavedEarlier,
                                     QDateTime::currentDateTimeUtc()) == TKeepResult::Kept &&
                        sound;
            });
        },
        [&] { onWorker([&] { sound = WriteWholeFile(plain, text.Bytes) && sound; }); });
    const TRatioSpread spread = rounds.Spread();
    const bool met = sound && spread.Median <= KeepTarget;
    std::printf("bench_store: keeping a 10 MB version on the worker: %.1f ms vs a plain write and "
                "fsync %.1f ms (medians) = ratio %.2f (%s; target <= %.1f)%s %s\n",
                rounds.SubjectMedianMs(), rounds.BaselineMedianMs(), spread.Median,
                DescribeSpread(spread).c_str(), KeepTarget, sound ? "" : " FAULT: a keep failed",
                met ? "met" : "MISSED");
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // On the disk the writer's data lives on, as the program keeps it.
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_store-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(dir.errorString()));
        return 2;
    }
    QTemporaryDir memory(QDir(QStringLiteral("/dev/shm")).exists()
                             ? QStringLiteral("/dev/shm/bench_store-XXXXXX")
                             : QDir::currentPath() + QStringLiteral("/bench_store-month-XXXXXX"));
    if (!memory.isValid()) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(memory.errorString()));
        return 2;
    }
    const bool month = MonthFigures(memory);
    const bool keep = KeepFigure(dir);
    const bool met = month && keep;
    std::printf("bench_store: %s\n", met ? "all targets met" : "TARGET MISSED");
    return met ? 0 : 1;
}
