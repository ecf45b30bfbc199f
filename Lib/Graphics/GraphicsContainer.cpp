#include "GraphicsContainer.h"

#include "ErrorHandling.h"

#include <QGuiApplication>

namespace {

const TInt KFontPixelSize = 40;

}

GraphicsContainer::GraphicsContainer(QPaintDevice& aBackBuffer)
{
    begin(aBackBuffer);
}

// The surface shares the picture, so a bitmap that turns to a new picture
// cannot pull it from under the painter.
GraphicsContainer::GraphicsContainer(BitmapContainer& aBitmap)
{
    if (aBitmap.size().isEmpty())
        ErrorHandling::raise(EVMError, "GraphicsContainer: invalid bitmap");
    iKeepAlive = aBitmap.sharedPicture();
    begin(iKeepAlive->image());
}

GraphicsContainer::~GraphicsContainer()
{
    end();
}

// Fonts exist only with a window system; without one (tools, tests of the
// machine alone) a surface still draws everything but text.
void GraphicsContainer::begin(QPaintDevice& aTarget)
{
    if (!iPainter.begin(&aTarget))
        return;
    iTarget = &aTarget;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QFont font = iPainter.font();
        font.setPixelSize(KFontPixelSize);
        iPainter.setFont(font);
    }
    iPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    iPainter.setRenderHint(QPainter::Antialiasing, false);
}

// Everything drawn is in the target once the painter ends.
void GraphicsContainer::end()
{
    if (iPainter.isActive())
        iPainter.end();
    iKeepAlive.reset();
    iTarget = nullptr;
}
