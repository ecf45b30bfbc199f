#ifndef KELVO_DRAWTARGETS_H
#define KELVO_DRAWTARGETS_H

// The project's headers come before Qt's (see OString.h).
#include "BitmapContainer.h"
#include "CAppsFont.h"
#include "GraphicsContainer.h"
#include "OString.h"
#include "VirtualMachine.h"

#include <memory>

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRegion>

// What the bitmap, graphics, font and screen natives and the paint handler
// share: the host objects behind handles and font cells, new handles, and
// reading pictures from the application's files and bytes. Every object is
// looked up through the heap's table and checked for its class, so a
// forged or stale word raises a VM error instead of reaching a wrong object.
namespace DrawTargets {

// The bitmap of a bitmap handle, nullptr for an empty bitmap.
BitmapContainer* bitmapOf(VMHeap& aHeap, TUint32 aHandle);
// The open surface of a canvas or bitmap handle (made for a bitmap at its
// first use), or nullptr when its drawing has ended.
QPainter* painterOf(VMHeap& aHeap, TUint32 aHandle);
// Ends any drawing into the bitmap of a bitmap handle.
void endDrawing(VMHeap& aHeap, TUint32 aHandle);
// A new bitmap handle; a null aBitmap makes an empty bitmap.
TUint32 newBitmapHandle(VMHeap& aHeap, std::unique_ptr<BitmapContainer> aBitmap);
// Replaces the bitmap of a handle.
void replaceBitmap(VMHeap& aHeap, TUint32 aHandle, std::unique_ptr<BitmapContainer> aBitmap);

// A canvas handle on aBackBuffer, clipped to aClip.
TUint32 newCanvasHandle(VMHeap& aHeap, QPaintDevice& aBackBuffer, const QRegion& aClip);
// Ends the drawing of a canvas handle, so that a handle the application
// kept draws nothing once its paint is over.
void endCanvas(VMHeap& aHeap, TUint32 aHandle);

// The font of a font value (a cell), nullptr for a null value or cell.
CAppsFont* fontOf(VMHeap& aHeap, TUint32 aFontValue);
// A new font value holding aFont.
TUint32 newFontValue(VMHeap& aHeap, std::unique_ptr<CAppsFont> aFont);

// The part of the area at (aX, aY) of aWidth by aHeight that lies within
// aBounds, worked out in 64 bits so that no far edge overflows; empty when
// none of it does. A negative extent reaches back from its corner, as Qt
// takes it.
QRect areaWithin(TInt aX, TInt aY, TInt aWidth, TInt aHeight, const QRect& aBounds);

// The whole content of an application file, through the host's file
// services so that the path stays below the application directory.
QByteArray readApplicationFile(FrameworkServices& aServices, const OString& aName);
// The bytes of a byte vector value.
QByteArray bytesOf(VirtualMachine& aMachine, TUint32 aVectorValue);
// A picture decoded from aBytes, its format told by the content; null when
// the bytes are no picture. A picture past the pixel limit raises code 10
// before it is decoded.
QImage decodedPicture(const QByteArray& aBytes);

}

#endif
