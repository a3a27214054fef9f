#include "storage/Conversions_Unit.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

class tst_Conversions_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Nudger")); }

    void textToBool_data();
    void textToBool();
    void fontToText_data();
    void fontToText();
    void colorToText_data();
    void colorToText();
    void textToColor_data();
    void textToColor();
    void textToColorFails_data();
    void textToColorFails();
    void colorRoundTrip_data();
    void colorRoundTrip();
    void fontRoundTrip_data();
    void fontRoundTrip();
    void textToFontReadsByPosition();
    void textToFontFailureKeepsEarlierFields_data();
    void textToFontFailureKeepsEarlierFields();
    void dateTimeRoundTrip_data();
    void dateTimeRoundTrip();
    void textToDateTimeOfGarbageIsZero_data();
    void textToDateTimeOfGarbageIsZero();
    void dateTimeDayZero();
};

void tst_Conversions_Unit::textToBool_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("YES") << "YES" << true;
    QTest::newRow("yes") << "yes" << false;
    QTest::newRow("Yes") << "Yes" << false;
    QTest::newRow("TRUE") << "TRUE" << false;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("NO") << "NO" << false;
    QTest::newRow("blank before") << " YES" << false;
    QTest::newRow("blank after") << "YES " << false;
}

void tst_Conversions_Unit::textToBool()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(TextToBool(text), expected);
    QCOMPARE(TextToBool(BoolToText(true)), true);
    QCOMPARE(TextToBool(BoolToText(false)), false);
    QCOMPARE(BoolToText(false), QStringLiteral("NO"));
}

void tst_Conversions_Unit::fontToText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no styles") << "MS Shell Dlg" << 8 << 0 << clBlack
                               << R"("MS Shell Dlg", 8, [], [clBlack])";
    QTest::newRow("bold italic") << "MS Shell Dlg" << 14 << (fsItalic | fsBold) << clBlack
                                 << R"("MS Shell Dlg", 14, [Bold|Italic], [clBlack])";
    QTest::newRow("all four in order")
        << "Arial" << 10 << (fsStrikeOut | fsUnderline | fsItalic | fsBold) << -7
        << R"("Arial", 10, [Bold|Italic|Underline|Strikeout], [clText])";
    QTest::newRow("strike-out only")
        << "A" << -12 << int(fsStrikeOut) << 0x123456 << R"("A", -12, [Strikeout], [$00123456])";
}

void tst_Conversions_Unit::fontToText()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(int, style);
    QFETCH(int, color);
    QFETCH(QString, expected);
    QCOMPARE(FontToText(TFont{name, size, style, color}), expected);
}

void tst_Conversions_Unit::colorToText_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QString>("expected");
    QTest::newRow("black") << 0 << "clBlack";
    QTest::newRow("white") << 0xFFFFFF << "clWhite";
    QTest::newRow("none") << clNone << "clNone";
    QTest::newRow("-7 is clText, not an alias") << -7 << "clText";
    QTest::newRow("-2 is clButton") << -2 << "clButton";
    QTest::newRow("-6 is clMid") << -6 << "clMid";
    QTest::newRow("-11 is clBackground") << -11 << "clBackground";
    QTest::newRow("-33") << -33 << "clNormalForeground";
    QTest::newRow("-78") << -78 << "clDisabledHighlightedText";
    QTest::newRow("-110") << -110 << "clActiveHighlightedText";
    QTest::newRow("info background") << 14811135 << "clInfoBk";
    QTest::newRow("unnamed plain") << 0x00ABCDEF << "$00ABCDEF";
    QTest::newRow("unnamed negative") << -15 << "$FFFFFFF1";
    QTest::newRow("lowest") << int(INT32_MIN) << "$80000000";
}

void tst_Conversions_Unit::colorToText()
{
    QFETCH(int, color);
    QFETCH(QString, expected);
    QCOMPARE(ColorToText(color), expected);
}

void tst_Conversions_Unit::textToColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("clWindowText") << "clWindowText" << -7;
    QTest::newRow("CLWINDOWTEXT") << "CLWINDOWTEXT" << -7;
    QTest::newRow("clinfotext") << "clinfotext" << -7;
    QTest::newRow("clActiveCaption") << "clActiveCaption" << -110;
    QTest::newRow("cl3DDkShadow") << "cl3DDkShadow" << -6;
    QTest::newRow("clInfoBk") << "clInfoBk" << 14811135;
    QTest::newRow("clNone") << "clnone" << clNone;
    QTest::newRow("decimal") << "12345" << 12345;
    QTest::newRow("leading blanks and sign") << "  -42" << -42;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("int max") << "2147483647" << int(INT32_MAX);
    QTest::newRow("int min") << "-2147483648" << int(INT32_MIN);
    QTest::newRow("hex lower case") << "$abcdef" << 0xABCDEF;
    QTest::newRow("hex negative pattern") << "$FFFFFFF9" << -7;
    QTest::newRow("hex one digit") << "$f" << 15;
    QTest::newRow("hex leading zeros beyond eight") << "$000000000001" << 1;
    QTest::newRow("blanks before hex") << "  $10" << 16;
}

void tst_Conversions_Unit::textToColor()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(TextToColor(text), expected);
}

void tst_Conversions_Unit::textToColorFails_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << " ";
    QTest::newRow("unknown name") << "clPink";
    QTest::newRow("name with blank") << " clBlack";
    QTest::newRow("trailing blank") << "12 ";
    QTest::newRow("sign only") << "-";
    QTest::newRow("dollar only") << "$";
    QTest::newRow("nine hex digits") << "$100000000";
    QTest::newRow("bad hex digit") << "$12G4";
    QTest::newRow("decimal overflow") << "2147483648";
    QTest::newRow("negative overflow") << "-2147483649";
    QTest::newRow("huge") << "99999999999999999999999999999";
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa3"); // Arabic-Indic three
    QTest::newRow("Turkish dotless i") << QString::fromUtf8("clWh\xc4\xb1te");
}

void tst_Conversions_Unit::textToColorFails()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(EConvertError, TextToColor(text));
}

void tst_Conversions_Unit::colorRoundTrip_data()
{
    QTest::addColumn<int>("color");
    for (const int color : {0, 1, 0x808080, 0x7FFFFFFF, -1, -7, -15, -46, -111, -1000,
                            int(INT32_MIN), clNone, 14811135, 0x01000000})
        QTest::newRow(qPrintable(QString::number(color))) << color;
}

void tst_Conversions_Unit::colorRoundTrip()
{
    QFETCH(int, color);
    QCOMPARE(TextToColor(ColorToText(color)), color);
}

void tst_Conversions_Unit::fontRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("color");
    QTest::newRow("plain") << "MS Shell Dlg" << 8 << 0 << clBlack;
    QTest::newRow("styles") << "DejaVu Sans" << 14 << (fsBold | fsUnderline) << -7;
    QTest::newRow("all styles") << "X" << 72 << 15 << 0x123456;
    QTest::newRow("negative size") << "Serif" << -13 << int(fsItalic) << clNone;
    QTest::newRow("empty name") << "" << 10 << 0 << -110;
    QTest::newRow("quotes and brackets in name") << R"(A "b" [c])" << 9 << 0 << 255;
    QTest::newRow("non-Latin name")
        << QString::fromUtf8("\xe5\xae\x8b\xe4\xbd\x93") << 12 << 0 << 14811135;
    QTest::newRow("extreme size") << "Mono" << int(INT32_MIN) << 8 << int(INT32_MIN);
}

void tst_Conversions_Unit::fontRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(int, style);
    QFETCH(int, color);
    const TFont font{name, size, style, color};
    TFont read{QStringLiteral("other"), 99, 3, 99};
    TextToFont(FontToText(font), read);
    QCOMPARE(read, font);
}

void tst_Conversions_Unit::textToFontReadsByPosition()
{
    TFont font;
    TextToFont(QStringLiteral("'Courier New', 11, <Italic|Strikeout|Unknown>, (clRed)"), font);
    QCOMPARE(font, (TFont{QStringLiteral("Courier New"), 11, fsItalic | fsStrikeOut, 255}));

    // Style words are matched case-sensitively and only after a bar.
    TextToFont(QStringLiteral("\"A\", 1, [bold|XBold|Underline], [clBlack]"), font);
    QCOMPARE(font.Style, int(fsUnderline));
}

void tst_Conversions_Unit::textToFontFailureKeepsEarlierFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::newRow("comma in family") << R"("Family, Inc", 10, [Bold], [clBlack])"
                                     << "Famil" << 1;
    QTest::newRow("malformed size") << R"("Arial", ten, [Bold], [clBlack])"
                                    << "Arial" << 1;
    QTest::newRow("one comma only") << R"("Arial", 10)"
                                    << "Arial" << 1;
    QTest::newRow("no comma") << "Arial"
                              << "" << 1;
    QTest::newRow("malformed colour") << R"("Arial", 10, [Bold], [clPink])"
                                      << "Arial" << 10;
    QTest::newRow("empty colour") << R"("Arial", 10, [Bold], )"
                                  << "Arial" << 10;
}

void tst_Conversions_Unit::textToFontFailureKeepsEarlierFields()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(int, size);
    TFont font{QStringLiteral("before"), 1, fsUnderline, -7};
    QVERIFY_THROWS_EXCEPTION(EConvertError, TextToFont(text, font));
    QCOMPARE(font.Name, name);
    QCOMPARE(font.Size, size);
    QCOMPARE(font.Color, -7);
    QCOMPARE(font.Style, int(fsUnderline));
}

void tst_Conversions_Unit::dateTimeRoundTrip_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::newRow("now") << QDateTime::currentDateTime();
    QTest::newRow("afternoon 2031") << QDateTime(QDate(2031, 7, 4), QTime(15, 42, 7));
    QTest::newRow("midnight") << QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0));
    QTest::newRow("last second") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59));
    QTest::newRow("before day zero") << QDateTime(QDate(1850, 3, 1), QTime(6, 0, 1));
}

void tst_Conversions_Unit::dateTimeRoundTrip()
{
    QFETCH(QDateTime, moment);
    const TDateTime value = DateTimeFromQDateTime(moment);
    const QString text = DateTimeToText(value);
    QVERIFY(!text.isEmpty());
    const TDateTime read = TextToDateTime(text);
    const QDateTime back = QDateTimeFromDateTime(read);
    const QDateTime expected(
        moment.date(), QTime(moment.time().hour(), moment.time().minute(), moment.time().second()));
    QVERIFY2(back == expected,
             qPrintable(QStringLiteral("%1 (%2): %3 read as %4")
                            .arg(text, QLocale::system().name(), expected.toString(Qt::ISODate),
                                 back.toString(Qt::ISODate))));
}

void tst_Conversions_Unit::textToDateTimeOfGarbageIsZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("words") << "yesterday at noon";
    QTest::newRow("digits") << "99/99/99 99:99:99";
    QTest::newRow("truncated") << DateTimeToText(45000.5).left(5);
    QTest::newRow("control characters") << QString::fromUtf8("\x01\x02\n\r\t");
}

void tst_Conversions_Unit::textToDateTimeOfGarbageIsZero()
{
    QFETCH(QString, text);
    QCOMPARE(TextToDateTime(text), 0.0);
}

void tst_Conversions_Unit::dateTimeDayZero()
{
    QCOMPARE(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    QCOMPARE(DateTimeFromQDateTime(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
    // Before day zero the fraction still counts from midnight.
    QCOMPARE(DateTimeFromQDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    QCOMPARE(QDateTimeFromDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    // A time that rounds up to midnight belongs to the next day.
    QCOMPARE(QDateTimeFromDateTime(1.9999999999), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    QCOMPARE(DateTimeFromQDateTime(QDateTime()), 0.0);
    for (const double bad : {qQNaN(), qInf(), -qInf(), 1e300, -1e18}) {
        QVERIFY(!QDateTimeFromDateTime(bad).isValid());
        QCOMPARE(DateTimeToText(bad), QString());
    }
}

QTEST_MAIN(tst_Conversions_Unit)
#include "tst_Conversions_Unit.moc"
