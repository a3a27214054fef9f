// The suggestion store's reading of the writer's suggestions file.

#include "storage/SuggestionStore_Unit.h"
#include "storage/TovrinDataEncode_Unit.h"
#include "support/FileBytes.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

class tst_SuggestionStore_Unit : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString WriteUserFile(const QByteArray &bytes)
    {
        const QString fileName = FDir->filePath(QStringLiteral("mine.txt"));
        if (!WriteAll(fileName, bytes))
            qWarning("could not write %s", qPrintable(fileName));
        return fileName;
    }

private Q_SLOTS:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY2(FDir->isValid(), qPrintable(FDir->errorString()));
    }
    void cleanup() { FDir.reset(); }

    // The user file is taken as UTF-8 exactly when its text (up to a NUL)
    // survives a round trip through QString, else as Latin-1, and cut into
    // lines by SplitLines; a leading byte-order mark only marks UTF-8 and is
    // dropped. The reader must agree with that model on every input.
    void userSuggestionsDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray straddle(64 * 1024 - 1, 'x');
        straddle += "\xc3\xa9 after the piece boundary\r\nlast";
        QByteArray lateFault(70 * 1024, 'y');
        lateFault += "\r\nbad \xe9 here";
        QTest::newRow("UTF-8 with every line end")
            << QByteArray("caf\xc3\xa9\r\nna\xc3\xafve\rx\ny\r\n");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9\r\nna\xefve");
        QTest::newRow("sequence cut at the end") << QByteArray("ok\r\ncaf\xc3");
        QTest::newRow("text ends at NUL") << QByteArray("one\r\ntw\0o\r\nthree", 16);
        QTest::newRow("byte order mark first") << QByteArray("\xef\xbb\xbf"
                                                             "caf\xc3\xa9\r\nna\xc3\xafve");
        QTest::newRow("byte order mark on a later line")
            << QByteArray("one\r\n\xef\xbb\xbftwo \xc3\xa9");
        QTest::newRow("encoded surrogate") << QByteArray("a\xed\xa0\x80"
                                                         "b");
        QTest::newRow("sequence across the piece boundary") << straddle;
        QTest::newRow("fault after the first piece") << lateFault;
        QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nthree");
    }
    void userSuggestionsDecoding()
    {
        QFETCH(QByteArray, bytes);
        const QByteArray body = bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes;
        const qsizetype nul = body.indexOf('\0');
        const QByteArray text = nul < 0 ? body : body.left(nul);
        const bool utf8 = QString::fromUtf8(text).toUtf8() == text;
        QStringList expected;
        for (const QByteArray &line : SplitLines(text))
            expected << (utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line));
        TSuggestionStore store;
        QVERIFY(store.Load(false, true, WriteUserFile(bytes)).isEmpty());
        QCOMPARE(store.Lines(), expected);
        QCOMPARE(store.Count(), int(expected.size()));
    }

    void lineSplitting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("lone CR") << QByteArray("a\rb") << QStringList{"a", "b"};
        QTest::newRow("lone LF") << QByteArray("a\nb") << QStringList{"a", "b"};
        QTest::newRow("final break adds nothing") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("empty line is a suggestion")
            << QByteArray("a\n\nb") << QStringList{"a", "", "b"};
        QTest::newRow("NUL ends the text") << QByteArray("a\nb\0c\n", 6) << QStringList{"a", "b"};
    }
    void lineSplitting()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        TSuggestionStore store;
        QVERIFY(store.Load(false, true, WriteUserFile(bytes)).isEmpty());
        QCOMPARE(store.Lines(), lines);
    }
};

QTEST_GUILESS_MAIN(tst_SuggestionStore_Unit)
#include "tst_SuggestionStore_Unit.moc"
