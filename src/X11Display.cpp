#include "X11Display.h"

#include <QGuiApplication>

namespace X11Display {

// Other platforms may answer the X11 interface too, without a display
// behind it, or with one that shows none of our windows.
_XDisplay* current()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

}
