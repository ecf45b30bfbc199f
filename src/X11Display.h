#ifndef KELVO_X11DISPLAY_H
#define KELVO_X11DISPLAY_H

// Xlib's Display, without Xlib's macros.
struct _XDisplay;

namespace X11Display {

// The application's connection to the X server, or nullptr when the window
// system is not X11 (Wayland, the offscreen platform of tests and servers).
_XDisplay* current();

}

#endif
