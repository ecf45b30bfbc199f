// The project's headers come before Qt's (see OString.h).
#include "MainView.h"
#include "X11Display.h"

#include "QtClientApplication.h"

// Xlib and xcb come last: their macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {

const char KCurrentAppWindow[] = "_MB_CURRENT_APP_WINDOW";
// A current window of this value counts as ours, whatever Qt thinks of the
// window's activation.
const TUint32 KAnyWindow = 0xFFFFFFFF;

// Interned once for the process and kept.
Atom currentAppWindowAtom(Display* aDisplay)
{
    static const Atom atom = XInternAtom(aDisplay, KCurrentAppWindow, False);
    return atom;
}

// Property changes of the root window reach a client only if it asked for
// them; what else Qt asked for is kept.
void watchRootProperties(Display* aDisplay)
{
    const Window root = DefaultRootWindow(aDisplay);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(aDisplay, root, &attributes))
        return;
    XSelectInput(aDisplay, root, attributes.your_event_mask | PropertyChangeMask);
    XFlush(aDisplay);
}

}

QtClientApplication::QtClientApplication(int& aArgc, char** aArgv)
    : QApplication(aArgc, aArgv)
{
    Display* display = X11Display::current();
    if (!display)
        return;
    currentAppWindowAtom(display);
    watchRootProperties(display);
    installNativeEventFilter(this);
}

bool QtClientApplication::nativeEventFilter(const QByteArray& aEventType, void* aMessage, qintptr*)
{
    if (!iView || aEventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(aMessage);
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = static_cast<const xcb_property_notify_event_t*>(aMessage);
    Display* display = X11Display::current();
    if (change->window == DefaultRootWindow(display) && change->atom == currentAppWindowAtom(display)
        && change->state == XCB_PROPERTY_NEW_VALUE)
        checkActiveWindow();
    return false;
}

// A value that cannot be read leaves the view as it was.
void QtClientApplication::checkActiveWindow()
{
    Display* display = X11Display::current();
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), currentAppWindowAtom(display), 0,
                                          0x7fffffff, False, XA_WINDOW, &type, &format, &items, &remaining, &data);
    if (status == Success && type == XA_WINDOW && format == 32 && items >= 1 && data) {
        // Format 32 items arrive as longs, sign-extended where longs are
        // wider: only the low 32 bits are the window id.
        const TUint32 window = static_cast<TUint32>(reinterpret_cast<const unsigned long*>(data)[0]);
        iView->setWindowActive(window == KAnyWindow || iView->isActiveWindow());
    }
    if (data)
        XFree(data);
}
