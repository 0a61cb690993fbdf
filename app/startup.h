#pragma once

#include <functional>

class CData;
class Vikaro;

// The program's identity in the settings store; set before the application object exists.
void setApplicationIdentity();

// Runs the magnifier until a window ends with 0. Every pass reads "Language" from `store`,
// installs that language's catalog, applies the style sheet, builds a fresh main window and
// hands it to `run` (normally its modal exec()). Any other result starts a new pass; the
// translator of a finished pass is removed before the next one is installed.
void runPasses(CData &store, const std::function<int(Vikaro &)> &run);
