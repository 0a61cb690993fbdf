#include "coptionsdlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/languages.h"
#include "clabel.h"
#include "dialogchrome.h"
#include "magnifier/state.h"
#include "mymessagebox.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

constexpr int flagTop = 5;
constexpr int flagWidth = 54;
constexpr int flagHeight = 42;
constexpr int buttonWidth = 50;
const QSize stripSize(500, 50);

QPushButton *makeButton(const QString &text)
{
    auto *button = new QPushButton(text);
    button->setMaximumWidth(buttonWidth);
    return button;
}

} // namespace

COptionsDlg::COptionsDlg()
    : chosenLanguage(languageIndex)
{
    applyDialogChrome(this, "COptionsDlg", true);
    setWindowTitle(tr("Préférences de l'utilisateur:"));
    setMinimumSize(500, 110);
    setMaximumSize(990, 510);
    auto *firstRow = new QHBoxLayout;
    auto *strip = new QLabel;
    strip->setMinimumSize(stripSize);
    strip->setMaximumSize(stripSize);
    buildFlags(strip);
    firstRow->addWidget(strip);
    hexaCheck = new QCheckBox(tr("Couleurs mémorisées (F1-F10) en Hexadecimal (sinon décimal)"), this);
    hexaCheck->setCheckState(fxInHex ? Qt::Checked : Qt::Unchecked);
    okButton = makeButton(QStringLiteral("Ok"));
    connect(okButton, &QPushButton::pressed, this, &COptionsDlg::onOk);
    cancelButton = makeButton(tr("Cancel", "The text on the Help dialog button, to close it."));
    connect(cancelButton, &QPushButton::pressed, this, &COptionsDlg::onCancel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addStretch();
    auto *layout = new QFormLayout;
    layout->addRow(firstRow);
    layout->addRow(hexaCheck);
    layout->addRow(buttons);
    setLayout(layout);
    updateFlags();
}

COptionsDlg::~COptionsDlg() = default;

void COptionsDlg::buildFlags(QWidget *strip)
{
    struct Flag
    {
        CLabel *&label;
        const QString &image;
        const char *toolTip;
        int x;
        bool dimmed;
        void (COptionsDlg::*slot)();
    };
    const Flag flags[] = {
        {flagFr, resources::flagFrance, "Français", 5, false, &COptionsDlg::onFlagFr},
        {flagUk, resources::flagUk, "English", 65, false, &COptionsDlg::onFlagUk},
        {flagBr, resources::flagBrazil, "Braziou", 125, false, &COptionsDlg::onFlagBr},
        {flagSp, resources::flagSpain, "Echpagnol", 185, true, &COptionsDlg::onFlagSp},
        {flagDe, resources::flagGermany, "Deutsch", 245, true, &COptionsDlg::onFlagDe},
    };
    for (const Flag &flag : flags) {
        flag.label = new CLabel(strip);
        flag.label->setupIcon(flag.image, QRect(flag.x, flagTop, flagWidth, flagHeight), false, flag.dimmed);
        flag.label->setToolTip(QString::fromUtf8(flag.toolTip));
        connect(flag.label, &CLabel::clicked, this, flag.slot);
    }
}

void COptionsDlg::updateFlags()
{
    flagFr->setHighlighted(chosenLanguage == 0);
    flagUk->setHighlighted(chosenLanguage == 1);
    flagBr->setHighlighted(chosenLanguage == 2);
    flagSp->setHighlighted(false);
    flagDe->setHighlighted(false);
}

void COptionsDlg::chooseLanguage(int index)
{
    chosenLanguage = index;
    updateFlags();
}

void COptionsDlg::showNotAvailable()
{
    MyMessageBox box(QMessageBox::Warning, tr("Vikaro info:"), tr("Cette langue n'est pas encore disponible."),
                     QMessageBox::NoButton, this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

void COptionsDlg::onCancel()
{
    done(cancelled);
}

void COptionsDlg::onOk()
{
    fxInHex = hexaCheck->checkState() != Qt::Unchecked;
    CData store;
    languageIndex = chosenLanguage;
    store.setInt(prefs::group, prefs::language, languageIndex);
    store.setInt(prefs::group, prefs::fxInHexa, fxInHex ? 1 : 0);
    done(0);
}

void COptionsDlg::onFlagFr()
{
    chooseLanguage(0);
}

void COptionsDlg::onFlagUk()
{
    chooseLanguage(1);
}

void COptionsDlg::onFlagBr()
{
    chooseLanguage(2);
}

void COptionsDlg::onFlagSp()
{
    showNotAvailable();
}

void COptionsDlg::onFlagDe()
{
    showNotAvailable();
}
