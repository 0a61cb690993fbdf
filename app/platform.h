#pragma once

// Readies the process, before the application object exists, for the session it runs in:
// - the magnifier works in device pixels, so the toolkit's interface scaling is turned off
//   (a scaled window would report the wrong pixel and blur the picture);
// - on Linux it needs an X server, the only way to read other windows' pixels and move the
//   pointer: in a Wayland session it runs on XWayland when there is one.
// Returns false, having said why in one line on standard error, when there is no usable
// display; the caller then exits with a non-zero status.
bool prepareSession();
