#include "PortraitRequest.h"

#include <QDebug>

#include "X11Display.h"

// Xlib comes last: its macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace PortraitRequest {

void send(TBool aPortrait)
{
    Display* display = X11Display::current();
    if (!display)
        return;
    const Atom request = XInternAtom(display, "_HILDON_PORTRAIT_MODE_REQUEST", True);
    if (request == None)
        return;
    // Format 32 items travel as longs.
    const long value = aPortrait ? 1 : 0;
    if (!XChangeProperty(display, DefaultRootWindow(display), request, XA_CARDINAL, 32, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(&value), 1))
        qDebug("setOrientationToPortrait, change property failed");
    XFlush(display);
}

}
