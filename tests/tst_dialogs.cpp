#include "dialogs/version.h"
#include "support/testsupport.h"

// The colour memory panel, the side menu and the dialogs it opens.

namespace {

// Counts the presses that reach it, to see whether a child passed them on.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

QList<QLabel *> layersOf(CLabel &label)
{
    return label.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
}

// Names the toolkit version the program was built with, not the one it runs on.
QString toolkitSentence()
{
    return "Vikaro est un programme réalisé en C++ avec le framework Qt " QT_VERSION_STR;
}

bool highlighted(CLabel *flag)
{
    return !layersOf(*flag).isEmpty() && layersOf(*flag).first()->isVisibleTo(flag);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { startFresh(); }

    void storedColours_data()
    {
        QTest::addColumn<QStringList>("stored"); // "slot=text"; the first slot's row is looked at
        QTest::addColumn<bool>("inHex");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("rgba");
        QTest::addColumn<QString>("clipboard"); // after the export, which leaves it alone if nothing is stored
        const QString br = "<br/>";
        QTest::newRow("nothing stored warns") << QStringList() << false << "" << "0,0,0,0" << "before";
        QTest::newRow("alpha 0 counts empty") << QStringList{"4=16777215"} << true << "" << "255,255,255,0" << "before";
        QTest::newRow("alpha 0x80 half transparent and counts, decimal")
            << QStringList{"1=-2130771968"} << false << "255,  0,  0" << "255,0,0,128" << "#FF0000<BR/>" + br.repeated(11);
        QTest::newRow("alpha 0x80 in hex") << QStringList{"1=-2130771968"} << true << "#FF0000" << "255,0,0,128"
                                           << "#FF0000<BR/>" + br.repeated(11);
        QTest::newRow("opaque black counts, hex") << QStringList{"2=-16777216"} << true << "#000000" << "0,0,0,255"
                                                  << br + "#000000<BR/>" + br.repeated(10);
        QTest::newRow("opaque black in decimal") << QStringList{"2=-16777216"} << false << "  0,  0,  0" << "0,0,0,255"
                                                 << br + "#000000<BR/>" + br.repeated(10);
        QTest::newRow("only F12 blue") << QStringList{"12=-16776961"} << true << "#0000FF" << "0,0,255,255"
                                       << br.repeated(11) + "#0000FF<BR/>";
        QTest::newRow("F1 and F3") << QStringList{"3=-1", "1=-15553740"} << true << "#FFFFFF" << "255,255,255,255"
                                   << "#12AB34<BR/><br/>#FFFFFF<BR/>" + br.repeated(9);
    }
    // The rows of the colour memory panel, and the export through its button: the clipboard and
    // the box that says what was done (without blocking).
    void storedColours()
    {
        QFETCH(QStringList, stored);
        QFETCH(bool, inHex);
        QFETCH(QString, value);
        QFETCH(QString, rgba);
        QFETCH(QString, clipboard);
        QGuiApplication::clipboard()->setText("before");
        for (const QString &pair : stored)
            sandbox::setRaw("Color F" + pair.section('=', 0, 0), pair.section('=', 1));
        sandbox::setRaw("FX in Hexa", inHex ? "1" : "0");
        VikaroProbe w;
        const int slot = stored.isEmpty() ? 6 : stored.first().section('=', 0, 0).toInt() - 1;
        QCOMPARE(w.memValue(slot)->text(), value);
        QCOMPARE(w.memSwatch(slot)->styleSheet(), "QLabel { background: rgba(" + rgba + "); }");
        QCOMPARE((QStringList{w.memKey(6)->text(), w.memKey(9)->text()}), (QStringList{"F 7:", "F10:"}));
        QCOMPARE((QList<QRect>{w.memKey(11)->geometry(), w.memFrame(11)->geometry(), w.memSwatch(11)->geometry(),
                               w.memValue(11)->geometry()}),
                 (QList<QRect>{QRect(0, 242, 130, 22), QRect(40, 242, 30, 21), QRect(41, 243, 28, 19), QRect(78, 242, 130, 22)}));
        QString text;
        int icon = -1;
        whenModalShows([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            text = box->text();
            icon = box->icon();
        });
        QTest::mouseClick(w.saveColorsButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        if (clipboard == "before") {
            QCOMPARE(icon, int(QMessageBox::Warning));
            QCOMPARE(text, QString("!!! Aucune couleur<br/>n'a été sauvée dans le presse-papiers !!!"));
        } else {
            QCOMPARE(icon, int(QMessageBox::Information));
            QCOMPARE(text, "Les couleurs suivantes<br/>ont été copiées dans le presse-papiers.<br/><br/>" + clipboard);
        }
    }

    // The mask keeps the two top rows, the bottom row and the outer columns of a light
    // translucent frame; the colour square shows through inside.
    void memoryFrame()
    {
        VikaroProbe w;
        const QImage frame = w.memFrame(0)->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(frame.size(), QSize(30, 22));
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                QCOMPARE(qAlpha(frame.pixel(x, y)), (y <= 1 || y == 21 || x == 0 || x == 29) ? 111 : 0);
    }

    void placesAndTexts()
    {
        VikaroProbe w;
        QList<QRect> places;
        for (QWidget *part : QList<QWidget *>{w.optionsIcon(), w.helpIcon(), w.aboutIcon(), w.moreIcon(), w.normalIcon(),
                                              w.saveColorsButton()})
            places << part->geometry();
        QCOMPARE(places, (QList<QRect>{QRect(3, 0, 48, 48), QRect(53, 0, 48, 48), QRect(99, 0, 48, 48), QRect(156, 0, 48, 48),
                                       QRect(156, 0, 48, 48), QRect(220, 325, 150, 25)}));
        QCOMPARE(w.saveColorsButton()->text(), QString("Sauver ces couleurs\r\ndans le presse-papiers"));
    }

    void sideMenuToggles()
    {
        const auto shown = [](VikaroProbe &p) {
            p.window()->show();
            return QList<QVariant>{p.window()->size(), p.moreIcon()->isVisible(), p.normalIcon()->isVisible()};
        };
        const QList<QVariant> narrow{QSize(205, 362), true, false}, wide{QSize(405, 362), false, true};
        VikaroProbe w;
        QCOMPARE(shown(w), narrow);
        QTest::mouseClick(w.moreIcon(), Qt::LeftButton);
        QCOMPARE(shown(w), wide);
        VikaroProbe nextStart;
        QCOMPARE(shown(nextStart), wide);
        QTest::mouseClick(w.normalIcon(), Qt::LeftButton);
        QCOMPARE(shown(w), narrow);
    }

    void labelClicks_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<int>("clicks");
        QTest::newRow("left press") << int(Qt::LeftButton) << false << 1;
        QTest::newRow("right press") << int(Qt::RightButton) << false << 1;
        QTest::newRow("middle press") << int(Qt::MiddleButton) << false << 1;
        QTest::newRow("double click emits twice") << int(Qt::LeftButton) << true << 2;
    }
    // Once per press of any button, and the press is not passed to the parent.
    void labelClicks()
    {
        QFETCH(int, button);
        QFETCH(bool, doubleClick);
        QFETCH(int, clicks);
        PressCounter parent;
        CLabel label(&parent);
        QSignalSpy spy(&label, &CLabel::clicked);
        QTest::mouseClick(&label, Qt::MouseButton(button));
        if (doubleClick)
            QTest::mouseDClick(&label, Qt::MouseButton(button));
        QCOMPARE(spy.count(), clicks);
        QCOMPARE(parent.presses, 0);
    }

    void labelIcon_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("imageRect");
        QTest::newRow("48 in 48 at 0,0") << resources::helpIcon << QRect(53, 0, 48, 48) << QRect(0, 0, 48, 48);
        QTest::newRow("48x34 flag in 54x42 at 3,4") << resources::flagUk << QRect(65, 5, 54, 42) << QRect(3, 4, 48, 34);
        QTest::newRow("larger image clipped evenly") << resources::makerLogo << QRect(0, 0, 54, 42) << QRect(-48, 2, 150, 37);
        QTest::newRow("empty rect only sets the picture") << resources::helpIcon << QRect() << QRect();
    }
    // From the bottom: the highlight over the whole label, the image, the dimming overlay.
    // Without them, setHighlighted does nothing.
    void labelIcon()
    {
        QFETCH(QString, image);
        QFETCH(QRect, rect);
        QFETCH(QRect, imageRect);
        QWidget parent;
        CLabel label(&parent);
        label.setGeometry(7, 8, 20, 20);
        label.setupIcon(image, rect, true, true);
        if (rect.isEmpty()) {
            label.setHighlighted(true);
            QCOMPARE(label.geometry(), QRect(7, 8, 20, 20));
            QVERIFY(label.children().isEmpty());
            QVERIFY(!label.pixmap(Qt::ReturnByValue).isNull());
            return;
        }
        QCOMPARE(label.geometry(), rect);
        const QList<QLabel *> layers = layersOf(label);
        QCOMPARE(layers.size(), 3);
        QCOMPARE((QList<QRect>{layers[0]->geometry(), layers[1]->geometry(), layers[2]->geometry()}),
                 (QList<QRect>{QRect(QPoint(), rect.size()), imageRect, imageRect}));
        QVERIFY(!layers[1]->pixmap(Qt::ReturnByValue).isNull());
        label.setupIcon(image, rect, false, false);
        QCOMPARE(layersOf(label).size(), 3);
        QVERIFY(!highlighted(&label));
    }

    void perLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("tip");      // of the options icon
        QTest::addColumn<QList<bool>>("flags"); // lit in the options dialog
        const QString fr = "Préférences de l'utilisateur...", en = "User preferences...", pt = "Zzzzzzzzz...";
        QTest::newRow("French") << 0 << fr + "<br/>" + en + "<br/>" + pt << QList<bool>{true, false, false, false, false};
        QTest::newRow("only English") << 1 << en + "<br/>" + fr + "<br/>" + pt << QList<bool>{false, true, false, false, false};
        QTest::newRow("Portuguese") << 2 << pt + "<br/>" + fr + "<br/>" + en << QList<bool>{false, false, true, false, false};
        QTest::newRow("German: tip as English, no flag") << 3 << en + "<br/>" + fr + "<br/>" + pt
                                                         << QList<bool>{false, false, false, false, false};
    }
    // The options tooltip puts the user's language first; the dialog lights its flag alone.
    void perLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, tip);
        QFETCH(QList<bool>, flags);
        languageIndex = language;
        QCOMPARE(VikaroProbe().optionsIcon()->toolTip(), tip);
        COptionsDlg dialog;
        QList<bool> lit;
        for (CLabel *flag : dialog.findChildren<CLabel *>())
            lit << highlighted(flag);
        QCOMPARE(lit, flags);
    }

    void optionsDialog()
    {
        COptionsDlg dialog;
        QCOMPARE(dialog.minimumSize(), QSize(500, 110));
        QCOMPARE(dialog.maximumSize(), QSize(990, 510));
        QStringList tips;
        for (CLabel *flag : dialog.findChildren<CLabel *>())
            tips << flag->toolTip();
        QCOMPARE(tips, (QStringList{"Français", "English", "Braziou", "Echpagnol", "Deutsch"}));
        dialog.show();
        QPushButton *ok = nullptr, *cancel = nullptr;
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            (button->text() == "Ok" ? ok : cancel) = button;
        QCOMPARE(cancel->text(), QString("Cancel"));
        QVERIFY(cancel->x() < ok->x());
    }

    void unavailableLanguage_data()
    {
        QTest::addColumn<int>("flag");
        QTest::newRow("Spanish") << 3;
        QTest::newRow("German") << 4;
    }
    // Says so in a box (whose text gets a trailing space) and changes nothing.
    void unavailableLanguage()
    {
        QFETCH(int, flag);
        languageIndex = 1;
        COptionsDlg dialog;
        QString text, title;
        whenModalShows([&](QWidget *modal) {
            text = qobject_cast<QMessageBox *>(modal)->text();
            title = modal->windowTitle();
        });
        QTest::mouseClick(dialog.findChildren<CLabel *>().at(flag), Qt::LeftButton);
        QCOMPARE(text, QString("Cette langue n'est pas encore disponible. "));
        QCOMPARE(title, QString("Vikaro info:"));
        QVERIFY(highlighted(dialog.findChildren<CLabel *>().at(1)));
        QVERIFY(sandbox::raw("Language").isNull());
    }

    void optionsOkAndCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("uncheck");
        QTest::addColumn<QString>("hexa");
        QTest::newRow("English then Cancel writes nothing, the window goes on") << false << false << "1";
        QTest::newRow("English then Ok writes both and rebuilds the window") << true << false << "1";
        QTest::newRow("unchecking hex then Ok stores 0") << true << true << "0";
    }
    // Through the options icon; the dialog ends with 2 for Cancel, 0 for Ok.
    void optionsOkAndCancel()
    {
        QFETCH(bool, ok);
        QFETCH(bool, uncheck);
        QFETCH(QString, hexa);
        sandbox::setRaw("FX in Hexa", "1");
        VikaroProbe w;
        int optionsResult = -1;
        whenModalShows([&](QWidget *modal) {
            auto *options = qobject_cast<COptionsDlg *>(modal);
            QVERIFY(options);
            if (uncheck)
                options->findChild<QCheckBox *>()->setChecked(false);
            answerOptions(*options, 1, ok);
            optionsResult = options->result();
        });
        QTest::mouseClick(w.optionsIcon(), Qt::LeftButton);
        QCOMPARE(optionsResult, ok ? 0 : 2);
        QCOMPARE(w.window()->result(), ok ? 1 : 0);
        QCOMPARE(sandbox::raw("Language"), ok ? QString("1") : QString());
        QCOMPARE(sandbox::raw("FX in Hexa"), hexa);
        QCOMPARE(languageIndex, ok ? 1 : 0);
    }

    // After the options' Ok on the English flag the window comes back under the English
    // catalog; the texts it leaves out stay French.
    void windowInEnglish()
    {
        QStringList texts;
        const int passes = runScripted([&](VikaroProbe &w, int pass) {
            if (pass == 0)
                return chooseLanguage(*w.window(), 1);
            COptionsDlg options;
            for (QPushButton *button : options.findChildren<QPushButton *>())
                if (button->text() != "Ok")
                    texts << button->text();
            QTest::mouseClick(w.helpIcon(), Qt::LeftButton);
            QTest::keyClick(w.window(), Qt::Key_F);
            CAboutDlg about;
            for (QWidget *part : QList<QWidget *>{w.hexLabel(), w.decLabel(), w.swatch8(), w.swatch4(), w.zoomLabel(), w.positionLabel()})
                texts << part->accessibleName();
            texts << w.helpDlg()->windowTitle() << w.window()->windowTitle() << w.positionLabel()->toolTip()
                  << w.memSwatch(2)->toolTip() << w.swatch8()->toolTip() << w.swatch4()->toolTip() << labelTexts(about)
                  << about.findChild<QPushButton *>()->text();
        });
        QCOMPARE(passes, 2);
        QCOMPARE(texts, (QStringList{"Annuler", "Current pixel color in hexadecimal", "Current pixel color in decimal",
                                     "Swatch of the current pixel color (8 bits)", "Swatch of the current pixel color (4 bits)",
                                     "Magnified picture around the pointer", "Current pixel position", "Keyboard shortcuts used by 'Vikaro':", "Vikaro */3frozen ! (U to Unfreeze)",
                                     "Current pixel position:\nAbsolute: [Monior] X , Y\nRelative: X , Y",
                                     "Memorized color n° 3", "La Couleur du pixel actif (8 bits).",
                                     "La Couleur du pixel actif (4 bits).", " ", toolkitSentence(),
                                     "Vikaro was designed and written by the Atelier Lentara team.", "Vikaro Version 1.0.0.3", "",
                                     "", "Ok"}));
    }

    // Opened from its icon at (0, 0) and not on top; a second click leaves one, at (0, 0)
    // again; it goes with the window.
    void helpDialog()
    {
        QPointer<CHelpDlg> help;
        {
            VikaroProbe w;
            QTest::mouseClick(w.helpIcon(), Qt::LeftButton);
            help = w.helpDlg();
            help->move(300, 300);
            QTest::mouseClick(w.helpIcon(), Qt::LeftButton);
            QVERIFY(!help);
            help = w.helpDlg();
            QVERIFY(help->isVisible());
            QCOMPARE(help->pos(), QPoint(0, 0));
            QVERIFY(!(help->windowFlags() & Qt::WindowStaysOnTopHint));
            QCOMPARE(help->windowTitle(), QString("Les raccourcis clavier de 'Vikaro':"));
            const QStringList texts = labelTexts(*help);
            QCOMPARE(texts.size(), 12);
            QCOMPARE(texts.first(), QString("D/X: Copie le code de la couleur en Décimal/heXa dans le presse-papiers."));
            QCOMPARE(texts.last(), QString("Cette fenêtre peut rester ouverte, afin de tester les actions ci-dessus."));
            QCOMPARE(texts.count(" "), 1);
        }
        QVERIFY(!help);
    }

    void aboutDialog()
    {
        CAboutDlg dialog;
        QCOMPARE(dialog.minimumWidth(), 616);
        QCOMPARE(labelTexts(dialog), (QStringList{" ", toolkitSentence(), "Vikaro a été conçu et écrit par l'équipe de l'Atelier Lentara.",
                                                  "Vikaro Version 1.0.0.3", "", ""}));
        QCOMPARE(versionText(1000000, 105), QString("1.0.0.5"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::mousePress(dialog.findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
    }
};

VIKARO_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
