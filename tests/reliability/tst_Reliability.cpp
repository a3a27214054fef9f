// Reliability: what the writer's files look like after the program is killed
// in the middle of saving them, after a save meets a full disk or a target
// it cannot write, and what the program does with files full of bad bytes.
// Ends with the totals line "reliability: N passed, M failed".

#include "NestingPrompts.h"
#include "StoreTexts.h"
#include "Versions.h"

#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/Conversions_Unit.h"
#include "storage/History_Unit.h"
#include "storage/Sqlite_Unit.h"
#include "storage/SuggestionStore_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "support/CountingWaveService.h"
#include "support/FileBytes.h"
#include "support/FullDisk.h"
#include "support/PrivateData.h"
#include "windows/Main_Unit.h"
#include "windows/SuggestionSettings_Unit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

const QString CannotSaveText = QStringLiteral("I cannot save your text!");
const QString CannotSaveBackup = QStringLiteral("I cannot save your text to the Backup file!");
const QString HistoryFailing =
    QStringLiteral("I cannot keep versions of your text in Earlier Versions just now. I go on "
                   "saving your text, but not over a text that is nowhere else. I will try "
                   "again.");
const QString RecoveryFailing =
    QStringLiteral("I cannot keep a recovery copy of your unsaved words. If I stop now, they "
                   "may be lost. I will keep trying.");
const QString CannotSaveConfiguration = QStringLiteral(
    "I was not able to save your configuration.\rMaybe the file has been made read only?");
const QString CannotSaveSuggestions =
    QStringLiteral("I can not save your suggestions.  Please choose a new user suggestions file.");

// Every message reading bad files may give; anything else is a fault.
const QStringList ReadingMessages = {
    QStringLiteral("I can not open the primary file!"),
    QStringLiteral("I am not able to load your configuration."),
    QStringLiteral("You must select a primary file to save your text to."),
    QStringLiteral("I can not load my suggestions file!"),
    QStringLiteral("I can not load your user suggestions file!  Please verify that it is correct."),
    QStringLiteral("I can not open the user suggestion file!"),
};

// Bounds on single operations, far above their normal cost, so that only a
// hang or a runaway trips them.
constexpr qint64 ReadBoundMs = 60000;
constexpr qint64 ChildBoundMs = 30000;

const QStringList OwnFiles = {QStringLiteral("text.txt"), QStringLiteral("backup.txt"),
                              QStringLiteral("Nudger.cfg"), QStringLiteral("mine.txt"),
                              QStringLiteral("nudger.dat")};

QByteArray BuiltInSuggestions()
{
    return ScrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::SuggestionsKey,
                        JoinLines({"built in one", "built in two", "built in three"}));
}

// The start directory's configuration naming the primary file, with any
// further values; `version` 0 is the state the save loop starts from.
bool WriteConfiguration(const QString &dir, const QStringList &values = {})
{
    SetStartDirectoryForTesting(dir);
    TConfigurationFile configuration;
    configuration.Load();
    configuration.WriteValue(QStringLiteral("PrimaryFile"), dir + QStringLiteral("/text.txt"));
    for (const QString &value : values)
        configuration.WriteValue(value.section(QLatin1Char('='), 0, 0),
                                 value.section(QLatin1Char('='), 1));
    return configuration.Save();
}

// Names in a folder that are not the program's own files.
QStringList StrayNames(const QString &dir)
{
    QStringList stray;
    const QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        // What fills a full disk is the test's own, and so is the folder
        // that stands for the writer's private data (UsePrivateDataFolder).
        if (!OwnFiles.contains(name) && name != QLatin1String("filler") &&
            name != QLatin1String(".data"))
            stray << name;
    }
    return stray;
}

QStringList DecodedLines(const QByteArray &output, const QByteArray &kind)
{
    QStringList lines;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith(kind + ' '))
            lines << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(kind.size() + 1)));
    }
    return lines;
}

QStringList DecodedBoxes(const QByteArray &output)
{
    return DecodedLines(output, "box");
}

QString WorkerPath()
{
    return QStringLiteral(NUDGER_SAVE_WORKER);
}

} // namespace

class tst_Reliability : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TNestingPrompts> FPrompts;
    std::unique_ptr<TCountingWaveService> FWave;
    TMainFormDialogs FDialogs;

    int FPassed = 0;
    int FFailed = 0;
    quint64 FTries = 0;
    quint64 FSurvived = 0;
    quint64 FBytesLost = 0;
    quint64 FTempLeftovers = 0;

    QString Path(const QString &name) const { return FDir->filePath(name); }

    // A window over FDir, whose configuration names text.txt as the primary file.
    std::unique_ptr<TMain_Form> MakeForm(const QStringList &values = {})
    {
        if (!WriteConfiguration(FDir->path(), values))
            qWarning("could not prepare the configuration");
        return std::make_unique<TMain_Form>(nullptr, FDialogs);
    }

    // The files a failed save must leave alone, with their bytes.
    std::map<QString, QByteArray> Snapshot() const
    {
        std::map<QString, QByteArray> files;
        for (const QString &name : OwnFiles) {
            bool exists = false;
            const QByteArray bytes = ReadAll(Path(name), &exists);
            if (exists)
                files[name] = bytes;
        }
        return files;
    }

    // Counts the fault as survived when every file is as it was; adds what
    // changed to the bytes lost.
    void CompareWithSnapshot(const std::map<QString, QByteArray> &before)
    {
        ++FTries;
        bool same = true;
        for (const auto &[name, bytes] : before) {
            if (ReadAll(Path(name)) != bytes) {
                same = false;
                FBytesLost += quint64(bytes.size());
                qWarning("%s changed", qPrintable(name));
            }
        }
        QCOMPARE(StrayNames(FDir->path()), QStringList());
        QVERIFY(same);
        ++FSurvived;
    }

    // Runs the worker's "fail" mode and returns its output.
    QByteArray
    RunFailChild(const QString &program, const QStringList &arguments,
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProgram(program);
        child.setArguments(arguments);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start();
        if (!child.waitForStarted(ChildBoundMs) || !child.waitForFinished(ChildBoundMs)) {
            child.kill();
            child.waitForFinished();
            qWarning("the child did not finish: %s", child.readAllStandardError().constData());
            return QByteArray();
        }
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            qWarning("the child failed (%d): %s", child.exitCode(),
                     child.readAllStandardError().constData());
        return child.readAllStandardOutput();
    }

    void PrepareFailDir()
    {
        QVERIFY(WriteAll(Path(QStringLiteral("nudger.dat")), BuiltInSuggestions()));
        QVERIFY(WriteConfiguration(
            FDir->path(), {QStringLiteral("BackupFile=") + Path(QStringLiteral("backup.txt"))}));
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), Versions::FileBytes(1, 7)));
        QVERIFY(WriteAll(Path(QStringLiteral("backup.txt")), Versions::FileBytes(2, 7)));
        QVERIFY(WriteAll(Path(QStringLiteral("mine.txt")), Versions::FileBytes(4, 7)));
    }

    // What the writer is told; privateFails: the private data folder fails
    // too (it lies on the same disk, or the user may not write there).
    static QStringList FailBoxes(const QString &kind)
    {
        // The primary file's box once although the nested tick fails again.
        // The backup holds a text Nudger had not seen, which the history
        // cannot keep where the disk (or the size limit) fails it too, so it
        // is not written over: the bar says so.
        if (kind == QLatin1String("text"))
            return {CannotSaveText};
        if (kind == QLatin1String("configuration"))
            return {CannotSaveConfiguration};
        return {CannotSaveSuggestions};
    }
    // What the bar above the text tells meanwhile, where no keystroke can
    // answer it: the history that cannot keep the backup's text, and the
    // recovery copy that cannot be made where the private folder fails.
    static QString FailBar(const QString &kind, bool privateFails)
    {
        if (kind != QLatin1String("text"))
            return QString();
        return privateFails ? HistoryFailing + QLatin1Char(' ') + RecoveryFailing : HistoryFailing;
    }

    void FailKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("primary and backup") << QStringLiteral("text");
        QTest::newRow("configuration") << QStringLiteral("configuration");
        QTest::newRow("user suggestions") << QStringLiteral("user");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
        QVERIFY2(QFile::exists(WorkerPath()), qPrintable(WorkerPath()));
    }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
        SetStartDirectoryForTesting(FDir->path());
        UsePrivateDataFolder(FDir->path());
        SetUserNameForTesting([] { return QStringLiteral("tester"); });
        FPrompts = std::make_unique<TNestingPrompts>();
        FWave = std::make_unique<TCountingWaveService>();
        FDialogs = TMainFormDialogs{};
        const QString primary = Path(QStringLiteral("text.txt"));
        FDialogs.ExecuteSettings = [primary](int &, QString &file, QString &) {
            file = primary;
            return true;
        };
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            ++FFailed;
        else
            ++FPassed;
        FWave.reset();
        FPrompts.reset();
        SetStartDirectoryForTesting(QString());
        SetUserNameForTesting(nullptr);
        FDir.reset();
    }

    void cleanupTestCase()
    {
        std::printf("tries: %llu\nfaults survived: %llu\nbytes lost: %llu\n"
                    "QSaveFile temporary files left by kills: %llu\n"
                    "reliability: %d passed, %d failed\n",
                    static_cast<unsigned long long>(FTries),
                    static_cast<unsigned long long>(FSurvived),
                    static_cast<unsigned long long>(FBytesLost),
                    static_cast<unsigned long long>(FTempLeftovers), FPassed, FFailed);
        std::fflush(stdout);
    }

    // --- Kills in the middle of saves ---------------------------------------

    void killWhileSaving();
    // The private store, killed at random points of its keeps and prunes:
    // whole afterwards, and every version reported kept comes back.
    void storeWhileKilled();

    // --- A full disk, unwritable targets -------------------------------------

    void fullDisk_data();
    void fullDisk();
    void unwritableTarget_data();
    void unwritableTarget();
    void unprivilegedUser_data() { FailKinds(); }
    void unprivilegedUser();

    // --- Bad input -------------------------------------------------------------

    void badInput_data();
    void badInput();
    void unchangedFileSavesSameBytes_data();
    void unchangedFileSavesSameBytes();
};

// ---------------------------------------------------------------------------
// Kills
// ---------------------------------------------------------------------------

namespace {

// What one file must hold after a kill, given the versions the worker said
// it finished.
struct TTrack
{
    QString Name;
    QString Report; // the worker's word for a finished save of this file
    quint32 Salt = 0;
    std::optional<quint64> OnDisk; // version found after the last kill
};

} // namespace

void tst_Reliability::killWhileSaving()
{
    const int kills = qEnvironmentVariableIsSet("NUDGER_RELIABILITY_KILLS")
                          ? qEnvironmentVariableIntValue("NUDGER_RELIABILITY_KILLS")
                          : 200;
    const quint32 seed = qEnvironmentVariableIsSet("NUDGER_RELIABILITY_SEED")
                             ? quint32(qEnvironmentVariableIntValue("NUDGER_RELIABILITY_SEED"))
                             : QRandomGenerator::global()->generate();
    std::printf("kill seed: %u (NUDGER_RELIABILITY_SEED repeats a run)\n", seed);
    QRandomGenerator random(seed);
    // A fresh folder now and then, so that first saves, with no file yet,
    // are killed too.
    constexpr int KillsPerFolder = 25;

    QString dir;
    std::vector<TTrack> tracks;
    quint64 next = 1;
    int killedInSaves = 0;
    for (int kill = 0; kill < kills; ++kill) {
        if (kill % KillsPerFolder == 0) {
            dir = Path(QStringLiteral("round%1").arg(kill / KillsPerFolder));
            QVERIFY(QDir().mkpath(dir));
            QVERIFY(WriteAll(dir + QStringLiteral("/nudger.dat"), BuiltInSuggestions()));
            QVERIFY(WriteConfiguration(dir));
            tracks = {
                {QStringLiteral("text.txt"), QStringLiteral("text"), Versions::PrimarySalt, {}},
                {QStringLiteral("backup.txt"), QStringLiteral("text"), Versions::PrimarySalt, {}},
                {QStringLiteral("Nudger.cfg"), QStringLiteral("configuration"), 0, 0},
                {QStringLiteral("mine.txt"), QStringLiteral("user"), Versions::UserSalt, {}}};
        }

        QProcess worker;
        worker.setProgram(WorkerPath());
        worker.setArguments({QStringLiteral("save"), dir, QString::number(next)});
        QSignalSpy finished(&worker, &QProcess::finished);
        worker.start();
        QVERIFY2(worker.waitForStarted(ChildBoundMs), qPrintable(worker.errorString()));
        QByteArray output;
        // One kill in ten lands during start-up, the rest while saving.
        const bool duringStart = random.bounded(10) == 0;
        if (!duringStart) {
            while (!output.contains("ready\n")) {
                QVERIFY2(worker.waitForReadyRead(ChildBoundMs), output.constData());
                output += worker.readAllStandardOutput();
            }
            ++killedInSaves;
        }
        bool killed = false;
        QTimer::singleShot(int(random.bounded(duringStart ? 60 : 300)), &worker,
                           [&worker, &killed] {
                               killed = true;
                               worker.kill();
                           });
        QVERIFY(finished.wait(ChildBoundMs));
        output += worker.readAllStandardOutput();
        ++FTries;
        QVERIFY2(killed && worker.exitStatus() == QProcess::CrashExit,
                 qPrintable(QStringLiteral("the worker ended by itself: ") +
                            QString::fromUtf8(output + worker.readAllStandardError())));
        QCOMPARE(DecodedBoxes(output), QStringList());

        // The last version the worker finished, per file kind.
        std::map<QString, quint64> finishedVersions;
        for (const QByteArray &line : output.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 2 && words.at(0) != "box")
                finishedVersions[QString::fromLatin1(words.at(0))] = words.at(1).toULongLong();
        }

        quint64 highest = next;
        for (TTrack &track : tracks) {
            const QString path = dir + QLatin1Char('/') + track.Name;
            const auto reported = finishedVersions.find(track.Report);
            // The file holds the last finished version or the one after it,
            // or, with nothing finished in this run, what it held or the
            // run's first version.
            std::optional<quint64> older = track.OnDisk;
            quint64 newer = next;
            if (reported != finishedVersions.end()) {
                older = reported->second;
                newer = reported->second + 1;
            }
            const auto lose = [&] {
                if (older)
                    FBytesLost +=
                        quint64(track.Salt ? Versions::FileBytes(*older, track.Salt).size() : 1);
            };

            bool exists = false;
            const QByteArray bytes = ReadAll(path, &exists);
            std::optional<quint64> found;
            if (!exists) {
                if (older)
                    lose();
                QVERIFY2(!older, qPrintable(track.Name + QStringLiteral(" vanished")));
            } else if (track.Salt) {
                found = Versions::ClaimedVersion(bytes);
                if (!found || bytes != Versions::FileBytes(*found, track.Salt))
                    lose();
                QVERIFY2(found,
                         qPrintable(track.Name + QStringLiteral(" has no whole header (") +
                                    QString::number(bytes.size()) + QStringLiteral(" bytes): ") +
                                    QString::fromLatin1(bytes.left(60).toHex(' '))));
                QVERIFY2(bytes == Versions::FileBytes(*found, track.Salt),
                         qPrintable(track.Name + QStringLiteral(" is not one whole version")));
            } else {
                SetStartDirectoryForTesting(dir);
                TConfigurationFile configuration;
                const bool loaded = configuration.Load();
                bool ok = false;
                // The configuration the folder starts with has no number yet.
                const QString number = configuration.ReadValue(QStringLiteral("SuggestionNumber"));
                found = number.isEmpty() ? 0 : number.toULongLong(&ok);
                ok = ok || number.isEmpty();
                const bool whole =
                    loaded && ok &&
                    configuration.ReadValue(QStringLiteral("UserSuggestionsFile")) ==
                        Versions::ConfigurationName(*found) &&
                    configuration.ReadValue(QStringLiteral("PrimaryFile")) ==
                        dir + QStringLiteral("/text.txt") &&
                    (*found == 0 ||
                     TextToBool(configuration.ReadValue(QStringLiteral("Privacy"))) == false);
                if (!whole)
                    lose();
                QVERIFY2(whole, "the configuration is not one whole version");
            }
            if (found) {
                QVERIFY2(
                    found == older || *found == newer,
                    qPrintable(QStringLiteral("%1 holds version %2, not %3 or %4")
                                   .arg(track.Name)
                                   .arg(*found)
                                   .arg(older ? QString::number(*older) : QStringLiteral("none"))
                                   .arg(newer)));
                highest = qMax(highest, *found);
            }
            track.OnDisk = found;
            if (reported != finishedVersions.end())
                highest = qMax(highest, reported->second);
        }

        for (const QString &name : StrayNames(dir)) {
            // QSaveFile writes into an unnamed file and, when the target
            // exists, links it as "<target>.XXXXXX" and renames that over the
            // target: a kill between the two leaves the link. The target is
            // whole; the link goes.
            static const QRegularExpression temporaryName(QStringLiteral(
                "^(text\\.txt|backup\\.txt|Nudger\\.cfg|mine\\.txt)\\.[A-Za-z0-9]{6}$"));
            const bool ownTemporary = temporaryName.match(name).hasMatch();
            QVERIFY2(ownTemporary, qPrintable(QStringLiteral("stray file ") + name));
            ++FTempLeftovers;
            std::printf("left by a kill: %s\n", qPrintable(name));
            QVERIFY(QFile::remove(dir + QLatin1Char('/') + name));
        }
        ++FSurvived;
        next = highest + 1;
    }
    std::printf("kills: %d (%d while saving), versions written: %llu\n", kills, killedInSaves,
                static_cast<unsigned long long>(next - 1));
}

// ---------------------------------------------------------------------------
// The private store killed while it keeps and prunes
// ---------------------------------------------------------------------------

void tst_Reliability::storeWhileKilled()
{
    const quint32 seed = qEnvironmentVariableIsSet("NUDGER_RELIABILITY_SEED")
                             ? quint32(qEnvironmentVariableIntValue("NUDGER_RELIABILITY_SEED"))
                             : QRandomGenerator::global()->generate();
    std::printf("store kill seed: %u (NUDGER_RELIABILITY_SEED repeats a run)\n", seed);
    QRandomGenerator random(seed);
    const QString database = Path(QStringLiteral("store/nudger.db"));
    std::map<quint64, QByteArray> reported; // index: digest
    quint64 next = 1;
    int rounds = 0;
    // Many short lives, so that kills land in every part of keeping and pruning.
    while ((reported.size() < 200 || rounds < 60) && rounds < 400) {
        ++rounds;
        QProcess worker;
        worker.setProgram(QStringLiteral(NUDGER_STORE_WORKER));
        worker.setArguments({database, QString::number(next)});
        QSignalSpy finished(&worker, &QProcess::finished);
        worker.start();
        QVERIFY2(worker.waitForStarted(ChildBoundMs), qPrintable(worker.errorString()));
        QByteArray output;
        while (!output.contains("ready\n")) {
            QVERIFY2(worker.waitForReadyRead(ChildBoundMs), output.constData());
            output += worker.readAllStandardOutput();
        }
        QTimer::singleShot(int(random.bounded(5, 250)), &worker, [&worker] { worker.kill(); });
        QVERIFY(finished.wait(ChildBoundMs));
        output += worker.readAllStandardOutput();
        QCOMPARE(worker.exitStatus(), QProcess::CrashExit);
        for (const QByteArray &line : output.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 3 && words.at(0) == "kept") {
                reported[words.at(1).toULongLong()] = QByteArray::fromHex(words.at(2));
                next = std::max(next, words.at(1).toULongLong() + 1);
            }
        }
        // The next round goes on after the last round it may have begun.
        ++next;
    }
    QVERIFY2(reported.size() >= 200,
             qPrintable(QStringLiteral("%1 kept in %2 rounds").arg(reported.size()).arg(rounds)));
    {
        TSqliteDatabase check;
        QVERIFY(check.Open(database, 1000));
        QCOMPARE(check.TextOf("PRAGMA integrity_check"), QStringLiteral("ok"));
    }
    THistory history(database, database + QStringLiteral(".old"), 256 * 1024);
    history.SetPrimaryFile(QStringLiteral("/writer/book.txt"));
    std::map<QByteArray, TVersion> versions;
    for (const TVersion &version : history.Versions())
        versions[version.Digest] = version;
    for (const auto &[index, digest] : reported) {
        const auto found = versions.find(digest);
        QVERIFY2(found != versions.end(),
                 qPrintable(QStringLiteral("version %1 is gone").arg(index)));
        QByteArray bytes;
        QVERIFY2(history.Read(found->second, bytes),
                 qPrintable(QStringLiteral("version %1 does not read back").arg(index)));
        QCOMPARE(bytes, StoreText(index, true));
    }
    std::printf("store: %d kills, %d versions reported kept, all whole\n", rounds,
                int(reported.size()));
}

// ---------------------------------------------------------------------------
// A full disk and unwritable targets
// ---------------------------------------------------------------------------

void tst_Reliability::fullDisk_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("disk");
    QTest::addColumn<QString>("size");
    const std::pair<const char *, QString> kinds[] = {
        {"primary and backup", QStringLiteral("text")},
        {"configuration", QStringLiteral("configuration")},
        {"user suggestions", QStringLiteral("user")}};
    for (const auto &[row, kind] : kinds) {
        QTest::addRow("%s, size limit", row) << kind << "limit"
                                             << "long";
        QTest::addRow("%s, full disk, short", row) << kind << "tmpfs"
                                                   << "short";
        QTest::addRow("%s, full disk, long", row) << kind << "tmpfs"
                                                  << "long";
    }
}

void tst_Reliability::fullDisk()
{
    QFETCH(QString, kind);
    QFETCH(QString, disk);
    QFETCH(QString, size);
    std::optional<TFullDisk> tmpfs;
    if (disk == QLatin1String("tmpfs")) {
        tmpfs.emplace(FDir->path(), 512);
        if (!tmpfs->Mounted())
            QSKIP(qPrintable(QStringLiteral("no tmpfs to fill: ") + tmpfs->Error()));
    }
    PrepareFailDir();
    if (tmpfs)
        QVERIFY(tmpfs->Fill());
    const auto before = Snapshot();
    const QStringList worker = {WorkerPath(), QStringLiteral("fail"), kind, FDir->path(), size};
    // 64 blocks of 512 bytes: the old files fit, the new text does not.
    const QByteArray output =
        tmpfs ? RunFailChild(WorkerPath(), worker.mid(1))
              : RunFailChild(QStringLiteral("/bin/sh"),
                             QStringList{QStringLiteral("-c"),
                                         QStringLiteral("ulimit -f 64 && exec \"$0\" \"$@\"")} +
                                 worker);
    QCOMPARE(DecodedBoxes(output).join(QLatin1Char('|')), FailBoxes(kind).join(QLatin1Char('|')));
    QCOMPARE(DecodedLines(output, "bar").join(QLatin1Char('|')), FailBar(kind, bool(tmpfs)));
    QVERIFY2(output.contains("\nkept\n"), output.constData());
    CompareWithSnapshot(before);
}

void tst_Reliability::unprivilegedUser()
{
    QFETCH(QString, kind);
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to run a child as another user");
    QProcess id;
    id.start(QStringLiteral("id"), {QStringLiteral("-u"), QStringLiteral("nobody")});
    if (!id.waitForFinished(ChildBoundMs) || id.exitCode() != 0)
        QSKIP("there is no user nobody");
    PrepareFailDir();
    // The folder and its files may be read, not written, by that user.
    QVERIFY(QFile::setPermissions(
        FDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                          QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    // The worker must be reachable by that user too.
    QProcess probe;
    probe.start(setpriv, {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                          QStringLiteral("--clear-groups"), QStringLiteral("test"),
                          QStringLiteral("-x"), WorkerPath()});
    if (!probe.waitForFinished(ChildBoundMs) || probe.exitCode() != 0)
        QSKIP("the user nobody cannot run the worker from this build folder");
    // A sanitizer build's suppressions file lies in the checkout, which that
    // user may not be able to enter: the child gets a readable copy.
    QTemporaryDir shared;
    QVERIFY2(shared.isValid(), qPrintable(shared.errorString()));
    QVERIFY(QFile::setPermissions(
        shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                           QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString leakOptions = environment.value(QStringLiteral("LSAN_OPTIONS"));
    const QRegularExpressionMatch suppressions =
        QRegularExpression(QStringLiteral("(?:^|:)suppressions=([^:]*)")).match(leakOptions);
    if (suppressions.hasMatch()) {
        const QString copy = shared.filePath(QStringLiteral("lsan.supp"));
        QVERIFY(QFile::copy(suppressions.captured(1), copy));
        QVERIFY(
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        leakOptions.replace(suppressions.capturedStart(1), suppressions.capturedLength(1), copy);
        environment.insert(QStringLiteral("LSAN_OPTIONS"), leakOptions);
    }
    const auto before = Snapshot();
    const QByteArray output =
        RunFailChild(setpriv,
                     {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                      QStringLiteral("--clear-groups"), WorkerPath(), QStringLiteral("fail"), kind,
                      FDir->path()},
                     environment);
    QCOMPARE(DecodedBoxes(output).join(QLatin1Char('|')), FailBoxes(kind).join(QLatin1Char('|')));
    QCOMPARE(DecodedLines(output, "bar").join(QLatin1Char('|')), FailBar(kind, true));
    QVERIFY2(output.contains("\nkept\n"), output.constData());
    CompareWithSnapshot(before);
}

void tst_Reliability::unwritableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    const QStringList kinds = {QStringLiteral("primary"), QStringLiteral("backup"),
                               QStringLiteral("configuration"), QStringLiteral("user")};
    for (const QString &kind : kinds) {
        for (const QString &target :
             {QStringLiteral("missing folder"), QStringLiteral("under a regular file"),
              QStringLiteral("a folder")})
            QTest::newRow(qPrintable(kind + QStringLiteral(", ") + target)) << kind << target;
    }
}

void tst_Reliability::unwritableTarget()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QVERIFY(WriteAll(Path(QStringLiteral("nudger.dat")), BuiltInSuggestions()));
    QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), Versions::FileBytes(1, 7)));
    QVERIFY(WriteAll(Path(QStringLiteral("mine.txt")), Versions::FileBytes(4, 7)));
    QVERIFY(WriteAll(Path(QStringLiteral("plain")), "a regular file"));
    auto form = MakeForm({QStringLiteral("RandomizeSuggestions=NO")});
    form->SetBackupFile(Path(QStringLiteral("backup.txt")));
    form->Save_MenuItemClick();
    QCOMPARE(FPrompts->Records.size(), 0);

    // The file's name in an unwritable place; the configuration's is fixed,
    // so its folder moves there instead.
    const QString name = kind == QLatin1String("configuration") ? QStringLiteral("Nudger.cfg")
                                                                : kind + QStringLiteral(".txt");
    QString folder;
    if (target == QLatin1String("missing folder"))
        folder = Path(QStringLiteral("gone"));
    else if (target == QLatin1String("under a regular file"))
        folder = Path(QStringLiteral("plain"));
    else
        folder = Path(QStringLiteral("folders"));
    if (target == QLatin1String("a folder"))
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + name));
    const QString path = folder + QLatin1Char('/') + name;
    // The other of the two text files is written as usual.
    auto before = Snapshot();
    if (kind == QLatin1String("primary"))
        before.erase(QStringLiteral("backup.txt"));
    else if (kind == QLatin1String("backup"))
        before.erase(QStringLiteral("text.txt"));
    const QByteArray plain = ReadAll(Path(QStringLiteral("plain")));
    const QString text = Versions::Text(10, 3);

    QStringList expected;
    bool kept = false;
    if (kind == QLatin1String("primary") || kind == QLatin1String("backup")) {
        if (kind == QLatin1String("primary"))
            form->SetPrimaryFile(path);
        else
            form->SetBackupFile(path);
        form->Text_Memo->setPlainText(text);
        FPrompts->WhileOpen = [&form] {
            form->AutoSave_TimerTimer();
            form->Document().WaitForWrites();
        };
        form->Save_MenuItemClick();
        // Once the box is closed, the next failure shows again.
        form->Save_MenuItemClick();
        const QString box = kind == QLatin1String("primary") ? CannotSaveText : CannotSaveBackup;
        expected = {box, box};
        kept = form->Text_Memo->toPlainText() == text &&
               form->TextChanged() == (kind == QLatin1String("primary"));
    } else if (kind == QLatin1String("configuration")) {
        SetStartDirectoryForTesting(folder);
        form->SetUserSuggestionsFile(text);
        FPrompts->WhileOpen = [&form] { form->Nudge_TimerTimer(); };
        form->Sound_MenuItemClick();
        form->Sound_MenuItemClick();
        expected = {CannotSaveConfiguration, CannotSaveConfiguration};
        kept = form->UserSuggestionsFile() == text && form->SoundEnabled();
        SetStartDirectoryForTesting(FDir->path());
    } else {
        TSuggestionSettings_Form suggestions;
        suggestions.SetUseUserSuggestionsFile(true);
        suggestions.SetUserSuggestionsFile(path);
        suggestions.UserSuggestions_Memo->setPlainText(text);
        QVERIFY(!suggestions.SaveUserSuggestions());
        // A folder of that name is also refused on reading.
        if (target == QLatin1String("a folder"))
            expected << QStringLiteral("I can not open the user suggestion file!");
        expected << CannotSaveSuggestions;
        kept = suggestions.UserSuggestions_Memo->toPlainText() == text &&
               suggestions.UserSuggestionsChanged();
    }
    QCOMPARE(FPrompts->Texts(), expected);
    QVERIFY(kept);
    QCOMPARE(ReadAll(Path(QStringLiteral("plain"))), plain);
    QVERIFY(!QFileInfo::exists(Path(QStringLiteral("gone"))));
    if (target == QLatin1String("a folder"))
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{name});
    QDir(Path(QStringLiteral("folders"))).removeRecursively();
    QVERIFY(QFile::remove(Path(QStringLiteral("plain"))));
    CompareWithSnapshot(before);
}

// ---------------------------------------------------------------------------
// Bad input
// ---------------------------------------------------------------------------

namespace {

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

QByteArray BadBytes(const QString &content)
{
    if (content == QLatin1String("random bytes"))
        return RandomBytes(1 << 20, 11);
    if (content == QLatin1String("NUL bytes"))
        return QByteArray(4096, '\0') + "text after NULs\r\n" + QByteArray(100, '\0') + "end";
    if (content == QLatin1String("50 MB")) {
        const QByteArray line = "fifty megabytes of lines, every one the same and ordinary\r\n";
        return line.repeated(50 * 1024 * 1024 / line.size());
    }
    if (content == QLatin1String("lines of 1 MB")) {
        QByteArray bytes;
        for (char c : {'a', 'b', 'c'})
            bytes += QByteArray(1 << 20, c) + "\r\n";
        return bytes;
    }
    // Invalid UTF-8: lone continuation bytes, a cut sequence, overlong forms.
    return "caf\xc3\xa9 is fine\r\n\x80\x81 lone\r\n\xe6\xbc cut\r\n\xc0\xaf overlong\r\n\xff\xfe";
}

} // namespace

void tst_Reliability::badInput_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("content");
    const QStringList kinds = {QStringLiteral("primary"), QStringLiteral("configuration"),
                               QStringLiteral("nudger.dat"), QStringLiteral("user suggestions"),
                               QStringLiteral("user suggestions editor")};
    const QStringList contents = {QStringLiteral("random bytes"), QStringLiteral("NUL bytes"),
                                  QStringLiteral("50 MB"), QStringLiteral("lines of 1 MB"),
                                  QStringLiteral("invalid UTF-8")};
    for (const QString &kind : kinds) {
        for (const QString &content : contents)
            QTest::newRow(qPrintable(kind + QStringLiteral(", ") + content)) << kind << content;
    }
}

void tst_Reliability::badInput()
{
    QFETCH(QString, kind);
    QFETCH(QString, content);
    const QByteArray bad = BadBytes(content);
    QVERIFY(WriteAll(Path(QStringLiteral("nudger.dat")), BuiltInSuggestions()));
    QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), "the writer's text"));
    QStringList values = {QStringLiteral("UseUserSuggestionsFile=YES"),
                          QStringLiteral("UserSuggestionsFile=") +
                              Path(QStringLiteral("mine.txt"))};
    if (kind != QLatin1String("user suggestions"))
        QVERIFY(WriteAll(Path(QStringLiteral("mine.txt")), "one of mine"));
    QVERIFY(WriteConfiguration(FDir->path(), values));

    const QString file = kind == QLatin1String("primary")         ? QStringLiteral("text.txt")
                         : kind == QLatin1String("configuration") ? QStringLiteral("Nudger.cfg")
                         : kind == QLatin1String("nudger.dat")    ? QStringLiteral("nudger.dat")
                                                                  : QStringLiteral("mine.txt");
    QVERIFY(WriteAll(Path(file), bad));
    ++FTries;

    QElapsedTimer timer;
    timer.start();
    if (kind == QLatin1String("user suggestions editor")) {
        TSuggestionSettings_Form suggestions;
        suggestions.SetUseUserSuggestionsFile(true);
        suggestions.SetUserSuggestionsFile(Path(file));
        QVERIFY2(timer.elapsed() < ReadBoundMs, qPrintable(QString::number(timer.elapsed())));
        // Refused with a message and nothing saved over it, or shown as far
        // as it is text and saved back with the same lines and, after a NUL,
        // the same bytes.
        if (FPrompts->Count(ReadingMessages.at(5)) == 0) {
            TSuggestionsFile before;
            QVERIFY(ReadSuggestionsFile(Path(file), before));
            QVERIFY(suggestions.SaveUserSuggestions());
            TSuggestionsFile after;
            QVERIFY(ReadSuggestionsFile(Path(file), after));
            QCOMPARE(after.Lines, before.Lines);
            const QByteArray saved = ReadAll(Path(file));
            if (bad.contains('\0'))
                QCOMPARE(saved.mid(saved.indexOf('\0')), bad.mid(bad.indexOf('\0')));
        }
    } else {
        TMain_Form form(nullptr, FDialogs);
        QVERIFY2(timer.elapsed() < ReadBoundMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!form.TerminateRequested());
        if (kind == QLatin1String("primary")) {
            QVERIFY(!form.Text_Memo->toPlainText().isEmpty() ||
                    FPrompts->Count(ReadingMessages.at(0)) == 1);
        } else if (kind == QLatin1String("configuration")) {
            // Unreadable settings fall back to the defaults, and the writer
            // is asked for a primary file again.
            QCOMPARE(form.PrimaryFile(), Path(QStringLiteral("text.txt")));
            QCOMPARE(form.Text_Memo->toPlainText(), QStringLiteral("the writer's text"));
        } else {
            QVERIFY(form.SuggestionCount() > 0 || !FPrompts->Records.isEmpty());
            form.MakeSuggestion_MenuItemClick();
        }
        // Saving afterwards still works.
        form.Save_MenuItemClick();
    }
    for (const QString &text : FPrompts->Texts())
        QVERIFY2(ReadingMessages.contains(text), qPrintable(text));
    QVERIFY2(timer.elapsed() < ReadBoundMs, qPrintable(QString::number(timer.elapsed())));
    // The bad file itself is never written over unless it is the primary
    // file, which the save just wrote from what the editor showed, or the
    // editor's, checked above.
    if (kind != QLatin1String("primary") && kind != QLatin1String("configuration") &&
        kind != QLatin1String("user suggestions editor"))
        QVERIFY(ReadAll(Path(file)) == bad);
    ++FSurvived;
}

void tst_Reliability::unchangedFileSavesSameBytes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved"); // empty: the same bytes

    // Random bytes with no line breaks of their own, in CR LF lines.
    QByteArray random = RandomBytes(200000, 5);
    random.replace('\r', 'r').replace('\n', 'n');
    for (qsizetype i = 97; i < random.size(); i += 101)
        random.insert(i, "\r\n");

    const struct
    {
        const char *name;
        QByteArray bytes;
        QByteArray saved;
    } rows[] = {
        {"ASCII lines", "one\r\ntwo\r\n\r\nfour", {}},
        {"UTF-8", "caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97\r\n\xe2\x82\xac", {}},
        {"byte order mark", "\xef\xbb\xbfwith a mark\r\nsecond", {}},
        {"invalid UTF-8", "caf\xe9\r\n\x80\x81\xff line", {}},
        {"random bytes", random, {}},
        {"NUL bytes", QByteArray("a\0b\r\n\0\0c", 9), {}},
        {"lines of 1 MB", QByteArray(1 << 20, 'x') + "\r\n" + QByteArray(1 << 20, 'y'), {}},
        {"non-breaking spaces, UTF-8",
         "a\xc2\xa0"
         "b\r\nno\xc2\xa0"
         "break",
         {}},
        {"non-breaking spaces, 8-bit",
         "a\xa0"
         "b\r\n\xa0\xe9",
         {}},
        {"empty", "", {}},
        // The editor holds no lone CR: it ends a line and comes back as CR LF.
        {"lone CR", "a\rb\r\nc", "a\r\nb\r\nc"},
        {"line and paragraph separators",
         "a\xe2\x80\xa8"
         "b",
         {}},
        // By design LF-only files come back with CR LF line ends.
        {"LF line ends", "one\ntwo\nthree", "one\r\ntwo\r\nthree"},
        {"final line break", "one\r\ntwo\r\n", "one\r\ntwo"},
    };
    for (const auto &row : rows) {
        QTest::newRow(qPrintable(QStringLiteral("primary, ") + QLatin1String(row.name)))
            << QStringLiteral("primary") << row.bytes << row.saved;
        QTest::newRow(qPrintable(QStringLiteral("user suggestions, ") + QLatin1String(row.name)))
            << QStringLiteral("user") << row.bytes << row.saved;
    }
}

void tst_Reliability::unchangedFileSavesSameBytes()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    if (saved.isEmpty())
        saved = bytes;
    QVERIFY(WriteAll(Path(QStringLiteral("nudger.dat")), BuiltInSuggestions()));
    ++FTries;
    if (kind == QLatin1String("primary")) {
        QVERIFY(WriteAll(Path(QStringLiteral("text.txt")), bytes));
        auto form = MakeForm();
        QCOMPARE(FPrompts->Texts(), QStringList());
        form->Save_MenuItemClick();
        QCOMPARE(ReadAll(Path(QStringLiteral("text.txt"))), saved);
    } else {
        QVERIFY(WriteAll(Path(QStringLiteral("mine.txt")), bytes));
        TSuggestionSettings_Form suggestions;
        suggestions.SetUseUserSuggestionsFile(true);
        suggestions.SetUserSuggestionsFile(Path(QStringLiteral("mine.txt")));
        QVERIFY(suggestions.SaveUserSuggestions());
        QCOMPARE(ReadAll(Path(QStringLiteral("mine.txt"))), saved);
    }
    QCOMPARE(FPrompts->Texts(), QStringList());
    ++FSurvived;
}

int main(int argc, char **argv)
{
    EnterPrivateMountNamespace();
    QApplication app(argc, argv);
    tst_Reliability test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_Reliability.moc"
