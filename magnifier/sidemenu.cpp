#include "vikaro.h"

#include "app/languages.h"
#include "dialogs/caboutdlg.h"
#include "dialogs/chelpdlg.h"
#include "dialogs/clabel.h"
#include "dialogs/coptionsdlg.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

constexpr int iconSide = 48;

// The options tooltip speaks every language, the user's own first.
QString optionsToolTip(int language)
{
    const QString french = QStringLiteral("Préférences de l'utilisateur...");
    const QString english = QStringLiteral("User preferences...");
    const QString portuguese = QStringLiteral("Zzzzzzzzz...");
    const QString lineBreak = QStringLiteral("<br/>");
    if (language == 0)
        return french + lineBreak + english + lineBreak + portuguese;
    if (language == 2)
        return portuguese + lineBreak + french + lineBreak + english;
    return english + lineBreak + french + lineBreak + portuguese;
}

} // namespace

void Vikaro::buildSideMenu()
{
    optionsIcon = new CLabel(this);
    optionsIcon->setPixmap(QPixmap(resources::optionsIcon));
    optionsIcon->setGeometry(3, 0, iconSide, iconSide);
    optionsIcon->setToolTip(optionsToolTip(languageIndex));
    connect(optionsIcon, &CLabel::clicked, this, &Vikaro::onMenuOptions);

    struct MenuIcon
    {
        CLabel *&label;
        const QString &image;
        int x;
        QString toolTip;
        void (Vikaro::*slot)();
    };
    const MenuIcon icons[] = {
        {helpIcon, resources::helpIcon, 53, tr("Aide, raccourcis clavier..."), &Vikaro::onMenuHelp},
        {aboutIcon, resources::aboutIcon, 99, tr("A propos de Vikaro..."), &Vikaro::onMenuAbout},
        {moreIcon, resources::moreIcon, 156, tr("Montrer les couleurs mémorisées."), &Vikaro::onMenuMore},
        {normalIcon, resources::normalIcon, 156, tr("Cacher les couleurs mémorisées."), &Vikaro::onMenuNormal},
    };
    for (const MenuIcon &icon : icons) {
        icon.label = new CLabel(this);
        icon.label->setupIcon(icon.image, QRect(icon.x, 0, iconSide, iconSide), false, false);
        icon.label->setToolTip(icon.toolTip);
        connect(icon.label, &CLabel::clicked, this, icon.slot);
    }
    moreIcon->setVisible(!showFx);
    normalIcon->setVisible(showFx);
}

void Vikaro::onMenuMore()
{
    moreIcon->hide();
    normalIcon->show();
    showFx = true;
    refreshLayout();
}

void Vikaro::onMenuNormal()
{
    moreIcon->show();
    normalIcon->hide();
    showFx = false;
    refreshLayout();
}

// Any end but Cancel may have changed the language: the start-up loop rebuilds the window.
void Vikaro::onMenuOptions()
{
    delete optionsDlg;
    optionsDlg = new COptionsDlg;
    optionsDlg->updateFlags();
    if (optionsDlg->exec() == COptionsDlg::cancelled)
        return;
    refreshStoredColors();
    CData store;
    languageIndex = validLanguage(store.getInt(prefs::group, prefs::language));
    done(1);
}

void Vikaro::onMenuHelp()
{
    delete helpDlg;
    helpDlg = new CHelpDlg;
    helpDlg->show();
}

void Vikaro::onMenuAbout()
{
    delete aboutDlg;
    aboutDlg = new CAboutDlg;
    aboutDlg->exec();
}
