#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QTranslator>
#include <QtTest>

#include "resources/resourcepaths.h"
#include "support/testsupport.h"

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void styleSheetBytes()
    {
        QFile file(resources::styleSheet);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray expected = QByteArray("\r\n")
            + "QWidget { font-family: Segoe UI, Trebuchet MS, Verdana, Helvetica, Arial; }\r\n"
            + "QDialog { background: #0f1e33; background-image: url(:/Vikaro/Resources/tissus.gif); }\r\n"
            + "QLabel, QCheckBox { color: #F7D61E; font: 15px; font-weight: 450; font-family: Lucida Console, "
              "Courier New, Courier; }\r\n"
            + "QPushButton { color: white; background: QLinearGradient( x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #333, "
              "stop: 0.5 #888, stop: 1 #333); border: 1px solid #000; border-radius: 9px; min-height: 30px; "
              "min-width: 50px; } \r\n"
            + "QPushButton:hover { color: black; background: QLinearGradient( x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 "
              "#444, stop: 0.5 #888, stop: 1 #444); border: 1px solid #000; border-radius: 9px; min-height: 30px; "
              "min-width: 50px; } \r\n";
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 719);
        QCOMPARE(bytes, expected);
    }

    void images_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        const QSize flag(48, 34), icon(48, 48);
        QTest::newRow("program icon") << resources::programIcon << QSize(32, 32) << QByteArray("ico");
        QTest::newRow("France") << resources::flagFrance << flag << QByteArray("png");
        QTest::newRow("UK") << resources::flagUk << flag << QByteArray("png");
        QTest::newRow("Brazil") << resources::flagBrazil << flag << QByteArray("png");
        QTest::newRow("Spain") << resources::flagSpain << flag << QByteArray("png");
        QTest::newRow("Germany") << resources::flagGermany << flag << QByteArray("png");
        QTest::newRow("marble") << resources::marble << icon << QByteArray("png");
        QTest::newRow("maker logo") << resources::makerLogo << QSize(150, 37) << QByteArray("gif");
        QTest::newRow("options") << resources::optionsIcon << icon << QByteArray("png");
        QTest::newRow("help") << resources::helpIcon << icon << QByteArray("png");
        QTest::newRow("about") << resources::aboutIcon << icon << QByteArray("png");
        QTest::newRow("show memory") << resources::moreIcon << icon << QByteArray("png");
        QTest::newRow("hide memory") << resources::normalIcon << icon << QByteArray("png");
        QTest::newRow("frame mask") << resources::memoryFrameMask << QSize(30, 22) << QByteArray("bmp");
        QTest::newRow("fabric") << QString(":/Vikaro/Resources/tissus.gif") << QSize(200, 200) << QByteArray("gif");
    }
    void images()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
    }

    // One 32 x 32 image of 16 colours: the directory says so and the sizes add up.
    void programIconHasSixteenColours()
    {
        QFile file(resources::programIcon);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 766);
        QCOMPARE(int(uchar(bytes.at(4))), 1);  // one image
        QCOMPARE(int(uchar(bytes.at(6))), 32); // width
        QCOMPARE(int(uchar(bytes.at(8))), 16); // colours
        QCOMPARE(int(uchar(bytes.at(12))), 4); // bits per pixel
    }

    // Black on the two top rows, the bottom row and the outer columns; white inside.
    void frameMaskShape()
    {
        const QImage mask(resources::memoryFrameMask);
        QCOMPARE(mask.depth(), 1);
        for (int y = 0; y < mask.height(); ++y) {
            for (int x = 0; x < mask.width(); ++x) {
                const bool border = y <= 1 || y == 21 || x == 0 || x == 29;
                QCOMPARE(qGray(mask.pixel(x, y)) == 0, border);
            }
        }
    }

    void englishCatalog_data()
    {
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QString>("text");
        const QString absent; // stays the French source
        QTest::newRow("about title") << QByteArray("CAboutDlg") << "A propos de 'Vikaro':" << QByteArray() << "About... 'Vikaro':";
        QTest::newRow("help title") << QByteArray("CHelpDlg") << "Les raccourcis clavier de 'Vikaro':" << QByteArray()
                                    << "Keyboard shortcuts used by 'Vikaro':";
        QTest::newRow("help row with leading spaces")
            << QByteArray("CHelpDlg") << "   La roulette de la souris sert aussi à changer le facteur de zoom."
            << QByteArray() << "The mouse wheelcan also be used to change the zoom factor.";
        QTest::newRow("Cancel with its comment finds Annuler")
            << QByteArray("COptionsDlg") << "Cancel" << QByteArray("The text on the Help dialog button, to close it.")
            << "Annuler";
        QTest::newRow("frozen suffix") << QByteArray("Vikaro") << " gelé ! (U pour dégeler)" << QByteArray()
                                       << "frozen ! (U to Unfreeze)";
        QTest::newRow("text with line breaks")
            << QByteArray("Vikaro") << "Positionnement du pixel actif:\nAbsolu: [Moniteur] X , Y\nRelatif: X , Y"
            << QByteArray() << "Current pixel position:\nAbsolute: [Monior] X , Y\nRelative: X , Y";
        QTest::newRow("text with tags")
            << QByteArray("Vikaro") << "!!! Aucune couleur<br/>n'a été sauvée dans le presse-papiers !!!" << QByteArray()
            << "!!! No color<br/>have been saved to the clipboard !!!";
        QTest::newRow("row tooltip keeps its placeholder") << QByteArray("Vikaro") << "La couleur mémorisée n° %1"
                                                           << QByteArray() << "Memorized color n° %1";
        QTest::newRow("save button") << QByteArray("Vikaro") << "Sauver ces couleurs" << QByteArray() << "Save those colors";
        QTest::newRow("credit line") << QByteArray("CAboutDlg")
                                     << "Vikaro a été conçu et écrit par l'équipe de l'Atelier Lentara." << QByteArray()
                                     << "Vikaro was designed and written by the Atelier Lentara team.";
        QTest::newRow("toolkit sentence untranslated")
            << QByteArray("CAboutDlg") << "Vikaro est un programme réalisé en C++ avec le framework " << QByteArray() << absent;
        QTest::newRow("version prefix untranslated") << QByteArray("CAboutDlg") << "Vikaro Version " << QByteArray() << absent;
        QTest::newRow("about Ok untranslated") << QByteArray("CAboutDlg") << "Ok"
                                               << QByteArray("The text on the Help-About dialog button, to close it.") << absent;
        QTest::newRow("8-bit swatch tooltip untranslated") << QByteArray("Vikaro") << "La Couleur du pixel actif (8 bits)."
                                                           << QByteArray() << absent;
        QTest::newRow("4-bit swatch tooltip untranslated") << QByteArray("Vikaro") << "La Couleur du pixel actif (4 bits)."
                                                           << QByteArray() << absent;
    }
    void englishCatalog()
    {
        QFETCH(QByteArray, context);
        QFETCH(QString, source);
        QFETCH(QByteArray, comment);
        QFETCH(QString, text);
        QTranslator translator;
        QVERIFY(translator.load(resources::catalogPrefix + "en"));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        const QString shown = QCoreApplication::translate(context.constData(), source.toUtf8().constData(),
                                                          comment.isEmpty() ? nullptr : comment.constData());
        QCOMPARE(shown, text.isNull() ? source : text);
    }

    void portugueseCatalog_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        QTest::newRow("save button") << "Sauver ces couleurs" << "Sauver ces couleurs zzzzzz";
        QTest::newRow("second half unchanged") << "dans le presse-papiers" << "dans le presse-papiers";
        QTest::newRow("everything else French") << "Montrer les couleurs mémorisées." << "Montrer les couleurs mémorisées.";
    }
    void portugueseCatalog()
    {
        QFETCH(QString, source);
        QFETCH(QString, text);
        QTranslator translator;
        QVERIFY(translator.load(resources::catalogPrefix + "pt"));
        QCoreApplication::installTranslator(&translator);
        QCOMPARE(QCoreApplication::translate("Vikaro", source.toUtf8().constData()), text);
    }

    void noCatalogForGermanOrSpanish()
    {
        QTranslator translator;
        QVERIFY(!translator.load(resources::catalogPrefix + "de"));
        QVERIFY(!translator.load(resources::catalogPrefix + "es"));
        QVERIFY(!translator.load(resources::catalogPrefix + "fr"));
    }
};

VIKARO_TEST_MAIN(TestResources)
#include "tst_resources.moc"
