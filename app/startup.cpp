#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QTranslator>

#include "languages.h"
#include "platform.h"
#include "desktop/desktop.h"
#include "magnifier/vikaro.h"
#include "resources/resourcepaths.h"
#include "settings/cdata.h"
#include "settings/preferences.h"

namespace {

void installCatalog(QTranslator &translator)
{
    const QString &code = languageCodes[std::size_t(languageIndex)];
    if (languageIndex == 0) {
        qDebug() << "=== Langue = " << code;
        return;
    }
    const bool loaded = translator.load(resources::catalogPrefix + code);
    const bool installed = QCoreApplication::installTranslator(&translator);
    qDebug() << "=== Langue = " << code << "  installed ok1=" << loaded << "  ok2=" << installed;
}

// A style sheet that cannot be read leaves the one of an earlier pass in force.
void applyStyleSheet(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    qApp->setStyleSheet(QString::fromLatin1(bytes.constData(), int(qstrnlen(bytes.constData(), uint(bytes.size())))));
    file.close();
}

} // namespace

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Morvelle"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("morvelle.example"));
    QCoreApplication::setApplicationName(QStringLiteral("Vikaro"));
}

// The portal's restore token serves once: the one offered is spent, whether or not a new one came.
std::unique_ptr<Desktop> createSessionDesktop(DesktopMaker make)
{
    const QString token = CData().getString(prefs::portalGroup, prefs::restoreToken);
    return make(token, [](const QString &next) {
        CData store;
        if (!next.isEmpty())
            store.setString(prefs::portalGroup, prefs::restoreToken, next);
        else if (!store.getString(prefs::portalGroup, prefs::restoreToken).isEmpty())
            store.removeKey(prefs::portalGroup, prefs::restoreToken);
    });
}

void runPasses(CData &store, Desktop &desktop, const std::function<int(Vikaro &)> &run)
{
    for (;;) {
        languageIndex = validLanguage(store.getInt(prefs::group, prefs::language));
        QTranslator translator;
        installCatalog(translator);
        QFile styleFile(resources::styleSheet);
        applyStyleSheet(styleFile);
        Vikaro window(desktop);
        if (run(window) == 0)
            return;
        QCoreApplication::removeTranslator(&translator);
    }
}

int runProgram(int &argc, char **argv, const std::function<int(Vikaro &)> &run)
{
    if (!prepareSession())
        return 1;
    setApplicationIdentity();
    QApplication app(argc, argv);
    appInstance = &app;
    const std::unique_ptr<Desktop> desktop = createSessionDesktop();
    CData store;
    runPasses(store, *desktop, run);
    return 0;
}
