// The paint and resize handlers: the application draws into the back
// buffer through a canvas handle, and the back buffer is then shown.

#include "MainView.h"

#include "DrawTargets.h"
#include "EventCall.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

const TInt KPortrait = 1;

}

// Every paint lets the application draw the region afresh; before the
// machine exists there is nothing to show.
void MainView::paintEvent(QPaintEvent* aEvent)
{
    if (!iMachine)
        return;
    if (iBackBuffer.isNull())
        replaceBackBuffer(size());
    drawApplication(aEvent->region());
    QPainter painter(this);
    painter.setClipRegion(aEvent->region());
    if (isRotated()) {
        painter.translate(0, height());
        painter.rotate(-90);
    }
    painter.drawPixmap(0, 0, iBackBuffer);
}

// Upright, the back buffer is the whole picture: the application draws
// into it and it is returned as it stands, without a second screenful
// painted from it. Turned, and before the machine exists, the window
// paints itself as it would on the screen.
QPixmap MainView::picture()
{
    if (!iMachine || isRotated())
        return grab();
    if (iBackBuffer.isNull())
        replaceBackBuffer(size());
    drawApplication(QRegion(rect()));
    return iBackBuffer;
}

// The canvas is rooted for the length of the call and its drawing ended
// after it: a canvas the application keeps must not go on painting into a
// back buffer that the next paint or a resize replaces. A canvas record
// that the application broke has nothing left to end. Once the host has
// halted the application no canvas is made, and the window shows the last
// picture: there is then nothing to end and no root to remove.
void MainView::drawApplication(const QRegion& aClip)
{
    VMHeap& heap = iMachine->heap();
    TUint32 canvas = 0;
    EventCall::run([&] {
        canvas = DrawTargets::newCanvasHandle(heap, iBackBuffer, aClip);
        heap.addRoot(canvas);
        return iMachine->drawEvent(canvas);
    });
    if (canvas == 0)
        return;
    try {
        ErrorHandling::PreservedError preserved;
        DrawTargets::endCanvas(heap, canvas);
    } catch (const ErrorHandlingException&) {
    }
    heap.removeRoot(canvas);
}

// In portrait a window in landscape shape keeps the picture, which is
// shown turned; any other shape gets a new back buffer of its size, made
// by the next paint: an application that ends before it ever paints (as
// one that only computes does) is spared a screenful of memory to clear.
void MainView::resizeEvent(QResizeEvent* aEvent)
{
    MainViewBase::resizeEvent(aEvent);
    const QSize size = aEvent->size();
    if (iOrientation == KPortrait && size.height() <= size.width() && !iBackBuffer.isNull())
        return;
    iBackBuffer = QPixmap();
}

// Until the application draws, the window shows black rather than whatever
// the new pixmap happened to hold.
void MainView::replaceBackBuffer(const QSize& aSize)
{
    iBackBuffer = QPixmap(aSize);
    iBackBuffer.fill(Qt::black);
}
