#include "storage/ReservedFileGuard_Unit.h"

#include "app/PlatformDependence_Unit.h"
#include "support/FileBytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_ReservedFileGuard_Unit : public QObject
{
    Q_OBJECT

private:
    QStringList Refusals;
    std::function<void(const QString &)> Refuse = [this](const QString &message) {
        Refusals << message;
    };

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }
    void init() { Refusals.clear(); }
    void cleanup() { SetStartDirectoryForTesting(QString()); }

    void reservedNamesAreRefused_data();
    void reservedNamesAreRefused();
    void otherNamesAreNotReserved_data();
    void otherNamesAreNotReserved();
    void rootStartDirectory();
    void unusableNamesShowNothing_data();
    void unusableNamesShowNothing();
    void existingFileIsAcceptedUntouched();
    void probeLeavesNothingBehind();
    void probeCreatesUnderTheGivenLetterCase();
};

void tst_ReservedFileGuard_Unit::reservedNamesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("configuration") << "Nudger.cfg";
    QTest::newRow("upper case") << "NUDGER.CFG";
    QTest::newRow("lower case") << "nudger.cfg";
    QTest::newRow("suggestions data") << "nudger.dat";
    QTest::newRow("program") << "Nudger";
    QTest::newRow("program .exe") << "nudger.EXE";
    QTest::newRow("toolkit library") << "qtintf.dll";
}

void tst_ReservedFileGuard_Unit::reservedNamesAreRefused()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // The start directory itself may be given in any letter case.
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString fileName = dir.filePath(name);
    QVERIFY(!IsUsableFile(fileName, Refuse));
    QCOMPARE(Refusals, QStringList{QString::fromLatin1(ReservedFileMessage)});

    Refusals.clear();
    SetStartDirectoryForTesting(dir.path().toUpper() + u'/');
    QVERIFY(!IsUsableFile(fileName, Refuse));
    QCOMPARE(Refusals.size(), 1);
    QVERIFY(!QFileInfo::exists(fileName));
}

void tst_ReservedFileGuard_Unit::otherNamesAreNotReserved_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("relative");
    QTest::newRow("relative name") << "NUDGER.CFG" << true;
    QTest::newRow("another file") << "nudger.txt" << false;
    QTest::newRow("longer name") << "NUDGER.CFG.bak" << false;
    QTest::newRow("in a sub-folder") << "sub/NUDGER.CFG" << false;
    QTest::newRow("equivalent path") << "sub/../NUDGER.CFG" << false;
}

void tst_ReservedFileGuard_Unit::otherNamesAreNotReserved()
{
    QFETCH(QString, name);
    QFETCH(bool, relative);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString fileName = relative ? name : dir.filePath(name);
    // A relative name is probed in the working directory; point that at
    // the test's own folder.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool usable = IsUsableFile(fileName, Refuse);
    QVERIFY(QDir::setCurrent(previous));
    QVERIFY(usable);
    QVERIFY(Refusals.isEmpty());
}

void tst_ReservedFileGuard_Unit::rootStartDirectory()
{
    // Started from the root folder, the start directory ends in "//".
    SetStartDirectoryForTesting(QStringLiteral("//"));
    QVERIFY(!IsUsableFile(QStringLiteral("/nudger.cfg"), Refuse));
    QCOMPARE(Refusals.size(), 1);
    QVERIFY(!IsUsableFile(QStringLiteral("/QtIntf.dll"), Refuse));
    QCOMPARE(Refusals.size(), 2);
}

void tst_ReservedFileGuard_Unit::unusableNamesShowNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("missing folder") << "missing/new.txt";
    QTest::newRow("under a regular file") << "plain.txt/new.txt";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a folder with separator") << "folder/";
    QTest::newRow("reserved name in missing folder") << "missing/NUDGER.CFG";
}

void tst_ReservedFileGuard_Unit::unusableNamesShowNothing()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(WriteAll(dir.filePath(QStringLiteral("plain.txt")), "text"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString fileName = name.isEmpty() ? name : dir.filePath(name);
    QVERIFY(!IsUsableFile(fileName, Refuse));
    QVERIFY(!CanCreateFile(fileName));
    QVERIFY(Refusals.isEmpty());
    QCOMPARE(ReadAll(dir.filePath(QStringLiteral("plain.txt"))), QByteArray("text"));
}

void tst_ReservedFileGuard_Unit::existingFileIsAcceptedUntouched()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString fileName = dir.filePath(QStringLiteral("story.txt"));
    const QByteArray content("Once upon a time\r\n\xff\x00 binary", 26);
    QVERIFY(WriteAll(fileName, content));
    QFile file(fileName);
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    file.close();

    QVERIFY(IsUsableFile(fileName, Refuse));
    QVERIFY(CanCreateFile(fileName));
    QVERIFY(Refusals.isEmpty());
    QCOMPARE(ReadAll(fileName), content);
    QCOMPARE(QFileInfo(fileName).lastModified(), old);
}

void tst_ReservedFileGuard_Unit::probeLeavesNothingBehind()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString fileName = dir.filePath(QStringLiteral("new story.txt"));
    QVERIFY(IsUsableFile(fileName, Refuse));
    QVERIFY(CanCreateFile(fileName));
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void tst_ReservedFileGuard_Unit::probeCreatesUnderTheGivenLetterCase()
{
    // An existing "story.txt" does not make "STORY.TXT" exist here: the
    // probe must use the name as chosen and leave the other file alone.
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    SetStartDirectoryForTesting(dir.path() + u'/');
    const QString lower = dir.filePath(QStringLiteral("story.txt"));
    QVERIFY(WriteAll(lower, "mine"));
    QVERIFY(IsUsableFile(dir.filePath(QStringLiteral("Story.TXT")), Refuse));
    QCOMPARE(ReadAll(lower), QByteArray("mine"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("story.txt")});
}

QTEST_GUILESS_MAIN(tst_ReservedFileGuard_Unit)
#include "tst_ReservedFileGuard_Unit.moc"
