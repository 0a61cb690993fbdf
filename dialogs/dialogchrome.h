#pragma once

class QDialog;

// What every dialog of the program shares: its class name as accessible name, the program
// icon, no context-help button, a pointing hand over it, and optionally staying on top.
void applyDialogChrome(QDialog *dialog, const char *className, bool staysOnTop);
