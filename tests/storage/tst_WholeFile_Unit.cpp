#include "storage/WholeFile_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "support/FileBytes.h"
#include "support/FileRestrictions.h"
#include "support/FullDisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

Q_DECLARE_METATYPE(TFileKind)

namespace {

int Mode(const QString &fileName)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(fileName).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                       : -1;
}

// Run as a child: "--write <file> <bytes> [ignore-xfsz]" writes that many
// letters through WriteWholeFile and exits 0 on success, 1 on failure.
constexpr char WriteHelperSwitch[] = "--write";

int RunWriteHelper(int argc, char **argv)
{
    if (argc >= 5 && std::strcmp(argv[4], "ignore-xfsz") == 0)
        std::signal(SIGXFSZ, SIG_IGN);
    const QString fileName = QString::fromLocal8Bit(argv[2]);
    return WriteWholeFile(fileName, QByteArray(QByteArray(argv[3]).toInt(), 'x')) ? 0 : 1;
}

} // namespace

class tst_WholeFile_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readRefusesAllButARegularFile_data();
    void readRefusesAllButARegularFile();
    void rewriteWithOldTimeChangesSignature();
    void writeNewFile_data();
    void writeNewFile();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void interruptedWriteKeepsOldFile_data();
    void interruptedWriteKeepsOldFile();
    void writeKeepsModeAndUsesASharedFolder_data();
    void writeKeepsModeAndUsesASharedFolder();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
};

// A FIFO would hold a blocking read for ever: the read must simply return.
void tst_WholeFile_Unit::readRefusesAllButARegularFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TFileKind>("kind");
    QTest::newRow("missing") << "missing.txt" << TFileKind::Missing;
    QTest::newRow("a folder") << "" << TFileKind::Other;
    QTest::newRow("a FIFO") << "fifo" << TFileKind::Other;
}

void tst_WholeFile_Unit::readRefusesAllButARegularFile()
{
    QFETCH(QString, name);
    QFETCH(TFileKind, kind);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600),
             0);
    const QString fileName = name.isEmpty() ? dir.path() : dir.filePath(name);
    QCOMPARE(FileKind(fileName), kind);
    QVERIFY(!IsExistingFile(fileName));
    QByteArray bytes("kept");
    QVERIFY(!ReadWholeFile(fileName, bytes));
    QCOMPARE(bytes, QByteArray("kept"));
}

// Another program rewrote the file in place with the same size and put the
// old modification time back (touch -r, rsync --inplace -t).
void tst_WholeFile_Unit::rewriteWithOldTimeChangesSignature()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("story.txt"));
    QVERIFY(WriteAll(fileName, "first"));
    const TFileSignature old = FileSignature(fileName);
    // The rewrite falls on a later tick of the clock the file system uses.
    const auto coarseNow = [] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    };
    QTRY_VERIFY(coarseNow() > old.ChangedNs);
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.write("other") == 5 && file.flush());
    file.close();
    const timespec times[2] = {{0, UTIME_OMIT},
                               {old.ModifiedNs / 1000000000, old.ModifiedNs % 1000000000}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(fileName).constData(), times, 0), 0);
    const TFileSignature now = FileSignature(fileName);
    QCOMPARE(now.ModifiedNs, old.ModifiedNs);
    QVERIFY(now != old);
}

void tst_WholeFile_Unit::writeNewFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("new: 0600 under umask 022") << "new.txt" << int(TNewFileResult::Written);
    QTest::newRow("taken name: old file kept") << "old.txt" << int(TNewFileResult::Exists);
    QTest::newRow("missing folder") << "missing/new.txt" << int(TNewFileResult::Failed);
}

void tst_WholeFile_Unit::writeNewFile()
{
    QFETCH(QString, name);
    QFETCH(int, result);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString old = dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(WriteAll(old, "old text"));
    const mode_t mask = ::umask(022);
    const TNewFileResult written = WriteNewFile(dir.filePath(name), "new text", 0600);
    ::umask(mask);
    QCOMPARE(int(written), result);
    QCOMPARE(ReadAll(old), QByteArray("old text"));
    QStringList names{QStringLiteral("old.txt")};
    if (written == TNewFileResult::Written) {
        QCOMPARE(ReadAll(dir.filePath(name)), QByteArray("new text"));
        QCOMPARE(FilePermissions(dir.filePath(name)), 0600);
        names.prepend(name);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             names);
}

void tst_WholeFile_Unit::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing folder") << "missing/new.txt";
    QTest::newRow("under a regular file") << "old.txt/new.txt";
    QTest::newRow("a folder") << "folder";
}

void tst_WholeFile_Unit::failedWriteKeepsOldFile()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString old = dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(WriteAll(old, "old text"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(!WriteWholeFile(dir.filePath(name), "new text"));
    QCOMPARE(ReadAll(old), QByteArray("old text"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("folder"), QStringLiteral("old.txt")}));
}

void tst_WholeFile_Unit::interruptedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("ignoreSignal");
    QTest::newRow("killed by the size limit") << false;
    QTest::newRow("write refused by the size limit") << true;
}

void tst_WholeFile_Unit::interruptedWriteKeepsOldFile()
{
    QFETCH(bool, ignoreSignal);
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sh"));
    if (shell.isEmpty())
        QSKIP("no sh to set the file size limit");
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("story.txt"));
    const QByteArray old(3000, 'o');
    QVERIFY(WriteAll(fileName, old));

    // The limit is counted in blocks of 512 or 1024 bytes depending on the
    // shell; 200000 letters exceed either.
    QProcess child;
    child.start(shell, {QStringLiteral("-c"), QStringLiteral("ulimit -f 1; exec \"$0\" \"$@\""),
                        QCoreApplication::applicationFilePath(),
                        QString::fromLatin1(WriteHelperSwitch), fileName, QStringLiteral("200000"),
                        ignoreSignal ? QStringLiteral("ignore-xfsz") : QStringLiteral("")});
    QVERIFY(child.waitForFinished(60000));
    if (ignoreSignal) {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1); // reported as a failure
    } else {
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }
    QCOMPARE(ReadAll(fileName), old);

    // Without the limit the same helper succeeds, so the limit was the cause.
    QProcess unlimited;
    unlimited.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(WriteHelperSwitch), fileName, QStringLiteral("200000")});
    QVERIFY(unlimited.waitForFinished(60000));
    QCOMPARE(unlimited.exitCode(), 0);
    QCOMPARE(ReadAll(fileName), QByteArray(200000, 'x'));
}

// A folder that takes no new files (shared with other users) still lets the
// writer save a file of theirs in it, in place; a write that cannot fit
// fails before it changes a byte.
void tst_WholeFile_Unit::writeKeepsModeAndUsesASharedFolder_data()
{
    QTest::addColumn<bool>("sharedFolder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("sizeLimit"); // 0: none
    QTest::addColumn<bool>("written");
    QTest::newRow("own folder: replaced, mode kept") << false << 0640 << 0 << true;
    QTest::newRow("shared folder: written in place, mode kept") << true << 0640 << 0 << true;
    QTest::newRow("shared folder, no room: old file kept") << true << 0640 << 4096 << false;
    QTest::newRow("shared folder, file read-only: old file kept") << true << 0440 << 0 << false;
}

void tst_WholeFile_Unit::writeKeepsModeAndUsesASharedFolder()
{
    QFETCH(bool, sharedFolder);
    QFETCH(int, mode);
    QFETCH(int, sizeLimit);
    QFETCH(bool, written);
    TOrdinaryUser writer;
    if (!writer.Valid())
        QSKIP("no ordinary user to write as");
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString folder = dir.filePath(QStringLiteral("shared"));
    const QString fileName = folder + QStringLiteral("/story.txt");
    QVERIFY(QDir().mkdir(folder));
    const QByteArray old(3000, 'o');
    QVERIFY(WriteAll(fileName, old));
    QVERIFY(writer.Give(dir.path()) && writer.Give(folder) && writer.Give(fileName));
    QCOMPARE(::chmod(QFile::encodeName(fileName).constData(), mode_t(mode)), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), sharedFolder ? 0555 : 0755), 0);

    const QByteArray text(200000, 'x');
    bool result = false;
    {
        std::optional<TFileSizeLimit> limit;
        if (sizeLimit > 0)
            limit.emplace(rlim_t(sizeLimit));
        writer.Begin();
        result = WriteWholeFile(fileName, text);
        writer.End();
    }
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QCOMPARE(result, written);
    QCOMPARE(ReadAll(fileName) == text, written);
    if (!written)
        QCOMPARE(ReadAll(fileName), old);
    QCOMPARE(Mode(fileName), mode);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("story.txt")});
}

// On a real full disk every writer fails, and says so, with the old file
// whole and nothing of the new one left: also a payload small enough to sit
// in a write buffer until the end, and one that needs more room than the old
// file's blocks when written in place.
void tst_WholeFile_Unit::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<bool>("newFile");
    QTest::addColumn<int>("size");
    QTest::newRow("replaced, short") << false << false << 10000;
    QTest::newRow("replaced, long") << false << false << 100000;
    QTest::newRow("in place, short") << true << false << 10000;
    QTest::newRow("in place, long") << true << false << 100000;
    QTest::newRow("new file, short") << false << true << 10000;
    QTest::newRow("new file, long") << false << true << 100000;
}

void tst_WholeFile_Unit::fullDiskKeepsOldFile()
{
    QFETCH(bool, inPlace);
    QFETCH(bool, newFile);
    QFETCH(int, size);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const TFullDisk disk(dir.path(), 64);
    if (!disk.Mounted())
        QSKIP(qPrintable(QStringLiteral("no tmpfs to fill: ") + disk.Error()));
    const QString fileName = dir.filePath(QStringLiteral("story.txt"));
    const QByteArray old("forty bytes of the writer's earlier text");
    QVERIFY(WriteAll(fileName, old));
    QVERIFY(disk.Fill());

    const QByteArray text(size, 'x');
    if (newFile)
        QCOMPARE(int(WriteNewFile(dir.filePath(QStringLiteral("new.txt")), text, 0600)),
                 int(TNewFileResult::Failed));
    else
        QVERIFY(inPlace ? !OverwriteFileInPlace(fileName, text) : !WriteWholeFile(fileName, text));
    QCOMPARE(ReadAll(fileName), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("filler"), QStringLiteral("story.txt")}));
}

int main(int argc, char **argv)
{
    if (argc >= 4 && std::strcmp(argv[1], WriteHelperSwitch) == 0)
        return RunWriteHelper(argc, argv);
    EnterPrivateMountNamespace();
    QCoreApplication app(argc, argv);
    tst_WholeFile_Unit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WholeFile_Unit.moc"
