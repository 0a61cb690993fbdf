#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/languages.h"
#include "app/startup.h"
#include "dialogs/caboutdlg.h"
#include "dialogs/chelpdlg.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "dialogs/mymessagebox.h"
#include "dialogs/version.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "support/fakedesktop.h"
#include "support/testsupport.h"
#include "support/vikaroprobe.h"

namespace {

// Presses are counted by the parent too, to see whether they travel on.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

QList<CLabel *> flagsOf(COptionsDlg &dialog)
{
    return dialog.findChildren<CLabel *>();
}

bool highlighted(CLabel *flag)
{
    const QList<QLabel *> children = flag->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    return !children.isEmpty() && children.first()->isVisibleTo(flag);
}

QStringList labelTexts(QWidget &dialog)
{
    QStringList texts;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        sandbox::reset();
        resetProcessState();
        useFakeDesktop(QSize(64, 64));
    }

    void clickedOncePerPress_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }
    void clickedOncePerPress()
    {
        QFETCH(int, button);
        PressCounter parent;
        CLabel label(&parent);
        label.setupIcon(resources::helpIcon, QRect(0, 0, 48, 48), false, false);
        QSignalSpy spy(&label, &CLabel::clicked);
        QTest::mousePress(&label, Qt::MouseButton(button));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(parent.presses, 0);
        QTest::mouseRelease(&label, Qt::MouseButton(button));
        QCOMPARE(spy.count(), 1);
    }

    void doubleClickEmitsTwice()
    {
        CLabel label;
        QSignalSpy spy(&label, &CLabel::clicked);
        // What a double click delivers: a press, a release, then the double click itself.
        QTest::mouseClick(&label, Qt::LeftButton);
        QTest::mouseDClick(&label, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
    }

    void iconOffsets_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("imageRect");
        QTest::newRow("48 in 48 at the corner") << resources::helpIcon << QRect(53, 0, 48, 48) << QRect(0, 0, 48, 48);
        QTest::newRow("flag centred in its cell") << resources::flagUk << QRect(65, 5, 54, 42) << QRect(3, 4, 48, 34);
    }
    void iconOffsets()
    {
        QFETCH(QString, image);
        QFETCH(QRect, rect);
        QFETCH(QRect, imageRect);
        QWidget parent;
        CLabel label(&parent);
        label.setupIcon(image, rect, true, true);
        QCOMPARE(label.geometry(), rect);
        const QList<QLabel *> children = label.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(children.size(), 3);
        QCOMPARE(children.at(0)->geometry(), QRect(QPoint(), rect.size())); // highlight, bottom
        QCOMPARE(children.at(1)->geometry(), imageRect);                   // image
        QCOMPARE(children.at(2)->geometry(), imageRect);                   // overlay, top
        QVERIFY(!children.at(1)->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(children.at(2)->styleSheet(), QString("QLabel { background: rgba(50, 50, 50, 160); }"));
        label.setupIcon(image, rect, false, false);
        QCOMPARE(label.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).size(), 3);
        QVERIFY(!highlighted(&label));
    }

    // An image larger than its cell is centred with negative offsets, clipped evenly.
    void largerImageClippedEvenly()
    {
        QWidget parent;
        CLabel label(&parent);
        label.setupIcon(resources::makerLogo, QRect(0, 0, 54, 42), false, false);
        const QList<QLabel *> children = label.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(children.at(1)->geometry(), QRect(-48, 2, 150, 37));
    }

    void emptyRectOnlySetsPicture()
    {
        QWidget parent;
        CLabel label(&parent);
        label.setGeometry(7, 8, 20, 20);
        label.setupIcon(resources::helpIcon, QRect(), false, false);
        QCOMPARE(label.geometry(), QRect(7, 8, 20, 20));
        QVERIFY(label.children().isEmpty());
        QVERIFY(!label.pixmap(Qt::ReturnByValue).isNull());
        label.setHighlighted(true); // no highlight yet: nothing happens
    }

    void messageBoxTrailingSpace()
    {
        MyMessageBox box(QMessageBox::Warning, "Vikaro info:", QString::fromUtf8("Cette langue n'est pas encore disponible."),
                         QMessageBox::NoButton, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        QCOMPARE(box.text(), QString::fromUtf8("Cette langue n'est pas encore disponible. "));
        QVERIFY(!box.windowIcon().isNull());
        box.setText("later");
        QCOMPARE(box.text(), QString("later"));
        MyMessageBox empty(QMessageBox::Warning, "t", QString(), QMessageBox::NoButton, nullptr, Qt::Dialog);
        QCOMPARE(empty.text(), QString(" "));
    }

    void flagsHighlight_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QList<bool>>("lit");
        QTest::newRow("French") << 0 << QList<bool>{true, false, false, false, false};
        QTest::newRow("English only") << 1 << QList<bool>{false, true, false, false, false};
        QTest::newRow("Portuguese") << 2 << QList<bool>{false, false, true, false, false};
        QTest::newRow("German stored: none") << 3 << QList<bool>{false, false, false, false, false};
    }
    void flagsHighlight()
    {
        QFETCH(int, language);
        QFETCH(QList<bool>, lit);
        languageIndex = language;
        COptionsDlg dialog;
        QList<bool> seen;
        for (CLabel *flag : flagsOf(dialog))
            seen.append(highlighted(flag));
        QCOMPARE(seen, lit);
    }

    void optionsLayout()
    {
        COptionsDlg dialog;
        QCOMPARE(dialog.minimumSize(), QSize(500, 110));
        QCOMPARE(dialog.maximumSize(), QSize(990, 510));
        QCOMPARE(dialog.accessibleName(), QString("COptionsDlg"));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        const QList<CLabel *> flags = flagsOf(dialog);
        QCOMPARE(flags.size(), 5);
        QStringList tips;
        for (CLabel *flag : flags)
            tips.append(flag->toolTip());
        QCOMPARE(tips, (QStringList{QString::fromUtf8("Français"), "English", "Braziou", "Echpagnol", "Deutsch"}));
        QCOMPARE(flags.at(4)->geometry(), QRect(245, 5, 54, 42));
        QVERIFY(flags.at(3)->findChildren<QLabel *>().last()->isVisibleTo(flags.at(3)));  // dimmed
        QVERIFY(!flags.at(0)->findChildren<QLabel *>().last()->isVisibleTo(flags.at(0))); // not dimmed
        dialog.show();
        const QList<QPushButton *> buttons = dialog.findChildren<QPushButton *>();
        QPushButton *ok = buttons.at(0)->text() == "Ok" ? buttons.at(0) : buttons.at(1);
        QPushButton *cancel = ok == buttons.at(0) ? buttons.at(1) : buttons.at(0);
        QCOMPARE(cancel->text(), QString("Cancel"));
        QVERIFY(cancel->geometry().x() < ok->geometry().x());
    }

    void unavailableLanguage_data()
    {
        QTest::addColumn<int>("flag");
        QTest::newRow("Spanish") << 3;
        QTest::newRow("German") << 4;
    }
    void unavailableLanguage()
    {
        QFETCH(int, flag);
        languageIndex = 1;
        COptionsDlg dialog;
        QString text, title;
        whenModalShows([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            text = box->text();
            title = box->windowTitle();
        });
        QTest::mouseClick(flagsOf(dialog).at(flag), Qt::LeftButton);
        QCOMPARE(text, QString::fromUtf8("Cette langue n'est pas encore disponible. "));
        QCOMPARE(title, QString("Vikaro info:"));
        QVERIFY(highlighted(flagsOf(dialog).at(1)));
        QVERIFY(sandbox::raw("Language").isNull());
    }

    void okAndCancel_data()
    {
        QTest::addColumn<bool>("pressOk");
        QTest::addColumn<bool>("uncheck");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("hexa");
        QTest::newRow("English then Cancel writes nothing") << false << false << 2 << QString() << QString();
        QTest::newRow("English then Ok writes both") << true << false << 0 << "1" << "1";
        QTest::newRow("unchecking hex and Ok stores 0") << true << true << 0 << "1" << "0";
    }
    void okAndCancel()
    {
        QFETCH(bool, pressOk);
        QFETCH(bool, uncheck);
        QFETCH(int, result);
        QFETCH(QString, language);
        QFETCH(QString, hexa);
        fxInHex = true;
        COptionsDlg dialog;
        dialog.show();
        QVERIFY(dialog.findChild<QCheckBox *>()->isChecked());
        QTest::mouseClick(flagsOf(dialog).at(1), Qt::LeftButton);
        if (uncheck)
            dialog.findChild<QCheckBox *>()->setChecked(false);
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            if ((button->text() == "Ok") == pressOk)
                QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(dialog.result(), result);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(sandbox::raw("Language"), language);
        QCOMPARE(sandbox::raw("FX in Hexa"), hexa);
        QCOMPARE(fxInHex, !uncheck);
        QCOMPARE(languageIndex, pressOk ? 1 : 0);
    }

    // Ok restarts the window in the new language, Cancel leaves it running.
    void menuOptionsRestarts_data()
    {
        QTest::addColumn<bool>("pressOk");
        QTest::addColumn<int>("windowResult");
        QTest::newRow("Ok ends the window with 1") << true << 1;
        QTest::newRow("Cancel keeps it") << false << 0;
    }
    void menuOptionsRestarts()
    {
        QFETCH(bool, pressOk);
        QFETCH(int, windowResult);
        Vikaro window;
        window.show();
        VikaroProbe probe(window);
        whenModalShows([pressOk](QWidget *modal) {
            auto *dialog = qobject_cast<COptionsDlg *>(modal);
            QVERIFY(dialog);
            QTest::mouseClick(flagsOf(*dialog).at(1), Qt::LeftButton);
            for (QPushButton *button : dialog->findChildren<QPushButton *>())
                if ((button->text() == "Ok") == pressOk)
                    QTest::mousePress(button, Qt::LeftButton);
        });
        QTest::mouseClick(probe.optionsIcon(), Qt::LeftButton);
        QCOMPARE(window.result(), windowResult);
        QCOMPARE(languageIndex, pressOk ? 1 : 0);
    }

    // Ok on the English flag rebuilds the window under the English catalog; the texts that
    // catalog leaves out stay French.
    void englishAfterRestart()
    {
        CData store;
        int pass = 0;
        QString helpTitle, cancelText;
        QStringList aboutTexts;
        runPasses(store, [&](Vikaro &window) {
            VikaroProbe probe(window);
            if (pass++ == 0) {
                whenModalShows([](QWidget *modal) {
                    auto *dialog = qobject_cast<COptionsDlg *>(modal);
                    QTest::mouseClick(flagsOf(*dialog).at(1), Qt::LeftButton);
                    for (QPushButton *button : dialog->findChildren<QPushButton *>())
                        if (button->text() == "Ok")
                            QTest::mousePress(button, Qt::LeftButton);
                });
                QTimer::singleShot(0, &window, [&probe] { QTest::mouseClick(probe.optionsIcon(), Qt::LeftButton); });
                return window.exec();
            }
            probe.menuHelp();
            helpTitle = probe.helpDlg()->windowTitle();
            COptionsDlg options;
            for (QPushButton *button : options.findChildren<QPushButton *>())
                if (button->text() != "Ok")
                    cancelText = button->text();
            CAboutDlg about;
            aboutTexts = labelTexts(about);
            return 0;
        });
        QCOMPARE(pass, 2);
        QCOMPARE(sandbox::raw("Language"), QString("1"));
        QCOMPARE(helpTitle, QString("Keyboard shortcuts used by 'Vikaro':"));
        QCOMPARE(cancelText, QString("Annuler"));
        QVERIFY(!aboutTexts.filter(QString::fromUtf8("Vikaro est un programme réalisé en C++ avec le framework Qt ")).isEmpty());
        QVERIFY(aboutTexts.contains("Vikaro was designed and written by the Atelier Lentara team."));
    }

    void helpRows()
    {
        CHelpDlg dialog;
        QCOMPARE(dialog.pos(), QPoint(0, 0));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(dialog.accessibleName(), QString("CHelpDlg"));
        QCOMPARE(dialog.windowTitle(), QString("Les raccourcis clavier de 'Vikaro':"));
        const QStringList texts = labelTexts(dialog);
        QCOMPARE(texts.size(), 12);
        QCOMPARE(texts.first(), QString::fromUtf8("D/X: Copie le code de la couleur en Décimal/heXa dans le presse-papiers."));
        QVERIFY(texts.contains(QString::fromUtf8("   Le clavier numérique peut aussi servir au positionnement du zoom.")));
        QCOMPARE(texts.last(), QString::fromUtf8("Cette fenêtre peut rester ouverte, afin de tester les actions ci-dessus."));
        QCOMPARE(texts.count(" "), 1);
    }

    void helpOpenedTwiceLeavesOne()
    {
        Vikaro window;
        VikaroProbe probe(window);
        QTest::mouseClick(probe.helpIcon(), Qt::LeftButton);
        QPointer<CHelpDlg> first = probe.helpDlg();
        first->move(300, 300);
        QTest::mouseClick(probe.helpIcon(), Qt::LeftButton);
        QVERIFY(!first);
        QVERIFY(probe.helpDlg()->isVisible());
        QCOMPARE(probe.helpDlg()->pos(), QPoint(0, 0));
        int open = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            open += qobject_cast<CHelpDlg *>(top) && top->isVisible();
        QCOMPARE(open, 1);
    }

    void dialogsGoWithTheWindow()
    {
        QPointer<CHelpDlg> help;
        {
            Vikaro window;
            VikaroProbe probe(window);
            probe.menuHelp();
            help = probe.helpDlg();
            QVERIFY(help);
        }
        QVERIFY(!help);
    }

    void aboutRows()
    {
        CAboutDlg dialog;
        QVERIFY(dialog.minimumWidth() >= 616);
        QCOMPARE(dialog.accessibleName(), QString("CAboutDlg"));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        const QStringList texts = labelTexts(dialog);
        QVERIFY(texts.contains(QString::fromUtf8("Vikaro est un programme réalisé en C++ avec le framework Qt %1.%2.%3")
                                   .arg(QT_VERSION_MAJOR).arg(QT_VERSION_MINOR).arg(QT_VERSION_PATCH)));
        QVERIFY(texts.contains("Vikaro Version 1.0.0.3"));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::mousePress(dialog.findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dialog.result(), 0);
    }

    void version_data()
    {
        QTest::addColumn<int>("packed");
        QTest::addColumn<int>("build");
        QTest::addColumn<QString>("text");
        QTest::newRow("program version") << 1000000 << 3 << "1.0.0.3";
        QTest::newRow("build 105 shows 5") << 1000000 << 105 << "1.0.0.5";
        QTest::newRow("last two digits ignored") << 2030499 << 0 << "2.3.4.0";
        QTest::newRow("major above 99 wraps") << 123000000 << 1 << "23.0.0.1";
    }
    void version()
    {
        QFETCH(int, packed);
        QFETCH(int, build);
        QFETCH(QString, text);
        QCOMPARE(versionText(packed, build), text);
    }
};

VIKARO_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
