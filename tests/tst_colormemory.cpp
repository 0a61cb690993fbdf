#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QtTest>

#include "app/languages.h"
#include "dialogs/clabel.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

struct BoxSeen
{
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool hasProgramIcon = false;
};

BoxSeen saveAndWatch(VikaroProbe &probe)
{
    BoxSeen seen;
    whenModalShows([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        seen.hasProgramIcon = !box->windowIcon().isNull();
    });
    probe.saveColors();
    return seen;
}

} // namespace

class TestColorMemory : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(64, 64));
        QGuiApplication::clipboard()->setText("before");
    }

    void rows_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("inHex");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("style");
        QTest::newRow("empty slot") << QString() << false << "" << "QLabel { background: rgba(0,0,0,0); }";
        QTest::newRow("alpha 0 counts empty") << "16777215" << true << "" << "QLabel { background: rgba(255,255,255,0); }";
        QTest::newRow("alpha 0x80 half transparent, decimal") << "-2130771968" << false << "255,  0,  0"
                                                              << "QLabel { background: rgba(255,0,0,128); }";
        QTest::newRow("alpha 0x80 half transparent, hex") << "-2130771968" << true << "#FF0000"
                                                          << "QLabel { background: rgba(255,0,0,128); }";
        QTest::newRow("opaque black in hex") << "-16777216" << true << "#000000" << "QLabel { background: rgba(0,0,0,255); }";
        QTest::newRow("opaque black in decimal") << "-16777216" << false << "  0,  0,  0"
                                                 << "QLabel { background: rgba(0,0,0,255); }";
    }
    void rows()
    {
        QFETCH(QString, stored);
        QFETCH(bool, inHex);
        QFETCH(QString, value);
        QFETCH(QString, style);
        if (!stored.isNull())
            sandbox::setRaw("Color F7", stored);
        CData().setInt("Preferences", "FX in Hexa", inHex ? 1 : 0);
        Vikaro window;
        VikaroProbe probe(window);
        QCOMPARE(probe.memKey(6)->text(), QString("F 7:"));
        QCOMPARE(probe.memKey(9)->text(), QString("F10:"));
        QCOMPARE(probe.memValue(6)->text(), value);
        QCOMPARE(probe.memSwatch(6)->styleSheet(), style);
        QCOMPARE(probe.memKey(11)->geometry(), QRect(0, 242, 130, 22));
        QCOMPARE(probe.memFrame(11)->geometry(), QRect(40, 242, 30, 21));
        QCOMPARE(probe.memSwatch(11)->geometry(), QRect(41, 243, 28, 19));
        QCOMPARE(probe.memValue(11)->geometry(), QRect(78, 242, 130, 22));
        QCOMPARE(probe.memFrame(0)->pixmap(Qt::ReturnByValue).size(), QSize(30, 22));
    }

    // The frame shows on its border and lets the colour square through inside.
    void frameMaskedInside()
    {
        Vikaro window;
        VikaroProbe probe(window);
        const QImage frame = probe.memFrame(0)->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(frame.pixel(0, 0)), 111);
        QCOMPARE(qAlpha(frame.pixel(15, 1)), 111);
        QCOMPARE(qAlpha(frame.pixel(15, 10)), 0);
        QCOMPARE(qAlpha(frame.pixel(29, 10)), 111);
    }

    void functionKeyRefreshesPanel()
    {
        Vikaro window;
        VikaroProbe probe(window);
        probe.currentColor() = 0x00A0FF;
        QTest::keyClick(&window, Qt::Key_F3);
        QCOMPARE(probe.memValue(2)->text(), QString("  0,160,255"));
        pointerInside = true;
        QTest::keyClick(&window, Qt::Key_F3);
        QCOMPARE(probe.memValue(2)->text(), QString());
    }

    void exportAndBox_data()
    {
        QTest::addColumn<QStringList>("stored"); // "key=text"
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("icon");
        const QString br = "<br/>";
        QTest::newRow("all empty warns, clipboard untouched") << QStringList() << "before" << int(QMessageBox::Warning);
        QTest::newRow("only F12 blue") << QStringList{"Color F12=-16776961"} << br.repeated(11) + "#0000FF<BR/>"
                                       << int(QMessageBox::Information);
        QTest::newRow("F1 and F3") << QStringList{"Color F1=-15553740", "Color F3=-1"}
                                   << "#12AB34<BR/><br/>#FFFFFF<BR/>" + br.repeated(9) << int(QMessageBox::Information);
        QTest::newRow("alpha 0 alone counts empty") << QStringList{"Color F4=16777215"} << "before" << int(QMessageBox::Warning);
        QTest::newRow("alpha 0x80 counts stored") << QStringList{"Color F1=-2130771968"} << "#FF0000<BR/>" + br.repeated(11)
                                                  << int(QMessageBox::Information);
        QTest::newRow("opaque black counts stored") << QStringList{"Color F2=-16777216"}
                                                    << br + "#000000<BR/>" + br.repeated(10) << int(QMessageBox::Information);
    }
    void exportAndBox()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, clipboard);
        QFETCH(int, icon);
        for (const QString &pair : stored)
            sandbox::setRaw(pair.section('=', 0, 0), pair.section('=', 1));
        Vikaro window;
        VikaroProbe probe(window);
        const BoxSeen seen = saveAndWatch(probe);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.title, QString("Vikaro"));
        QVERIFY(seen.hasProgramIcon);
        if (icon == QMessageBox::Warning)
            QCOMPARE(seen.text, QString::fromUtf8("!!! Aucune couleur<br/>n'a été sauvée dans le presse-papiers !!!"));
        else
            QCOMPARE(seen.text, QString::fromUtf8("Les couleurs suivantes<br/>ont été copiées dans le presse-papiers.<br/><br/>")
                                    + clipboard);
    }

    void saveButton()
    {
        Vikaro window;
        VikaroProbe probe(window);
        CLabel *button = probe.saveColorsButton();
        QCOMPARE(button->text(), QString("Sauver ces couleurs\r\ndans le presse-papiers"));
        QCOMPARE(button->geometry(), QRect(220, 325, 150, 25));
        QVERIFY(button->styleSheet().startsWith("QLabel { color: white;background: QLinearGradient("));
        bool shown = false;
        whenModalShows([&shown](QWidget *) { shown = true; });
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(shown);
    }

    void sideMenuToggles()
    {
        Vikaro window;
        window.show();
        VikaroProbe probe(window);
        QVERIFY(probe.moreIcon()->isVisible());
        QVERIFY(!probe.normalIcon()->isVisible());
        QTest::mouseClick(probe.moreIcon(), Qt::LeftButton);
        QCOMPARE(window.size(), QSize(405, 362));
        QVERIFY(probe.normalIcon()->isVisible());
        QVERIFY(!probe.moreIcon()->isVisible());
        QCOMPARE(sandbox::raw("Show FX"), QString("1"));
        {
            Vikaro next;
            VikaroProbe nextProbe(next);
            next.show();
            QCOMPARE(next.size(), QSize(405, 362));
            QVERIFY(nextProbe.normalIcon()->isVisible());
            QVERIFY(!nextProbe.moreIcon()->isVisible());
        }
        QTest::mouseClick(probe.normalIcon(), Qt::LeftButton);
        QCOMPARE(window.size(), QSize(205, 362));
        QCOMPARE(sandbox::raw("Show FX"), QString("0"));
        QVERIFY(probe.moreIcon()->isVisible());
    }

    void sideMenuPlaces()
    {
        Vikaro window;
        VikaroProbe probe(window);
        QCOMPARE(probe.optionsIcon()->geometry(), QRect(3, 0, 48, 48));
        QCOMPARE(probe.helpIcon()->geometry(), QRect(53, 0, 48, 48));
        QCOMPARE(probe.aboutIcon()->geometry(), QRect(99, 0, 48, 48));
        QCOMPARE(probe.moreIcon()->geometry(), QRect(156, 0, 48, 48));
        QCOMPARE(probe.normalIcon()->geometry(), QRect(156, 0, 48, 48));
        QVERIFY(probe.optionsIcon()->children().isEmpty());
        QVERIFY(!probe.optionsIcon()->pixmap(Qt::ReturnByValue).isNull());
    }

    void optionsToolTip_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("tip");
        const QString fr = QString::fromUtf8("Préférences de l'utilisateur..."), en = "User preferences...", pt = "Zzzzzzzzz...";
        QTest::newRow("French first") << 0 << fr + "<br/>" + en + "<br/>" + pt;
        QTest::newRow("English first") << 1 << en + "<br/>" + fr + "<br/>" + pt;
        QTest::newRow("Portuguese first") << 2 << pt + "<br/>" + fr + "<br/>" + en;
        QTest::newRow("German like English") << 3 << en + "<br/>" + fr + "<br/>" + pt;
    }
    void optionsToolTip()
    {
        QFETCH(int, language);
        QFETCH(QString, tip);
        languageIndex = language;
        Vikaro window;
        VikaroProbe probe(window);
        QCOMPARE(probe.optionsIcon()->toolTip(), tip);
    }
};

VIKARO_TEST_MAIN(TestColorMemory)
#include "tst_colormemory.moc"
