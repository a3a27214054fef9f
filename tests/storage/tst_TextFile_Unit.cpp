#include "storage/TextFile_Unit.h"

#include "support/FileBytes.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_TextFile_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }

    void readLineEnds_data();
    void readLineEnds();
    void writeLineEnds_data();
    void writeLineEnds();
    void utf8RoundTrip();
    void eightBitFileComesBackUnchanged_data();
    void eightBitFileComesBackUnchanged();
    void latin1FallsBackToUtf8();
    void readMissingFileFails();
};

void tst_TextFile_Unit::readLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QByteArray("a\r\nb") << "a\nb";
    QTest::newRow("lone LF") << QByteArray("a\nb") << "a\nb";
    QTest::newRow("lone CR stays") << QByteArray("a\rb") << "a\rb";
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << "a\r\nb";
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << "a\n\rb";
    QTest::newRow("final CR LF") << QByteArray("a\r\n") << "a\n";
    QTest::newRow("final CR") << QByteArray("a\r") << "a\r";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("only breaks") << QByteArray("\r\n\n\r\n") << "\n\n\n";
    QTest::newRow("NUL kept") << QByteArray("a\0b", 3)
                              << QString(QStringLiteral("a")) + QChar(0) + u'b';
}

void tst_TextFile_Unit::readLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("text.txt"));
    QVERIFY(WriteAll(fileName, bytes));
    TTextFileContent content;
    QVERIFY(ReadTextFile(fileName, content));
    QCOMPARE(content.Text, text);
    QCOMPARE(content.Encoding, TTextEncoding::Utf8);
}

void tst_TextFile_Unit::writeLineEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lines") << "a\nb\nc" << QByteArray("a\r\nb\r\nc");
    QTest::newRow("one final break dropped") << "a\nb\n" << QByteArray("a\r\nb");
    QTest::newRow("only one dropped") << "a\n\n" << QByteArray("a\r\n");
    QTest::newRow("lone CR kept") << "a\rb" << QByteArray("a\rb");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("just a break") << "\n" << QByteArray();
    QTest::newRow("two-, three- and four-byte UTF-8")
        << QString::fromUtf8("\xc3\xa9\n\xe2\x82\xac\n\xf0\x9f\x98\x80")
        << QByteArray("\xc3\xa9\r\n\xe2\x82\xac\r\n\xf0\x9f\x98\x80");
    // Each written as the replacement character U+FFFD.
    QTest::newRow("lone surrogates")
        << QString::fromUtf16(u"\xd800\n\xdc00") << QByteArray("\xef\xbf\xbd\r\n\xef\xbf\xbd");
}

void tst_TextFile_Unit::writeLineEnds()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("text.txt"));
    QVERIFY(WriteTextFile(fileName, text));
    QCOMPARE(ReadAll(fileName), bytes);
    QVERIFY(WriteTextFile(fileName, text, TTextEncoding::Latin1));
    QCOMPARE(ReadAll(fileName), bytes);
}

void tst_TextFile_Unit::utf8RoundTrip()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("text.txt"));
    const QString text = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                           "e\n\xe6\x97\xa5\xe6\x9c\xac "
                                           "\xf0\x9f\x98\x80\n\xef\xbb\xbf"
                                           "after a BOM");
    QVERIFY(WriteTextFile(fileName, text));
    const QByteArray bytes = ReadAll(fileName);
    QCOMPARE(bytes, text.toUtf8().replace("\n", "\r\n"));
    TTextFileContent content;
    QVERIFY(ReadTextFile(fileName, content));
    QCOMPARE(content.Text, text);
    QCOMPARE(content.Encoding, TTextEncoding::Utf8);

    // A byte order mark at the start is a character of the text, so it
    // survives a save.
    QVERIFY(WriteAll(fileName, "\xef\xbb\xbfHello\r\nworld"));
    QVERIFY(ReadTextFile(fileName, content));
    QCOMPARE(content.Text, QString(QChar(0xFEFF)) + QStringLiteral("Hello\nworld"));
    QVERIFY(WriteTextFile(fileName, content.Text, content.Encoding));
    QCOMPARE(ReadAll(fileName), QByteArray("\xef\xbb\xbfHello\r\nworld"));
}

void tst_TextFile_Unit::eightBitFileComesBackUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("written");
    QByteArray all;
    for (int c = 1; c < 256; ++c) {
        if (c != '\r' && c != '\n')
            all += char(c);
    }
    QTest::newRow("Windows-1252 with CR LF")
        << QByteArray("Caf\xe9\r\n\x93quoted\x94\r\n\x80 5") << QByteArray();
    QTest::newRow("every byte") << all + "\r\n" + all << QByteArray();
    QTest::newRow("invalid UTF-8 tail") << QByteArray("ok \xc3\xa9 then \xc3") << QByteArray();
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << QByteArray();
    QTest::newRow("lone CR kept") << QByteArray("a\rb\xff") << QByteArray();
    // LF-only files come back with CR LF: that is the file format.
    QTest::newRow("LF only") << QByteArray("caf\xe9\nx") << QByteArray("caf\xe9\r\nx");
}

void tst_TextFile_Unit::eightBitFileComesBackUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, written);
    if (written.isNull())
        written = bytes;
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(WriteAll(fileName, bytes));
    TTextFileContent content;
    QVERIFY(ReadTextFile(fileName, content));
    QCOMPARE(content.Encoding, TTextEncoding::Latin1);
    QVERIFY(WriteTextFile(fileName, content.Text, content.Encoding));
    QCOMPARE(ReadAll(fileName), written);
}

void tst_TextFile_Unit::latin1FallsBackToUtf8()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString fileName = dir.filePath(QStringLiteral("old.txt"));
    const QString text = QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac");
    QVERIFY(WriteTextFile(fileName, text, TTextEncoding::Latin1));
    QCOMPARE(ReadAll(fileName), text.toUtf8());
    QVERIFY(WriteTextFile(fileName, QString::fromUtf8("caf\xc3\xa9"), TTextEncoding::Latin1));
    QCOMPARE(ReadAll(fileName), QByteArray("caf\xe9"));
}

void tst_TextFile_Unit::readMissingFileFails()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    TTextFileContent content{QStringLiteral("kept"), TTextEncoding::Latin1};
    QVERIFY(!ReadTextFile(dir.filePath(QStringLiteral("missing.txt")), content));
    QVERIFY(!ReadTextFile(dir.path(), content));
    QCOMPARE(content.Text, QStringLiteral("kept"));
}

QTEST_GUILESS_MAIN(tst_TextFile_Unit)

#include "tst_TextFile_Unit.moc"
