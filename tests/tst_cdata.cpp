#include <QApplication>
#include <QtTest>

#include "settings/cdata.h"
#include "support/testsupport.h"

class TestCData : public QObject
{
    Q_OBJECT

private slots:
    void init() { sandbox::reset(); }

    void intRoundTrip_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("zero is written as 0") << 0 << "0";
        QTest::newRow("minus one, opaque white") << -1 << "-1";
        QTest::newRow("opaque black is negative") << int(0xFF000000u) << "-16777216";
        QTest::newRow("opaque 0x102030") << int(0xFF102030u) << "-15720400";
        QTest::newRow("largest int") << 2147483647 << "2147483647";
        QTest::newRow("smallest int") << int(0x80000000u) << "-2147483648";
    }
    void intRoundTrip()
    {
        QFETCH(int, value);
        QFETCH(QString, stored);
        CData().setInt("Preferences", "Zoom factor", value);
        QCOMPARE(sandbox::raw("Zoom factor"), stored);
        QCOMPARE(CData().getInt("Preferences", "Zoom factor"), value);
    }

    void intReadsZero_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("number with trailing letters") << "12abc";
        QTest::newRow("a number in words") << "twelve";
        QTest::newRow("empty text") << "";
    }
    void intReadsZero()
    {
        QFETCH(QString, text);
        sandbox::setRaw("Grid type", text);
        QCOMPARE(CData().getInt("Preferences", "Grid type"), 0);
    }

    void missingKeyReadsEmpty()
    {
        CData store;
        QCOMPARE(store.getInt("Preferences", "Never written"), 0);
        QCOMPARE(store.getString("Preferences", "Never written"), QString());
        QVERIFY(!store.getDateTime("Preferences", "Never written").isValid());
        QVERIFY(store.getDate("Preferences", "Never written").isNull());
        QVERIFY(store.getTime("Preferences", "Never written").isNull());
        QVERIFY(store.group().isEmpty());
    }

    void noGroupLeftOpen()
    {
        CData store;
        store.setInt("Preferences", "A", 1);
        store.getInt("Preferences", "A");
        store.keysOf("Preferences");
        store.removeKey("Preferences", "A");
        store.setDateTime("Other", "When", QDateTime::currentDateTime());
        QVERIFY(store.group().isEmpty());
    }

    void listAppend_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("after");
        QTest::newRow("absent list takes the item alone") << QString() << "red" << "red";
        QTest::newRow("item appended after a comma") << "red" << "blue" << "red,blue";
        QTest::newRow("item already present changes nothing") << "red,blue" << "red" << "red,blue";
        QTest::newRow("comparison is case-sensitive") << "red" << "Red" << "red,Red";
    }
    void listAppend()
    {
        QFETCH(QString, before);
        QFETCH(QString, item);
        QFETCH(QString, after);
        CData store;
        if (!before.isNull())
            store.setValue("Recent", before);
        store.setString("Recent", QString(), item);
        QCOMPARE(store.getString("Recent", QString()), after);
    }

    void listRemove_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("after");
        QTest::newRow("middle item") << "a,b,c" << "b" << "a,c";
        QTest::newRow("first item") << "a,b,c" << "a" << "b,c";
        QTest::newRow("every copy") << "a,b,a" << "a" << "b";
        QTest::newRow("absent item rewrites the same list") << "a,b" << "z" << "a,b";
        QTest::newRow("empty items are kept") << "a,,b" << "b" << "a,";
    }
    void listRemove()
    {
        QFETCH(QString, before);
        QFETCH(QString, item);
        QFETCH(QString, after);
        CData store;
        store.setValue("Recent", before);
        QVERIFY(store.removeFromList("Recent", item));
        QCOMPARE(store.value("Recent").toString(), after);
    }

    void removals()
    {
        CData store;
        store.setString("Preferences", "A", "x");
        store.setString("Preferences", "B", "y");
        store.setString("Preferences", "C", "x");
        QVERIFY(store.removeByValue("Preferences", "x"));
        QCOMPARE(store.keysOf("Preferences"), QStringList{"B"});
        QVERIFY(store.removeKey("Preferences", "B"));
        QVERIFY(store.keysOf("Preferences").isEmpty());
        store.setInt("Gone", "K", 1);
        QVERIFY(store.removeEntry("Gone"));
        QVERIFY(!store.childGroups().contains("Gone"));
    }

    void dumpText_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("dump");
        QTest::newRow("empty store") << QStringList() << QString();
        QTest::newRow("one key") << QStringList{"Preferences/Grid type=2"}
                                 << "\r\n[Preferences]\r\nGrid type=2\r\n";
        QTest::newRow("top-level keys not listed") << QStringList{"Loose=1", "Preferences/Zoom factor=4"}
                                                   << "\r\n[Preferences]\r\nZoom factor=4\r\n";
    }
    void dumpText()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, dump);
        CData store;
        for (const QString &pair : keys)
            store.setValue(pair.section('=', 0, 0), pair.section('=', 1));
        QCOMPARE(store.dumpText(), dump);
    }

    void dateAndTime()
    {
        CData store;
        const QDateTime when(QDate(2026, 12, 6), QTime(19, 50, 1, 250));
        store.setDateTime("Log", "When", when);
        store.setDate("Log", "Day", when.date());
        store.setTime("Log", "Hour", when.time());
        QCOMPARE(CData().getDateTime("Log", "When"), when);
        QCOMPARE(CData().getDate("Log", "Day"), when.date());
        QCOMPARE(CData().getTime("Log", "Hour"), when.time());
        store.clearDateTime("Log", "When");
        QVERIFY(!CData().getDateTime("Log", "When").date().isValid());
    }

    void instancesSeeEachOther()
    {
        CData longLived;
        {
            CData writer;
            writer.setInt("Preferences", "Language", 2);
        }
        QCOMPARE(longLived.getInt("Preferences", "Language"), 2);
    }
};

VIKARO_TEST_MAIN(TestCData)
#include "tst_cdata.moc"
