#include "storage/TextDocument_Unit.h"

#include "support/FileBytes.h"
#include "support/FileRestrictions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TSaveResult)

namespace {

// The editor as the document sees it: it tells the document of every change,
// as the window's editor does.
struct TEditor : TDocumentText
{
    TTextDocument *Document = nullptr;
    QString Current;
    QString Undone; // what one undo step would bring back

    QString Text() const override { return Current; }
    void Load(const QString &text) override { Set(text); }
    void Follow(const QString &text) override
    {
        Undone = Current;
        Set(text);
    }
    void Set(const QString &text)
    {
        Current = text;
        Document->Changed();
    }
};

// A document over a test editor, its recovery copies in the test's folder.
struct TDocument
{
    explicit TDocument(const QTemporaryDir &dir)
        : Document(Editor, dir.filePath(QStringLiteral("recovery")))
    {
        Editor.Document = &Document;
    }
    TEditor Editor;
    TTextDocument Document;
};

} // namespace

// What the document does when the file it is about to write was changed by
// another program since it last read or wrote it.
class tst_TextDocument_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changedOutside_data();
    void changedOutside();
    void unreadableFileIsHeldUntilTyping();
    void nothingWrittenBeforeTheTextIsTheWriters();
    void emptiedFileLeavesTheBackupAlone();
    void savedAsRead_data();
    void savedAsRead();
};

void tst_TextDocument_Unit::changedOutside_data()
{
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<QString>("outside");
    QTest::addColumn<TSaveResult>("result");
    QTest::addColumn<QByteArray>("onDisk");
    for (const bool backup : {false, true}) {
        const char *file = backup ? "backup" : "primary";
        for (const bool unsaved : {false, true}) {
            const char *editor = unsaved ? "unsaved" : "saved";
            const QByteArray mine = unsaved ? "mine" : "one\r\ntwo";
            // A saved text takes the primary file's new version; the backup
            // is left to whoever wrote it.
            const TSaveResult changed =
                unsaved || backup ? TSaveResult::Conflict : TSaveResult::ReadAgain;
            QTest::addRow("%s, %s, rewritten", file, editor)
                << backup << unsaved << "rewritten" << changed << QByteArray("theirs");
            QTest::addRow("%s, %s, only touched", file, editor)
                << backup << unsaved << "touched" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, deleted", file, editor)
                << backup << unsaved << "deleted" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, rewritten with the same text", file, editor)
                << backup << unsaved << "same" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, replaced by a link", file, editor)
                << backup << unsaved << "linked" << changed << QByteArray("theirs");
            QTest::addRow("%s, %s, unreadable", file, editor)
                << backup << unsaved << "unreadable"
                << (unsaved || backup ? TSaveResult::Conflict : TSaveResult::Held)
                << QByteArray("theirs");
        }
    }
}

void tst_TextDocument_Unit::changedOutside()
{
    QFETCH(bool, backup);
    QFETCH(bool, unsaved);
    QFETCH(QString, outside);
    QFETCH(TSaveResult, result);
    QFETCH(QByteArray, onDisk);
    TOrdinaryUser writer;
    if (outside == QLatin1String("unreadable") && !writer.Valid())
        QSKIP("no ordinary user to be kept out of the file");
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString primary = dir.filePath(QStringLiteral("text.txt"));
    const QString target = backup ? dir.filePath(QStringLiteral("backup.txt")) : primary;
    QVERIFY(WriteAll(primary, "one\r\ntwo"));

    QVERIFY(::chmod(QFile::encodeName(primary).constData(), 0600) == 0);
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    document.SetPrimaryFile(primary);
    QCOMPARE(document.ReadPrimary(), TReadResult::Read);
    QCOMPARE(subject.Editor.Current, QStringLiteral("one\ntwo"));
    if (backup) {
        document.SetBackupFile(target);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
    }
    if (unsaved)
        subject.Editor.Set(QStringLiteral("mine"));

    if (outside == QLatin1String("touched")) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    } else if (outside == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(target));
    } else if (outside == QLatin1String("same")) {
        QVERIFY(QFile::remove(target));
        QVERIFY(WriteAll(target, unsaved ? "mine" : "one\r\ntwo"));
    } else if (outside == QLatin1String("linked")) {
        QVERIFY(QFile::remove(target));
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("other.txt")), "theirs"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("other.txt")), target));
    } else {
        QVERIFY(QFile::remove(target));
        QVERIFY(WriteAll(target, "theirs"));
    }
    if (outside == QLatin1String("unreadable")) {
        QVERIFY(writer.Give(dir.path()) && writer.Give(primary));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0) == 0);
        writer.Begin();
    }
    const TSaveResult saved = backup ? document.SaveBackup() : document.SavePrimary();
    writer.End();
    QCOMPARE(saved, result);
    QCOMPARE(ReadAll(target), onDisk);
    if (result == TSaveResult::ReadAgain) {
        QCOMPARE(subject.Editor.Current, QStringLiteral("theirs"));
        QCOMPARE(subject.Editor.Undone, QStringLiteral("one\ntwo"));
        // The text it replaced is in a copy of its own, as private as the
        // writer's file, which no later tick touches.
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QCOMPARE(ReadAll(document.KeptIn()), QByteArray("one\r\ntwo"));
        QCOMPARE(QFileInfo(document.KeptIn()).permissions() & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner);
    }
    // Another version in conflict is not read again at every tick.
    if (result == TSaveResult::Conflict && outside == QLatin1String("rewritten")) {
        QCOMPARE(backup ? document.SaveBackup() : document.SavePrimary(), TSaveResult::Conflict);
        QCOMPARE(ReadAll(target), onDisk);
    }
    // "Keep My Text" writes where the writer's file was, never through a
    // link another program put there into the file it leads to.
    if (result == TSaveResult::Conflict && outside == QLatin1String("linked")) {
        QVERIFY(document.KeepMyText());
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(ReadAll(target), unsaved ? QByteArray("mine") : QByteArray("one\r\ntwo"));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("other.txt"))), QByteArray("theirs"));
    }
}

// A primary file that exists but cannot be read is never replaced by text
// the writer did not write, neither is the backup; typing lifts that.
void tst_TextDocument_Unit::unreadableFileIsHeldUntilTyping()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    // Exists, yet cannot be read from its start, even by root.
    document.SetPrimaryFile(QStringLiteral("/proc/self/mem"));
    document.SetBackupFile(dir.filePath(QStringLiteral("backup.txt")));
    QCOMPARE(document.ReadPrimary(), TReadResult::Failed);
    QVERIFY(!document.Loaded());
    QCOMPARE(document.SavePrimary(), TSaveResult::Held);
    QCOMPARE(document.SaveBackup(), TSaveResult::Held);
    QVERIFY(!QFile::exists(document.BackupFile()));
    subject.Editor.Set(QStringLiteral("not the file's"));
    QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
    QCOMPARE(ReadAll(document.BackupFile()), QByteArray("not the file's"));
}

// Until the primary file was read or the writer typed, the editor's text is
// no one's: neither the last tick nor a save may put it in any file, as when
// the session ends during the start's settings step, with no primary file yet
// and a backup holding the text of an earlier session.
void tst_TextDocument_Unit::nothingWrittenBeforeTheTextIsTheWriters()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString backup = dir.filePath(QStringLiteral("backup.txt"));
    QVERIFY(WriteAll(backup, "chapter one"));
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    document.SetBackupFile(backup);
    const TSessionEndSaves saves =
        document.SaveForSessionEnd(TTextDocument::TPrimaryAtEnd::Save, QDateTime());
    QVERIFY(!saves.Primary && !saves.Backup && saves.Copy.isEmpty());
    document.SetPrimaryFile(dir.filePath(QStringLiteral("new.txt")));
    QCOMPARE(document.ReadPrimary(), TReadResult::Missing);
    QCOMPARE(document.SavePrimary(), TSaveResult::Held);
    QCOMPARE(document.SaveBackup(), TSaveResult::Held);
    QCOMPARE(ReadAll(backup), QByteArray("chapter one"));
    QVERIFY(!QFile::exists(document.PrimaryFile()));
}

// A sync client's failed download empties the primary file of a saved text:
// the editor follows it, and the backup, which held the text, keeps it
// through the ticks that follow, until the writer types.
void tst_TextDocument_Unit::emptiedFileLeavesTheBackupAlone()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString primary = dir.filePath(QStringLiteral("text.txt"));
    const QString backup = dir.filePath(QStringLiteral("backup.txt"));
    QVERIFY(WriteAll(primary, "chapter") && WriteAll(backup, "chapter"));
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    document.SetPrimaryFile(primary);
    document.SetBackupFile(backup);
    QCOMPARE(document.ReadPrimary(), TReadResult::Read);
    QVERIFY(WriteAll(primary, ""));
    QCOMPARE(document.SavePrimary(), TSaveResult::ReadAgain);
    QCOMPARE(document.KeptIn(), backup);
    for (int tick = 0; tick < 2; ++tick) {
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QCOMPARE(document.SaveBackup(), TSaveResult::Held);
    }
    QCOMPARE(ReadAll(backup), QByteArray("chapter"));
    subject.Editor.Set(QStringLiteral("new start"));
    QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
}

// Opening and saving a file the writer has not changed gives back its very
// bytes, whatever 8-bit form it came in.
void tst_TextDocument_Unit::savedAsRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9\r\nna\xc3\xafve");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9\r\nna\xefve");
    QTest::newRow("UTF-8 with a byte order mark") << QByteArray("\xef\xbb\xbfone\r\ntwo");
}

void tst_TextDocument_Unit::savedAsRead()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString primary = dir.filePath(QStringLiteral("text.txt"));
    QVERIFY(WriteAll(primary, bytes));
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    document.SetPrimaryFile(primary);
    QCOMPARE(document.ReadPrimary(), TReadResult::Read);
    QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
    QCOMPARE(ReadAll(primary), bytes);
}

QTEST_GUILESS_MAIN(tst_TextDocument_Unit)
#include "tst_TextDocument_Unit.moc"
