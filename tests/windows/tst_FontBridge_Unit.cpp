// The bridges between the stored font and colour values and Qt's.

#include "windows/FontBridge_Unit.h"

#include <QTest>

class tst_FontBridge_Unit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colorToQColor_data();
    void colorToQColor();
    void qfontBridge();
};

void tst_FontBridge_Unit::colorToQColor_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("plain: red in the low byte") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("plain: blue in the high byte") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("clText") << -7 << QColor(Qt::red);
    QTest::newRow("clBackground") << -11 << QColor(Qt::yellow);
    QTest::newRow("clNormalText") << -39 << QColor(Qt::red);
    QTest::newRow("clDisabledText") << -71 << QColor(Qt::gray);
    QTest::newRow("clActiveHighlightedText") << -110 << QColor(Qt::cyan);
    QTest::newRow("clNone") << clNone << QColor();
    QTest::newRow("unknown role") << -15 << QColor();
    QTest::newRow("lowest") << int(INT32_MIN) << QColor();
}

void tst_FontBridge_Unit::colorToQColor()
{
    QFETCH(int, color);
    QFETCH(QColor, expected);
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Text, Qt::red);
    palette.setColor(QPalette::Inactive, QPalette::Text, Qt::red);
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::gray);
    palette.setColor(QPalette::Active, QPalette::Window, Qt::yellow);
    palette.setColor(QPalette::Active, QPalette::HighlightedText, Qt::cyan);
    palette.setCurrentColorGroup(QPalette::Active);
    QCOMPARE(ColorToQColor(color, palette), expected);
    if (color >= 0 && color != clNone)
        QCOMPARE(QColorToColor(expected), color);
}

void tst_FontBridge_Unit::qfontBridge()
{
    QFont base(QStringLiteral("Sans"), 10);
    base.setFixedPitch(true);
    const TFont font{QStringLiteral("Serif"), 17, fsBold | fsStrikeOut, 0x00FF00};
    const QFont qfont = FontToQFont(font, base);
    QCOMPARE(qfont.family(), QStringLiteral("Serif"));
    QCOMPARE(qfont.pointSize(), 17);
    QVERIFY(qfont.bold());
    QVERIFY(!qfont.italic());
    QVERIFY(!qfont.underline());
    QVERIFY(qfont.strikeOut());
    QVERIFY(qfont.fixedPitch()); // the rest comes from the base
    QCOMPARE(QFontToFont(qfont, font.Color), font);
    QCOMPARE(QColorToColor(QColor()), clNone);
}

QTEST_MAIN(tst_FontBridge_Unit)
#include "tst_FontBridge_Unit.moc"
