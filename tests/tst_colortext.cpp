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
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("dec");
        QTest::addColumn<QString>("swatch8");
        QTest::addColumn<QString>("swatch4");
        QTest::newRow("pure red") << 0xFF0000u << "#FF0000   #F00" << "255,  0,  0"
                                  << "QLabel{background:#ff0000;}" << "QLabel{background:#ff0000;}";
        QTest::newRow("18 52 86 keeps its digits") << 0x123456u << "#123456   #135" << " 18, 52, 86"
                                                    << "QLabel{background:#123456;}" << "QLabel{background:#113355;}";
        QTest::newRow("component 15 gives digit 0") << 0x0F0F0Fu << "#0F0F0F   #000" << " 15, 15, 15"
                                                     << "QLabel{background:#0f0f0f;}" << "QLabel{background:#000000;}";
        QTest::newRow("component 16 gives digit 1") << 0x101010u << "#101010   #111" << " 16, 16, 16"
                                                     << "QLabel{background:#101010;}" << "QLabel{background:#111111;}";
        QTest::newRow("black keeps six digits") << 0x000000u << "#000000   #000" << "  0,  0,  0"
                                                 << "QLabel{background:#000000;}" << "QLabel{background:#000000;}";
        QTest::newRow("255 12 0") << 0xFF0C00u << "#FF0C00   #F00" << "255, 12,  0"
                                  << "QLabel{background:#ff0c00;}" << "QLabel{background:#ff0000;}";
        QTest::newRow("lower-case digits upper-cased") << 0xABCDEFu << "#ABCDEF   #ACE" << "171,205,239"
                                                        << "QLabel{background:#abcdef;}" << "QLabel{background:#aaccee;}";
    }
    void sampledTexts()
    {
        QFETCH(quint32, rgb);
        QFETCH(QString, hex);
        QFETCH(QString, dec);
        QFETCH(QString, swatch8);
        QFETCH(QString, swatch4);
        QCOMPARE(hexText(rgb), hex);
        QCOMPARE(decText(rgb), dec);
        QCOMPARE(swatchStyle(rgb), swatch8);
        QCOMPARE(swatchStyle(colour4(rgb)), swatch4);
    }

    void clipboardTexts_data()
    {
        QTest::addColumn<quint32>("rgb");
        QTest::addColumn<QString>("dec");
        QTest::addColumn<QString>("hex");
        QTest::newRow("0 160 255") << 0x00A0FFu << "0,160,255" << "#00A0FF";
        QTest::newRow("255 12 0 unaligned") << 0xFF0C00u << "255,12,0" << "#FF0C00";
        QTest::newRow("black") << 0x000000u << "0,0,0" << "#000000";
    }
    void clipboardTexts()
    {
        QFETCH(quint32, rgb);
        QFETCH(QString, dec);
        QFETCH(QString, hex);
        QCOMPARE(clipDecText(rgb), dec);
        QCOMPARE(clipHexText(rgb), hex);
    }

    void memoryRows_data()
    {
        QTest::addColumn<quint32>("argb");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("dec");
        QTest::newRow("empty slot") << 0u << "QLabel { background: rgba(0,0,0,0); }" << "" << "";
        QTest::newRow("alpha 0 counts empty") << 0x00FFFFFFu << "QLabel { background: rgba(255,255,255,0); }" << "" << "";
        QTest::newRow("alpha 0x80 is stored, half transparent")
            << 0x80FF0000u << "QLabel { background: rgba(255,0,0,128); }" << "#FF0000" << "255,  0,  0";
        QTest::newRow("opaque black") << 0xFF000000u << "QLabel { background: rgba(0,0,0,255); }" << "#000000"
                                      << "  0,  0,  0";
        QTest::newRow("opaque 0 160 255") << 0xFF00A0FFu << "QLabel { background: rgba(0,160,255,255); }" << "#00A0FF"
                                          << "  0,160,255";
    }
    void memoryRows()
    {
        QFETCH(quint32, argb);
        QFETCH(QString, style);
        QFETCH(QString, hex);
        QFETCH(QString, dec);
        QCOMPARE(memorySwatchStyle(argb), style);
        QCOMPARE(memoryValueText(argb, true), hex);
        QCOMPARE(memoryValueText(argb, false), dec);
    }

    void keyNames_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        QTest::newRow("F1 has a space") << 0 << "F 1:";
        QTest::newRow("F9 has a space") << 8 << "F 9:";
        QTest::newRow("F10 has none") << 9 << "F10:";
        QTest::newRow("F12") << 11 << "F12:";
    }
    void keyNames()
    {
        QFETCH(int, slot);
        QFETCH(QString, name);
        QCOMPARE(memoryKeyName(slot), name);
    }

    void exportOfSlots_data()
    {
        QTest::addColumn<QList<quint32>>("set"); // pairs: slot, colour
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        const QString br = "<br/>";
        QTest::newRow("all empty") << QList<quint32>() << br.repeated(12) << 0;
        QTest::newRow("only F12 blue") << QList<quint32>{11, 0xFF0000FFu} << br.repeated(11) + "#0000FF<BR/>" << 1;
        QTest::newRow("F1 and F3") << QList<quint32>{0, 0xFF12AB34u, 2, 0xFFFFFFFFu}
                                   << "#12AB34<BR/><br/>#FFFFFF<BR/>" + br.repeated(9) << 2;
        QTest::newRow("alpha 0 counts empty") << QList<quint32>{4, 0x00FFFFFFu} << br.repeated(12) << 0;
        QTest::newRow("alpha 0x80 counts stored") << QList<quint32>{0, 0x80FF0000u} << "#FF0000<BR/>" + br.repeated(11) << 1;
        QTest::newRow("opaque black counts stored") << QList<quint32>{1, 0xFF000000u}
                                                     << br + "#000000<BR/>" + br.repeated(10) << 1;
    }
    void exportOfSlots()
    {
        QFETCH(QList<quint32>, set);
        QFETCH(QString, text);
        QFETCH(int, count);
        std::array<quint32, storedColorCount> table = {};
        for (int i = 0; i + 1 < set.size(); i += 2)
            table[set.at(i)] = set.at(i + 1);
        int stored = -1;
        QCOMPARE(exportText(table, &stored), text);
        QCOMPARE(stored, count);
    }
};

VIKARO_TEST_MAIN(TestColorText)
#include "tst_colortext.moc"
