#pragma once

// Readies the process, before the application object exists, for the session it runs in:
// - the magnifier works in device pixels, so the toolkit's interface scaling is turned off
//   (a scaled window would report the wrong pixel and blur the picture);
// - on Linux its window runs on an X server, where it can stay above the others and keep its
//   place: in a Wayland session on XWayland when there is one (the screen and the pointer then
//   come from the desktop portals, see desktop/desktop.h).
// Returns false, having said why in one line on standard error, when there is no usable
// display; the caller then exits with a non-zero status.
bool prepareSession();
