#include "storage/TovrinDataEncode_Unit.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>

namespace {

const QByteArray Product = TovrinKeys::Product;
const QByteArray Version = TovrinKeys::Version;
const QByteArray ConfigKey = TovrinKeys::ConfigurationKey;
const QByteArray SuggestionsKey = TovrinKeys::SuggestionsKey;

QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

QByteArray AllByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

// A literal, slow rendering of the scrambling steps, positions counted from
// 1, to hold the fast code to the same bytes.
QByteArray ReferenceScramble(const QByteArray &product, const QByteArray &version,
                             const QByteArray &key, const QByteArray &plain)
{
    const auto extend = [](QByteArray r) {
        while (r.size() < 50)
            r = r + r;
        return r;
    };
    const QByteArray ep = extend(product), ev = extend(version), ek = extend(key);
    QByteArray k;
    for (int t = 1; t <= 50; ++t)
        k += QByteArray(1, ep[t - 1]) + ek[t - 1] + ev[t - 1];
    const auto code = [&k](int position) { return static_cast<unsigned char>(k[position - 1]); };
    const auto keyIndex = [](qsizetype i) { return static_cast<int>(i % 49) + 1; };

    QByteArray r = plain;
    for (qsizetype i = 1; i <= r.size(); ++i) {
        const int n = code(keyIndex(i)) % 8;
        const auto b = static_cast<unsigned char>(r[i - 1]);
        r[i - 1] = static_cast<char>(n == 0 ? b : ((b >> n) | (b << (8 - n))) & 0xFF);
    }
    r = r.toHex().toUpper();
    const qsizetype n = r.size();
    for (qsizetype i = 1; i <= n; ++i) {
        const qsizetype partner =
            static_cast<qsizetype>((code(keyIndex(i)) * code(51 - keyIndex(i))) % (n - 1)) + 1;
        std::swap(r[i - 1], r[partner - 1]);
    }
    qsizetype q = 80;
    while (r.size() > q) {
        r.insert(q - 1, "\r\n");
        q += 80;
    }
    return r;
}

QByteArray ReferenceRemoveLineBreaks(const QByteArray &s)
{
    QByteArray r = s;
    for (qsizetype i = s.size(); i >= 1; --i) {
        if (r[i - 1] == '\r')
            r.remove(i - 1, 2);
    }
    return r;
}

QList<int> LineLengths(const QByteArray &text)
{
    QList<int> lengths;
    for (const QByteArray &line : text.split('\n'))
        lengths.append(static_cast<int>(line.endsWith('\r') ? line.size() - 1 : line.size()));
    return lengths;
}

bool Fails(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const ETovrinDataError &) {
        return true;
    }
    return false;
}

} // namespace

class TestTovrinDataEncode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extendTextDoublesToFifty_data();
    void extendTextDoublesToFifty();
    void keyMaterialInterleavesProductKeyVersion();
    void lineBreakPlaces_data();
    void lineBreakPlaces();
    void scrambledSizes_data();
    void scrambledSizes();
    void matchesLiteralSteps_data();
    void matchesLiteralSteps();
    void roundTrip_data();
    void roundTrip();
    void onlyTheFirstSeventeenKeyCharactersMatter();
    void anotherKeyGivesOtherContent();
    void unscrambleRejects_data();
    void unscrambleRejects();
    void emptyParameterTextIsRefused();
    void hexToTextIgnoresOddLastCharacter();
    void removeLineBreaks_data();
    void removeLineBreaks();
    void removeLineBreaksMatchesLiteralSteps();
    void fileLineEndsMakeNoDifference();
    void splitLines_data();
    void splitLines();
    void joinLinesEndsEveryLine();
};

void TestTovrinDataEncode::extendTextDoublesToFifty_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("product, 6 -> 96") << Product << 96;
    QTest::newRow("version, 3 -> 96") << Version << 96;
    QTest::newRow("key, 36 -> 72") << ConfigKey << 72;
    QTest::newRow("49 -> 98") << QByteArray(49, 'x') << 98;
    QTest::newRow("50 stays") << QByteArray(50, 'x') << 50;
    QTest::newRow("one character") << QByteArray("z") << 64;
}

void TestTovrinDataEncode::extendTextDoublesToFifty()
{
    QFETCH(QByteArray, text);
    QFETCH(int, length);
    const QByteArray extended = ExtendText(text);
    QCOMPARE(extended.size(), length);
    QVERIFY(extended.startsWith(text));
    QCOMPARE(extended.mid(length / 2), extended.left(length / 2));
}

void TestTovrinDataEncode::keyMaterialInterleavesProductKeyVersion()
{
    const QByteArray material = MixKeyMaterial(Product, Version, ConfigKey);
    QCOMPARE(material.size(), 150);
    QCOMPARE(material.left(9), QByteArray("N31uF.d60"));
    // Position 3t-2 from the product, 3t-1 from the key, 3t from the version.
    const QByteArray ep = ExtendText(Product), ek = ExtendText(ConfigKey), ev = ExtendText(Version);
    for (int t = 1; t <= 50; ++t) {
        QCOMPARE(material[3 * t - 3], ep[t - 1]);
        QCOMPARE(material[3 * t - 2], ek[t - 1]);
        QCOMPARE(material[3 * t - 1], ev[t - 1]);
    }
}

void TestTovrinDataEncode::lineBreakPlaces_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<int>>("lines");
    QTest::newRow("empty") << 0 << QList<int>{0};
    QTest::newRow("80: no break") << 80 << QList<int>{80};
    QTest::newRow("81") << 81 << QList<int>{79, 2};
    QTest::newRow("158") << 158 << QList<int>{79, 79};
    QTest::newRow("159") << 159 << QList<int>{79, 78, 2};
    QTest::newRow("236") << 236 << QList<int>{79, 78, 79};
    QTest::newRow("400") << 400 << QList<int>{79, 78, 78, 78, 78, 9};
}

void TestTovrinDataEncode::lineBreakPlaces()
{
    QFETCH(int, length);
    QFETCH(QList<int>, lines);
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text.append(static_cast<char>('A' + i % 26));
    const QByteArray broken = InsertLineBreaks(text);
    QCOMPARE(LineLengths(broken), lines);
    QCOMPARE(broken.count("\r\n"), lines.size() - 1);
    QCOMPARE(RemoveLineBreaks(broken), text);
}

void TestTovrinDataEncode::scrambledSizes_data()
{
    QTest::addColumn<int>("plainLength");
    QTest::addColumn<QList<int>>("lines");
    QTest::newRow("empty") << 0 << QList<int>{0};
    QTest::newRow("one character: two digits") << 1 << QList<int>{2};
    QTest::newRow("40 -> 80, no break") << 40 << QList<int>{80};
    QTest::newRow("41 -> 82, break after 79") << 41 << QList<int>{79, 3};
}

void TestTovrinDataEncode::scrambledSizes()
{
    QFETCH(int, plainLength);
    QFETCH(QList<int>, lines);
    const QByteArray scrambled =
        ScrambleText(Product, Version, ConfigKey, RandomBytes(plainLength, 7));
    QCOMPARE(LineLengths(scrambled), lines);
    for (const char c : scrambled)
        QVERIFY2(QByteArray("0123456789ABCDEF\r\n").contains(c), scrambled.constData());
}

void TestTovrinDataEncode::matchesLiteralSteps_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::newRow("one byte") << ConfigKey << QByteArray("x");
    QTest::newRow("every byte value") << ConfigKey << AllByteValues();
    QTest::newRow("suggestion lines")
        << SuggestionsKey << QByteArray("Cut an adverb.\r\nName a smell.\r\n");
    for (const int size : {2, 24, 25, 49, 50, 98, 1000, 40000})
        QTest::addRow("random %d", size) << SuggestionsKey << RandomBytes(size, quint32(size));
}

void TestTovrinDataEncode::matchesLiteralSteps()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QCOMPARE(ScrambleText(Product, Version, key, plain),
             ReferenceScramble(Product, Version, key, plain));
}

void TestTovrinDataEncode::roundTrip_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    for (const QByteArray &key : {ConfigKey, SuggestionsKey}) {
        const char *name = key == ConfigKey ? "configuration" : "suggestions";
        QTest::addRow("%s: empty", name) << key << QByteArray();
        QTest::addRow("%s: one NUL", name) << key << QByteArray(1, '\0');
        QTest::addRow("%s: every byte value", name) << key << AllByteValues();
        QTest::addRow("%s: CR LF inside", name)
            << key << QByteArray("user.Interval=10000\r\nuser.A=B=C\r\n\r\n\n\r");
        QTest::addRow("%s: 100 kB random", name) << key << RandomBytes(100000, 3);
    }
}

void TestTovrinDataEncode::roundTrip()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    const QByteArray scrambled = ScrambleText(Product, Version, key, plain);
    QCOMPARE(UnscrambleText(Product, Version, key, scrambled), plain);
    QCOMPARE(scrambled.size() - 2 * scrambled.count("\r\n"), 2 * plain.size());
}

void TestTovrinDataEncode::onlyTheFirstSeventeenKeyCharactersMatter()
{
    const QByteArray plain = RandomBytes(3000, 11);
    const QByteArray key = "ABCDEFGHIJKLMNOPQ-first";
    QCOMPARE(ScrambleText(Product, Version, key, plain),
             ScrambleText(Product, Version, "ABCDEFGHIJKLMNOPQ-other key text", plain));
    QVERIFY(ScrambleText(Product, Version, key, plain) !=
            ScrambleText(Product, Version, "ABCDEFGHIJKLMNOPZ-first", plain));
}

void TestTovrinDataEncode::anotherKeyGivesOtherContent()
{
    const QByteArray plain = "user.TOVRIN CONFIGURATION FILE=YES\r\n";
    const QByteArray scrambled = ScrambleText(Product, Version, ConfigKey, plain);
    const QByteArray wrong = UnscrambleText(Product, Version, SuggestionsKey, scrambled);
    QCOMPARE(wrong.size(), plain.size());
    QVERIFY(wrong != plain);
}

void TestTovrinDataEncode::unscrambleRejects_data()
{
    QTest::addColumn<QByteArray>("scrambled");
    QTest::newRow("one character") << QByteArray("A");
    QTest::newRow("one character and a break") << QByteArray("A\r\n");
    QTest::newRow("lone LF is not removed") << QByteArray("\nA");
    QTest::newRow("pair that is not hex") << QByteArray("G0");
    QTest::newRow("blank inside") << QByteArray("41 2A3");
    QByteArray damaged = ScrambleText(Product, Version, ConfigKey, RandomBytes(300, 5));
    damaged[100] = 'x';
    QTest::newRow("one damaged digit in a long text") << damaged;
}

void TestTovrinDataEncode::unscrambleRejects()
{
    QFETCH(QByteArray, scrambled);
    QVERIFY(Fails([&] { UnscrambleText(Product, Version, ConfigKey, scrambled); }));
}

void TestTovrinDataEncode::emptyParameterTextIsRefused()
{
    QVERIFY(Fails([] { ScrambleText("", Version, ConfigKey, "text"); }));
    QVERIFY(Fails([] { ScrambleText(Product, "", ConfigKey, "text"); }));
    QVERIFY(Fails([] { UnscrambleText(Product, Version, "", "4142"); }));
    QVERIFY(Fails([] {
        QByteArray one("A");
        PermuteText(one, MixKeyMaterial(Product, Version, ConfigKey), false);
    }));
}

void TestTovrinDataEncode::hexToTextIgnoresOddLastCharacter()
{
    QCOMPARE(HexToText("41424"), QByteArray("AB"));
    QCOMPARE(HexToText("4a6B"), QByteArray("Jk"));
    QCOMPARE(HexToText("4"), QByteArray());
    // An odd scrambled length is read, not refused.
    QCOMPARE(UnscrambleText(Product, Version, ConfigKey, "414").size(), 1);
}

void TestTovrinDataEncode::removeLineBreaks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("CR LF") << QByteArray("AB\r\nCD\r\n") << QByteArray("ABCD");
    QTest::newRow("lone LF stays") << QByteArray("AB\nCD") << QByteArray("AB\nCD");
    QTest::newRow("lone CR takes the next character") << QByteArray("AB\rCD") << QByteArray("ABD");
    QTest::newRow("CR at the end") << QByteArray("AB\r") << QByteArray("AB");
    QTest::newRow("CR CR LF") << QByteArray("\r\r\nX") << QByteArray("");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestTovrinDataEncode::removeLineBreaks()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(RemoveLineBreaks(text), expected);
}

void TestTovrinDataEncode::removeLineBreaksMatchesLiteralSteps()
{
    QRandomGenerator generator(17);
    for (int round = 0; round < 2000; ++round) {
        QByteArray text;
        const int length = static_cast<int>(generator.bounded(12));
        for (int i = 0; i < length; ++i)
            text.append("AB\r\n"[generator.bounded(4)]);
        QCOMPARE(RemoveLineBreaks(text), ReferenceRemoveLineBreaks(text));
    }
}

void TestTovrinDataEncode::fileLineEndsMakeNoDifference()
{
    const QByteArray plain = RandomBytes(500, 9);
    const QByteArray scrambled = ScrambleText(Product, Version, SuggestionsKey, plain);
    QByteArray crlfFile = JoinLines(SplitLines(scrambled));
    QVERIFY(crlfFile.endsWith("\r\n"));
    QByteArray lfFile = crlfFile;
    lfFile.replace("\r\n", "\n");
    QByteArray crFile = crlfFile;
    crFile.replace("\r\n", "\r");
    QByteArray noFinalBreak = crlfFile;
    noFinalBreak.chop(2);
    for (const QByteArray &file : {crlfFile, lfFile, crFile, noFinalBreak}) {
        const QByteArray read = JoinLines(SplitLines(file));
        QCOMPARE(UnscrambleText(Product, Version, SuggestionsKey, read), plain);
    }
}

void TestTovrinDataEncode::splitLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("no break") << QByteArray("one") << QByteArrayList{"one"};
    QTest::newRow("final break adds no line") << QByteArray("one\r\n") << QByteArrayList{"one"};
    QTest::newRow("lone break is one empty line") << QByteArray("\n") << QByteArrayList{""};
    QTest::newRow("CR LF, CR, LF")
        << QByteArray("a\r\nb\rc\nd") << QByteArrayList{"a", "b", "c", "d"};
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("empty lines kept")
        << QByteArray("a\r\n\r\nb\r\n") << QByteArrayList{"a", "", "b"};
    QTest::newRow("NUL ends the text") << QByteArray("a\nb\0c\nd", 7) << QByteArrayList{"a", "b"};
    QTest::newRow("CR then NUL") << QByteArray("a\r\0\n", 4) << QByteArrayList{"a"};
}

void TestTovrinDataEncode::splitLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(SplitLines(text), lines);
}

void TestTovrinDataEncode::joinLinesEndsEveryLine()
{
    QCOMPARE(JoinLines({}), QByteArray());
    QCOMPARE(JoinLines({"a", "", "b"}), QByteArray("a\r\n\r\nb\r\n"));
}

QTEST_GUILESS_MAIN(TestTovrinDataEncode)
#include "tst_TovrinDataEncode_Unit.moc"
