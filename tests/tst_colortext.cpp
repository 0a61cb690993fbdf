#include <QApplication>
#include <QtTest>

#include "magnifier/colortext.h"
#include "support/testsupport.h"

class TestColorText : public QObject
{
    Q_OBJECT

private slots:
    void sampledTexts_data()
    {
        QTest::addColumn<quint32>("rgb");
        QTest::addColumn<QStringList>("texts"); // hex, decimal, 8-bit swatch, 4-bit swatch, D, X
        const auto row = [](const char *name, quint32 rgb, const QString &hex, const QString &dec, const QString &s8,
                            const QString &s4, const QString &clipDec) {
            QTest::newRow(name) << rgb << QStringList{hex, dec, "QLabel{background:#" + s8 + ";}",
                                                      "QLabel{background:#" + s4 + ";}", clipDec, hex.left(7)};
        };
        row("pure red", 0xFF0000, "#FF0000   #F00", "255,  0,  0", "ff0000", "ff0000", "255,0,0");
        row("18 52 86 keeps its digits", 0x123456, "#123456   #135", " 18, 52, 86", "123456", "113355", "18,52,86");
        row("component 15 gives digit 0", 0x0F0F0F, "#0F0F0F   #000", " 15, 15, 15", "0f0f0f", "000000", "15,15,15");
        row("component 16 gives digit 1", 0x101010, "#101010   #111", " 16, 16, 16", "101010", "111111", "16,16,16");
        row("black keeps six digits", 0x000000, "#000000   #000", "  0,  0,  0", "000000", "000000", "0,0,0");
        row("0 160 255", 0x00A0FF, "#00A0FF   #0AF", "  0,160,255", "00a0ff", "00aaff", "0,160,255");
        row("lower-case digits upper-cased", 0xABCDEF, "#ABCDEF   #ACE", "171,205,239", "abcdef", "aaccee", "171,205,239");
    }
    void sampledTexts()
    {
        QFETCH(quint32, rgb);
        QFETCH(QStringList, texts);
        const QStringList made{hexText(rgb), decText(rgb), swatchStyle(rgb), swatchStyle(colour4(rgb)),
                               clipDecText(rgb), clipHexText(rgb)};
        QCOMPARE(made, texts);
    }
};

VIKARO_TEST_MAIN(TestColorText)
#include "tst_colortext.moc"
