// The writer's own settings: kept across programs, private, and never
// written over when the file there cannot be read.

#include "storage/WriterSettings_Unit.h"
#include "support/PrivateData.h"

#include "storage/WholeFile_Unit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class tst_WriterSettings_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY2(FDir.isValid(), qPrintable(FDir.errorString()));
        UsePrivateDataFolder(FDir.path());
        QFile::remove(TWriterSettings::FilePath());
    }

    void valuesLastAndStayPrivate()
    {
        {
            TWriterSettings settings;
            QCOMPARE(settings.BoolValue(QStringLiteral("Spelling/Enabled"), true), true);
            QVERIFY(settings.SetBoolValue(QStringLiteral("Spelling/Enabled"), false));
            QVERIFY(settings.SetIntValue(QStringLiteral("Goal/Words"), 500));
            QVERIFY(
                settings.SetValue(QStringLiteral("Spelling/Language"), QStringLiteral("de\nDE")));
        }
        const TWriterSettings again;
        QCOMPARE(again.BoolValue(QStringLiteral("Spelling/Enabled"), true), false);
        QCOMPARE(again.IntValue(QStringLiteral("Goal/Words"), 0), 500);
        // A line break would start another line: it becomes a blank.
        QCOMPARE(again.Value(QStringLiteral("Spelling/Language")), QStringLiteral("de DE"));
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(TWriterSettings::FilePath()).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0600);
        const QByteArray folder = QFile::encodeName(QFileInfo(TWriterSettings::FilePath()).path());
        QCOMPARE(::stat(folder.constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0700);
    }

    void unreadableFileIsNotWrittenOver()
    {
        // A folder where the file should be cannot be read as one.
        QVERIFY(QDir().mkpath(TWriterSettings::FilePath()));
        TWriterSettings settings;
        QVERIFY(!settings.SetIntValue(QStringLiteral("Goal/Words"), 500));
        QCOMPARE(settings.IntValue(QStringLiteral("Goal/Words"), 0), 500);
        QVERIFY(QFileInfo(TWriterSettings::FilePath()).isDir());
    }

private:
    QTemporaryDir FDir;
};

QTEST_GUILESS_MAIN(tst_WriterSettings_Unit)

#include "tst_WriterSettings_Unit.moc"
