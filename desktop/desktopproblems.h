#pragma once

#include <QString>

#include "desktop.h"

// The one home of what the program says about a desktop problem.

// One line for standard error, in English, without the "vikaro: " prefix or line end: what
// is missing and what the user can do.
const char *problemLine(DesktopProblem problem);
// The same for the message box, in the interface language (translation context "Vikaro").
QString problemText(DesktopProblem problem);
