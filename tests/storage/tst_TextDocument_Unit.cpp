#include "storage/TextDocument_Unit.h"

#include "storage/RecoveryCopy_Unit.h"

#include "support/FileBytes.h"
#include "support/FileRestrictions.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
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

// A document over a test editor, its private folder (recovery copies and
// history) beside the writer's files in the test's folder.
struct TDocument
{
    explicit TDocument(const QTemporaryDir &dir)
        : Document(Editor, dir.filePath(QStringLiteral("private")))
    {
        Editor.Document = &Document;
    }
    ~TDocument() { Document.Recovery().WaitForWrites(); }
    // The contents the history keeps, in their bytes' order.
    QList<QByteArray> Kept()
    {
        QList<QByteArray> kept;
        for (const TVersion &version : Document.Versions()) {
            QByteArray bytes;
            if (Document.ReadVersion(version, bytes))
                kept << bytes;
        }
        std::sort(kept.begin(), kept.end());
        return kept;
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
    void neverTheLastCopy_data();
    void neverTheLastCopy();
    void writesInFlight_data();
    void writesInFlight();
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
            // A saved text takes the primary file's new version, an unsaved
            // one waits for the writer; another program's backup is kept,
            // then written.
            const TSaveResult changed = backup    ? TSaveResult::Saved
                                        : unsaved ? TSaveResult::Conflict
                                                  : TSaveResult::ReadAgain;
            const QByteArray changedOnDisk = backup ? mine : QByteArray("theirs");
            QTest::addRow("%s, %s, rewritten", file, editor)
                << backup << unsaved << "rewritten" << changed << changedOnDisk;
            QTest::addRow("%s, %s, only touched", file, editor)
                << backup << unsaved << "touched" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, deleted", file, editor)
                << backup << unsaved << "deleted" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, rewritten with the same text", file, editor)
                << backup << unsaved << "same" << TSaveResult::Saved << mine;
            QTest::addRow("%s, %s, replaced by a link", file, editor)
                << backup << unsaved << "linked" << changed << changedOnDisk;
            // What cannot be read cannot be kept.
            QTest::addRow("%s, %s, unreadable", file, editor)
                << backup << unsaved << "unreadable" << TSaveResult::Unreadable
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
        // The text it replaced is in the history.
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QVERIFY(subject.Kept().contains("one\r\ntwo"));
    }
    // Another program's backup is in the history before it is written over.
    if (backup && (outside == QLatin1String("rewritten") || outside == QLatin1String("linked")))
        QVERIFY(subject.Kept().contains("theirs"));
    // Another version in conflict is not read again at every tick.
    if (result == TSaveResult::Conflict && outside == QLatin1String("rewritten")) {
        QCOMPARE(document.SavePrimary(), TSaveResult::Conflict);
        QCOMPARE(ReadAll(target), onDisk);
    }
    // "Keep My Text" keeps the other version, then writes where the
    // writer's file was, never through a link another program put there
    // into the file it leads to.
    if (result == TSaveResult::Conflict && outside == QLatin1String("linked")) {
        QCOMPARE(document.KeepMyText(), TSaveResult::Saved);
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(ReadAll(target), QByteArray("mine"));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("other.txt"))), QByteArray("theirs"));
        QVERIFY(subject.Kept().contains("theirs"));
    }
    if (backup && outside == QLatin1String("linked")) {
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("other.txt"))), QByteArray("theirs"));
    }
}

// Where each writer's text is after what once lost it: the version each
// replaced is in the history, or still in its file or the editor.
void tst_TextDocument_Unit::neverTheLastCopy_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QByteArray>("primary");
    QTest::addColumn<QByteArray>("backup");
    QTest::addColumn<QList<QByteArray>>("kept");
    QTest::addColumn<QStringList>("folder");
    const QStringList files{QStringLiteral("backup.txt"), QStringLiteral("text.txt")};
    // The saved text itself joins the history at the session's first save
    // (the timeline), besides every text something else displaced.
    QTest::newRow("a failed read, then one typed line")
        << "failed read" << QByteArray("journal") << QByteArray("one line")
        << QList<QByteArray>{"journal"} << files;
    QTest::newRow("Yes at a recovery over a newer file")
        << "recovery" << QByteArray("new words") << QByteArray()
        << QList<QByteArray>{"new words", "newer"} << QStringList{QStringLiteral("text.txt")};
    QTest::newRow("an emptied file followed, then a keystroke")
        << "emptied" << QByteArray("one line") << QByteArray("one line")
        << QList<QByteArray>{"chapter", "one line"} << files;
    QTest::newRow("two copies on one file, no backup")
        << "two copies" << QByteArray("v0 v1 v2 v3") << QByteArray()
        << QList<QByteArray>{"v0", "v0 v1", "v0 v1 v2"} << QStringList{QStringLiteral("text.txt")};
    QTest::newRow("a small cut that a sync client brought, after a save")
        << "small cut" << QByteArray("Chapter four.") << QByteArray()
        << QList<QByteArray>{"Chapter four.", "Chapter four. A new sentence of twelve words."}
        << QStringList{QStringLiteral("text.txt")};
    QTest::newRow("a missing primary file, then Save")
        << "missing" << QByteArray("first words") << QByteArray()
        << QList<QByteArray>{"first words"} << QStringList{QStringLiteral("text.txt")};
    QTest::newRow("saved, another program rewrote it, then an earlier version restored")
        << "restore" << QByteArray("theirs") << QByteArray("earlier")
        << QList<QByteArray>{"chapter four", "earlier"} << files;
    QTest::newRow("the session ends during the first start's settings")
        << "first start" << QByteArray() << QByteArray("chapter one") << QList<QByteArray>{}
        << QStringList{QStringLiteral("backup.txt")};
}

void tst_TextDocument_Unit::neverTheLastCopy()
{
    QFETCH(QString, story);
    QFETCH(QByteArray, primary);
    QFETCH(QByteArray, backup);
    QFETCH(QList<QByteArray>, kept);
    QFETCH(QStringList, folder);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString primaryFile = dir.filePath(QStringLiteral("text.txt"));
    const QString backupFile = dir.filePath(QStringLiteral("backup.txt"));
    auto subject = std::make_unique<TDocument>(dir);
    TTextDocument &document = subject->Document;
    TEditor &editor = subject->Editor;
    if (story == QLatin1String("failed read")) {
        // A folder where the file should be cannot be read; then the disk
        // gives the journal back, after the writer typed.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("text.txt")));
        QVERIFY(WriteAll(backupFile, "journal"));
        document.SetPrimaryFile(primaryFile);
        document.SetBackupFile(backupFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Failed);
        editor.Set(QStringLiteral("one line"));
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("text.txt")));
        QVERIFY(WriteAll(primaryFile, "journal"));
        QCOMPARE(document.SavePrimary(), TSaveResult::Conflict);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
    } else if (story == QLatin1String("recovery")) {
        QVERIFY(WriteAll(primaryFile, "old"));
        document.SetPrimaryFile(primaryFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Read);
        editor.Set(QStringLiteral("new words"));
        document.Recovery().WriteNow();
        // Killed; a sync client brings a newer version meanwhile.
        subject.reset();
        QVERIFY(WriteAll(primaryFile, "newer"));
        subject = std::make_unique<TDocument>(dir);
        subject->Document.SetPrimaryFile(primaryFile);
        QCOMPARE(subject->Document.ReadPrimary(), TReadResult::Read);
        TRecoveryOffer offer;
        QVERIFY(subject->Document.RecoveredText(offer));
        QVERIFY(offer.FileChanged);
        QCOMPARE(offer.Text, QStringLiteral("new words"));
        subject->Document.TakeRecoveredText(offer);
        QCOMPARE(subject->Document.SavePrimary(), TSaveResult::Saved);
    } else if (story == QLatin1String("emptied")) {
        QVERIFY(WriteAll(primaryFile, "chapter") && WriteAll(backupFile, "chapter"));
        document.SetPrimaryFile(primaryFile);
        document.SetBackupFile(backupFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Read);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
        QVERIFY(WriteAll(primaryFile, ""));
        QCOMPARE(document.SavePrimary(), TSaveResult::ReadAgain);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
        editor.Set(QStringLiteral("one line"));
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
    } else if (story == QLatin1String("two copies")) {
        QVERIFY(WriteAll(primaryFile, "v0"));
        TDocument other(dir);
        for (TTextDocument *each : {&document, &other.Document}) {
            each->SetPrimaryFile(primaryFile);
            QCOMPARE(each->ReadPrimary(), TReadResult::Read);
        }
        for (const char *version : {"v0 v1", "v0 v1 v2", "v0 v1 v2 v3"}) {
            other.Editor.Set(QString::fromLatin1(version));
            QCOMPARE(other.Document.SavePrimary(), TSaveResult::Saved);
            QCOMPARE(document.SavePrimary(), TSaveResult::ReadAgain);
        }
        QCOMPARE(editor.Current, QStringLiteral("v0 v1 v2 v3"));
    } else if (story == QLatin1String("small cut")) {
        // The writer adds a sentence and saves; a sync client brings back
        // the file as another computer had it.
        QVERIFY(WriteAll(primaryFile, "Chapter four."));
        document.SetPrimaryFile(primaryFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Read);
        editor.Set(QStringLiteral("Chapter four. A new sentence of twelve words."));
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QVERIFY(WriteAll(primaryFile, "Chapter four."));
        QCOMPARE(document.SavePrimary(), TSaveResult::ReadAgain);
    } else if (story == QLatin1String("restore")) {
        // Auto-Save off, a backup: the writer saves, another program
        // rewrites the primary file, and the writer restores an earlier
        // version; the next tick writes only the backup, which held the only
        // copy of the saved text.
        QVERIFY(WriteAll(primaryFile, "earlier"));
        document.SetPrimaryFile(primaryFile);
        document.SetBackupFile(backupFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Read);
        editor.Set(QStringLiteral("chapter four"));
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
        QVERIFY(WriteAll(primaryFile, "theirs"));
        QVERIFY(document.Restore(QStringLiteral("earlier")));
        QCOMPARE(document.SaveBackup(), TSaveResult::Saved);
    } else if (story == QLatin1String("missing")) {
        document.SetPrimaryFile(primaryFile);
        QCOMPARE(document.ReadPrimary(), TReadResult::Missing);
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QVERIFY(QFile::exists(primaryFile));
        editor.Set(QStringLiteral("first words"));
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
    } else if (story == QLatin1String("first start")) {
        // No primary file yet; the editor holds no one's text.
        QVERIFY(WriteAll(backupFile, "chapter one"));
        document.SetBackupFile(backupFile);
        const TSessionEndSaves saves =
            document.SaveForSessionEnd(TTextDocument::TPrimaryAtEnd::Save);
        QVERIFY(!saves.Primary && !saves.Backup);
    }
    QCOMPARE(ReadAll(primaryFile), primary);
    QCOMPARE(ReadAll(backupFile), backup);
    QCOMPARE(subject->Kept(), kept);
    // Nothing but the writer's own files in the writer's folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), folder);
    // The history is the writer's alone.
    const QString store = dir.filePath(QStringLiteral("private/nudger.db"));
    if (QFileInfo::exists(store))
        QCOMPARE(QFileInfo(store).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

// A tick writes on the worker while the writer goes on: whatever comes
// before its outcome is applied, a text counts as saved only when the file
// holds it, and another program's version is followed only when the writer
// did not type meanwhile.
void tst_TextDocument_Unit::writesInFlight_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<TSaveResult>("tick");
    QTest::newRow("typing while a tick writes")
        << "type" << QByteArray("two") << "three" << true << TSaveResult::Saved;
    QTest::newRow("a save while a tick writes")
        << "save" << QByteArray("three") << "three" << false << TSaveResult::Saved;
    QTest::newRow("a save asked for inside another save's wait")
        << "nested" << QByteArray("three") << "three" << false << TSaveResult::Saved;
    QTest::newRow("the session ends while a tick writes")
        << "end" << QByteArray("three") << "three" << false << TSaveResult::Saved;
    QTest::newRow("another program's version found by a tick, then typing")
        << "outside" << QByteArray("theirs") << "three" << true << TSaveResult::Conflict;
    // The session's last write waits for the worker's, and a tick wanted
    // meanwhile is not written after it.
    QTest::newRow("the session ends while a tick writes and another waits")
        << "end, another waiting" << QByteArray("three") << "three" << false << TSaveResult::Saved;
    // A tick held over is asked for afresh: Auto-Save may be off by now.
    QTest::newRow("a tick held over while one writes, no longer wanted")
        << "held over" << QByteArray("two") << "three" << true << TSaveResult::Saved;
}

void tst_TextDocument_Unit::writesInFlight()
{
    QFETCH(QString, then);
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, editor);
    QFETCH(bool, modified);
    QFETCH(TSaveResult, tick);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString primary = dir.filePath(QStringLiteral("text.txt"));
    QVERIFY(WriteAll(primary, "one"));
    TDocument subject(dir);
    TTextDocument &document = subject.Document;
    QList<TTextDocument::TTickOutcome> ticks;
    document.TickDone = [&](const TTextDocument::TTickOutcome &outcome) { ticks << outcome; };
    document.SetPrimaryFile(primary);
    QCOMPARE(document.ReadPrimary(), TReadResult::Read);
    if (then == QLatin1String("outside"))
        QVERIFY(WriteAll(primary, "theirs"));
    else
        subject.Editor.Set(QStringLiteral("two"));
    int due = 0;
    if (then == QLatin1String("held over"))
        document.TickDue = [&due] { ++due; };
    document.Tick(TTextDocument::TTickPrimary::Save);
    // The writer types before the tick's outcome reaches the window.
    subject.Editor.Set(QStringLiteral("three"));
    if (then == QLatin1String("end, another waiting") || then == QLatin1String("held over"))
        document.Tick(TTextDocument::TTickPrimary::Save);
    TSaveResult inner = TSaveResult::Failed;
    if (then == QLatin1String("nested")) {
        // A posted call that saves too runs while the save below waits.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { inner = document.SavePrimary(); },
            Qt::QueuedConnection);
    }
    if (then == QLatin1String("save") || then == QLatin1String("nested"))
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
    if (then == QLatin1String("nested"))
        QCOMPARE(inner, TSaveResult::Saved);
    else if (then.startsWith(QLatin1String("end")))
        QVERIFY(document.SaveForSessionEnd(TTextDocument::TPrimaryAtEnd::Save).Primary);
    document.WaitForWrites();
    QCOMPARE(ticks.size(), 1);
    QCOMPARE(due, then == QLatin1String("held over") ? 1 : 0);
    QCOMPARE(ticks.constFirst().Primary, tick);
    QCOMPARE(ReadAll(primary), onDisk);
    QCOMPARE(subject.Editor.Current, editor);
    QCOMPARE(document.Modified(), modified);
    // The next save writes what the editor holds, over the version the text
    // grew from; another program's waits for the writer's choice.
    if (then == QLatin1String("outside")) {
        QVERIFY(document.PrimaryConflict());
        QCOMPARE(document.SavePrimary(), TSaveResult::Conflict);
        QCOMPARE(ReadAll(primary), QByteArray("theirs"));
    } else {
        QCOMPARE(document.SavePrimary(), TSaveResult::Saved);
        QCOMPARE(ReadAll(primary), QByteArray("three"));
    }
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
