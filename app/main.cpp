#include <QApplication>

#include "app/languages.h"
#include "app/platform.h"
#include "app/startup.h"
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
    return 0;
}
