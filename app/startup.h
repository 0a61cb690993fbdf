#pragma once

#include <functional>
#include <memory>

#include "desktop/desktop.h"

class CData;
class Vikaro;

// The program's identity in the settings store; set before the application object exists.
void setApplicationIdentity();

// The desktop this session calls for (by default), made once the application object exists; a
// portal's restore token is kept in the settings store, beside the preferences.
using DesktopMaker = std::unique_ptr<Desktop> (*)(const QString &restoreToken,
                                                 std::function<void(const QString &)> keepToken);
std::unique_ptr<Desktop> createSessionDesktop(DesktopMaker make = createPlatformDesktop);

// Runs the magnifier on `desktop` until a window ends with 0. Every pass reads "Language" from
// `store`, installs that language's catalog, applies the style sheet, builds a fresh main window
// and hands it to `run` (normally its modal exec()). Any other result starts a new pass; the
// translator of a finished pass is removed before the next one is installed.
void runPasses(CData &store, Desktop &desktop, const std::function<int(Vikaro &)> &run);

// The program from start to end: the session prepared, the application object, the desktop this
// session calls for, then the passes, each window handed to `run`. 1 when the session cannot be
// prepared, else 0. The desktop is made after the application object, so gone before it: a
// portal session closes while its bus is still there.
int runProgram(int &argc, char **argv, const std::function<int(Vikaro &)> &run);
