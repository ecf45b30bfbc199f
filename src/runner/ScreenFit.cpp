#include "ScreenFit.h"

#include <algorithm>

// An empty window or screen leaves the scale at 1 rather than dividing by
// zero; nothing is visible then anyway.
ScreenFit ScreenFit::of(const QSize& aWindow, const QSize& aScreen)
{
    ScreenFit fit;
    if (aWindow.isEmpty() || aScreen.isEmpty())
        return fit;
    fit.scale = std::min(double(aWindow.width()) / aScreen.width(), double(aWindow.height()) / aScreen.height());
    fit.offset = QPointF((aWindow.width() - aScreen.width() * fit.scale) / 2,
                         (aWindow.height() - aScreen.height() * fit.scale) / 2);
    return fit;
}

QTransform ScreenFit::toWindow() const
{
    return QTransform(scale, 0, 0, scale, offset.x(), offset.y());
}
