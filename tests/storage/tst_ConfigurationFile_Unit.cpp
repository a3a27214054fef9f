#include "app/PlatformDependence_Unit.h"
#include "storage/ConfigurationFile_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "support/FileBytes.h"
#include "support/FileRestrictions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString Marker = QStringLiteral("TOVRIN CONFIGURATION FILE");

void UseUser(const QString &name)
{
    SetUserNameForTesting([name] { return name; });
}

QByteArray ScrambledFile(const QByteArrayList &plainLines)
{
    return JoinLines(SplitLines(ScrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                             TovrinKeys::ConfigurationKey, JoinLines(plainLines))));
}

QByteArrayList PlainLines(const QString &path)
{
    return SplitLines(UnscrambleText(TovrinKeys::Product, TovrinKeys::Version,
                                     TovrinKeys::ConfigurationKey,
                                     JoinLines(SplitLines(ReadAll(path)))));
}

bool WriteAndSave(const QList<QPair<QString, QString>> &values)
{
    TConfigurationFile configuration;
    configuration.Load();
    for (const auto &[name, value] : values)
        configuration.WriteValue(name, value);
    return configuration.Save();
}

} // namespace

class TestConfigurationFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void constructionTouchesNoFile();
    void missingFileGivesNoValues();
    void valuesSurviveSaveAndLoad();
    void rewritingReplacesTheLine();
    void savedFileIsScrambledAndEndsWithMarker();
    void usersSeeOnlyTheirOwnValues();
    void otherUsersSurviveASave();
    void unmarkedLinesOfThisUserStayHidden();
    void unreadableContentFailsQuietly_data();
    void unreadableContentFailsQuietly();
    void lfOnlyFileLoads();
    void saveFailsWhenTheFolderIsUnusable_data();
    void saveFailsWhenTheFolderIsUnusable();
    void failedSaveLeavesTheOldFileWhole();
    void unreadableFileIsNeverReplaced();

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
};

void TestConfigurationFile::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Nudger"));
}

void TestConfigurationFile::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    SetStartDirectoryForTesting(FDir->path());
    FPath = FDir->filePath(QStringLiteral("Nudger.cfg"));
    UseUser(QStringLiteral("user1"));
}

void TestConfigurationFile::cleanup()
{
    SetStartDirectoryForTesting(QString());
    SetUserNameForTesting({});
    FDir.reset();
}

void TestConfigurationFile::constructionTouchesNoFile()
{
    {
        TConfigurationFile configuration;
        QCOMPARE(configuration.FileName(), QStringLiteral("Nudger.cfg"));
        QCOMPARE(QDir::cleanPath(configuration.FilePath()), QDir::cleanPath(FPath));
        configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("1000"));
    }
    QVERIFY(QDir(FDir->path()).isEmpty());
}

void TestConfigurationFile::missingFileGivesNoValues()
{
    TConfigurationFile configuration;
    QVERIFY(!configuration.Load());
    QVERIFY(!configuration.ValueExists(QStringLiteral("Interval")));
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QString());
}

void TestConfigurationFile::valuesSurviveSaveAndLoad()
{
    const QString unicode = QStringLiteral("/home/j\u00f6rg/\u65e5\u8a18.txt");
    QVERIFY(WriteAndSave(
        {{"Interval", "1000"}, {"Formula", "a=b=c"}, {"Empty", ""}, {"PrimaryFile", unicode}}));
    TConfigurationFile configuration;
    QVERIFY(configuration.Load());
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("1000"));
    QCOMPARE(configuration.ReadValue(QStringLiteral("iNTERVAL")), QStringLiteral("1000"));
    QCOMPARE(configuration.ReadValue(QStringLiteral("Formula")), QStringLiteral("a=b=c"));
    QVERIFY(configuration.ValueExists(QStringLiteral("Empty")));
    QCOMPARE(configuration.ReadValue(QStringLiteral("Empty")), QString());
    QCOMPARE(configuration.ReadValue(QStringLiteral("PrimaryFile")), unicode);
    QVERIFY(!configuration.ValueExists(QStringLiteral("Missing")));
}

void TestConfigurationFile::rewritingReplacesTheLine()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}, {"Sound", "YES"}}));
    QVERIFY(WriteAndSave({{"INTERVAL", "2000"}}));
    TConfigurationFile configuration;
    QVERIFY(configuration.Load());
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("2000"));
    QCOMPARE(PlainLines(FPath),
             (QByteArrayList{"user1.Sound=YES", "user1.TOVRIN CONFIGURATION FILE=YES",
                             "user1.INTERVAL=2000"}));
}

void TestConfigurationFile::savedFileIsScrambledAndEndsWithMarker()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}, {"Long", QString(200, QLatin1Char('x'))}}));
    const QByteArray bytes = ReadAll(FPath);
    QVERIFY(bytes.endsWith("\r\n"));
    QVERIFY(bytes.count("\r\n") > 2);
    for (const char c : bytes)
        QVERIFY2(QByteArray("0123456789ABCDEF\r\n").contains(c), bytes.constData());
    QCOMPARE(PlainLines(FPath).last(), QByteArray("user1.TOVRIN CONFIGURATION FILE=YES"));
}

void TestConfigurationFile::usersSeeOnlyTheirOwnValues()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}}));
    UseUser(QStringLiteral("user2"));
    TConfigurationFile configuration;
    QVERIFY(!configuration.Load());
    QVERIFY(!configuration.ValueExists(QStringLiteral("Interval")));
    configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("5000"));
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("5000"));
    // The user name is asked for on every call.
    UseUser(QStringLiteral("USER1"));
    QVERIFY(!configuration.ValueExists(QStringLiteral("Interval")));
}

void TestConfigurationFile::otherUsersSurviveASave()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}}));
    UseUser(QStringLiteral("user2"));
    QVERIFY(WriteAndSave({{"Interval", "5000"}}));

    TConfigurationFile second;
    QVERIFY(second.Load());
    QCOMPARE(second.ReadValue(QStringLiteral("Interval")), QStringLiteral("5000"));
    UseUser(QStringLiteral("user1"));
    TConfigurationFile first;
    QVERIFY(first.Load());
    QCOMPARE(first.ReadValue(QStringLiteral("Interval")), QStringLiteral("1000"));
}

void TestConfigurationFile::unmarkedLinesOfThisUserStayHidden()
{
    // A file where user1 has values but no marker (a damaged marker line).
    QVERIFY(WriteAll(FPath,
                     ScrambledFile({"user1.Interval=1000", "user1.Sound=YES", "user2.Interval=7000",
                                    "user2.TOVRIN CONFIGURATION FILE=YES"})));
    {
        TConfigurationFile configuration;
        QVERIFY(!configuration.Load());
        QVERIFY(!configuration.ValueExists(QStringLiteral("Interval")));
        QCOMPARE(configuration.ReadValue(QStringLiteral("Sound")), QString());
        configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("3000"));
        QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("3000"));
        QVERIFY(!configuration.ValueExists(QStringLiteral("Sound")));
        QVERIFY(configuration.Save());
    }
    TConfigurationFile configuration;
    QVERIFY(configuration.Load());
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("3000"));
    QVERIFY2(!configuration.ValueExists(QStringLiteral("Sound")), "a hidden value came back");
    QCOMPARE(PlainLines(FPath),
             (QByteArrayList{"user2.Interval=7000", "user2.TOVRIN CONFIGURATION FILE=YES",
                             "user1.Interval=3000", "user1.TOVRIN CONFIGURATION FILE=YES"}));
}

void TestConfigurationFile::unreadableContentFailsQuietly_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("plain text") << QByteArray("user1.Interval=1000\r\nhello world\r\n");
    QTest::newRow("binary") << QByteArray("\x01\xff\xfe\x80zz", 6);
    QTest::newRow("one character") << QByteArray("A\r\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("another key") << JoinLines(SplitLines(
        ScrambleText(TovrinKeys::Product, TovrinKeys::Version, TovrinKeys::SuggestionsKey,
                     "user1.Interval=1000\r\nuser1.TOVRIN CONFIGURATION FILE=YES\r\n")));
}

void TestConfigurationFile::unreadableContentFailsQuietly()
{
    QFETCH(QByteArray, content);
    QVERIFY(WriteAll(FPath, content));
    TConfigurationFile configuration;
    QVERIFY(!configuration.Load());
    QVERIFY(!configuration.ValueExists(QStringLiteral("Interval")));
    configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("2000"));
    QVERIFY(configuration.Save());
    TConfigurationFile reloaded;
    QVERIFY(reloaded.Load());
    QCOMPARE(reloaded.ReadValue(QStringLiteral("Interval")), QStringLiteral("2000"));
}

void TestConfigurationFile::lfOnlyFileLoads()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}, {"Padding", QString(300, QLatin1Char('p'))}}));
    QByteArray bytes = ReadAll(FPath);
    bytes.replace("\r\n", "\n");
    QVERIFY(WriteAll(FPath, bytes));
    TConfigurationFile configuration;
    QVERIFY(configuration.Load());
    QCOMPARE(configuration.ReadValue(QStringLiteral("Interval")), QStringLiteral("1000"));
}

void TestConfigurationFile::saveFailsWhenTheFolderIsUnusable_data()
{
    QTest::addColumn<QString>("startDirectory");
    QTest::newRow("missing folder") << QStringLiteral("no such folder/deeper");
    QTest::newRow("path under a regular file") << QStringLiteral("plain.txt/inside");
}

void TestConfigurationFile::saveFailsWhenTheFolderIsUnusable()
{
    QFETCH(QString, startDirectory);
    QVERIFY(WriteAll(FDir->filePath(QStringLiteral("plain.txt")), "text"));
    SetStartDirectoryForTesting(FDir->filePath(startDirectory));
    TConfigurationFile configuration;
    QVERIFY(!configuration.Load());
    configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("1000"));
    QVERIFY(!configuration.Save());
}

void TestConfigurationFile::failedSaveLeavesTheOldFileWhole()
{
    QVERIFY(WriteAndSave({{"Interval", "1000"}}));
    const QByteArray before = ReadAll(FPath);
    {
        TConfigurationFile configuration;
        QVERIFY(configuration.Load());
        configuration.WriteValue(QStringLiteral("Big"), QString(20000, QLatin1Char('b')));
        TFileSizeLimit limit(4096);
        QVERIFY(limit.Active());
        QVERIFY(!configuration.Save());
    }
    QCOMPARE(ReadAll(FPath), before);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files), QStringList{"Nudger.cfg"});

    // A folder where the file should be: nothing is read, nothing replaced.
    QVERIFY(QFile::remove(FPath));
    QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("Nudger.cfg")));
    TConfigurationFile configuration;
    QVERIFY(!configuration.Load());
    configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("1000"));
    QVERIFY(!configuration.Save());
    QVERIFY(QFileInfo(FPath).isDir());
}

// Replacing a file that could not be read would drop every other user's
// values.
void TestConfigurationFile::unreadableFileIsNeverReplaced()
{
    UseUser(QStringLiteral("user2"));
    QVERIFY(WriteAndSave({{"Interval", "7000"}}));
    const QByteArray before = ReadAll(FPath);
    TOrdinaryUser writer;
    if (!writer.Valid())
        QSKIP("no ordinary user to read the file as");
    // The folder is the writer's; the file is someone else's, and private.
    QVERIFY(writer.Give(FDir->path()));
    QVERIFY(QFile::setPermissions(FPath, QFile::WriteOwner));
    UseUser(QStringLiteral("user1"));
    writer.Begin();
    TConfigurationFile configuration;
    const bool loaded = configuration.Load();
    configuration.WriteValue(QStringLiteral("Interval"), QStringLiteral("1000"));
    const bool saved = configuration.Save();
    writer.End();
    QVERIFY(!loaded);
    QVERIFY(!saved);
    QCOMPARE(ReadAll(FPath), before);
    QCOMPARE(QDir(FDir->path()).entryList(QDir::Files), QStringList{"Nudger.cfg"});
}

QTEST_GUILESS_MAIN(TestConfigurationFile)
#include "tst_ConfigurationFile_Unit.moc"
