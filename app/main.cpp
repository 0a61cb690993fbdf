#include <QApplication>

#include "app/languages.h"
#include "app/platform.h"
#include "app/startup.h"
#include "desktop/desktop.h"
#include "magnifier/vikaro.h"
#include "settings/cdata.h"

int main(int argc, char *argv[])
{
    if (!prepareSession())
        return 1;
    setApplicationIdentity();
    QApplication app(argc, argv);
    appInstance = &app;
    // Made after the application object, so gone before it: a portal session closes while its
    // bus is still there.
    const std::unique_ptr<Desktop> desktop = createSessionDesktop();
    CData store;
    runPasses(store, *desktop, [](Vikaro &window) { return window.exec(); });
    return 0;
}
