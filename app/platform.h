#pragma once

// Readies the process for the session it runs in, before the application object exists.
// Returns false, having said why in one line, when no session can give what the magnifier
// needs (another window's pixels and the pointer).
bool prepareSession();
