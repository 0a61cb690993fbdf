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
    {
        CData store;
        runPasses(store, [](Vikaro &window) { return window.exec(); });
    }
    // Before the application object: a portal session closes while its bus is still there.
    setDesktop(nullptr);
    return 0;
}
