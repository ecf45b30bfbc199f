#include "DrawTargets.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ErrorHandling.h"
#include "HostMemory.h"
#include "OVector.h"
#include "PixelLimit.h"

#include <QBuffer>
#include <QImageReader>

namespace {

const char KInvalidBitmap[] = "Invalid bitmap handle";
const char KInvalidContainer[] = "Invalid drawing container";
const char KInvalidFont[] = "Invalid font";

// Opens and ends the surfaces of bitmaps for the heap's handle operations.
class BitmapSurfaces final : public MDrawingContainers {
public:
    explicit BitmapSurfaces(VMHeap& aHeap) : iHeap(aHeap) {}

    TUint32 openDrawingContainer(TUint32 aBitmap) override
    {
        if (aBitmap == 0)
            ErrorHandling::raise(EVMError, "GraphicsContainer: invalid bitmap");
        auto* bitmap = dynamic_cast<BitmapContainer*>(iHeap.hostObject(aBitmap));
        if (!bitmap)
            ErrorHandling::raise(EVMError, KInvalidBitmap);
        return iHeap.createHostObject(8, GC_CODE_PLAIN, new GraphicsContainer(*bitmap));
    }

    void finishDrawingContainer(TUint32 aContainer) override { containerOf(iHeap, aContainer).end(); }

    static GraphicsContainer& containerOf(VMHeap& aHeap, TUint32 aContainer)
    {
        auto* container = dynamic_cast<GraphicsContainer*>(aHeap.hostObject(aContainer));
        if (!container)
            ErrorHandling::raise(EVMError, KInvalidContainer);
        return *container;
    }

private:
    VMHeap& iHeap;
};

// One axis of areaWithin: the span from aStart of aExtent, either way,
// cut to [aLow, aHigh).
std::pair<TInt64, TInt64> spanWithin(TInt aStart, TInt aExtent, TInt64 aLow, TInt64 aHigh)
{
    const TInt64 end = TInt64(aStart) + aExtent;
    return {std::max(std::min<TInt64>(aStart, end), aLow), std::min(std::max<TInt64>(aStart, end), aHigh)};
}

// Host objects are made before their heap entry; the heap owns them from
// the entry on, and deletes them itself when the entry cannot be made.
template <typename Object>
TUint32 adopt(VMHeap& aHeap, GcCode aGcCode, std::unique_ptr<Object> aObject)
{
    return aHeap.createHostObject(8, aGcCode, aObject.release());
}

}

namespace DrawTargets {

BitmapContainer* bitmapOf(VMHeap& aHeap, TUint32 aHandle)
{
    const TUint32 bitmap = aHeap.bitmapOf(aHandle);
    if (bitmap == 0)
        return nullptr;
    auto* container = dynamic_cast<BitmapContainer*>(aHeap.hostObject(bitmap));
    if (!container)
        ErrorHandling::raise(EVMError, KInvalidBitmap);
    return container;
}

QPainter* painterOf(VMHeap& aHeap, TUint32 aHandle)
{
    BitmapSurfaces surfaces(aHeap);
    return BitmapSurfaces::containerOf(aHeap, aHeap.drawingContainerOf(aHandle, surfaces)).painter();
}

void endDrawing(VMHeap& aHeap, TUint32 aHandle)
{
    BitmapSurfaces surfaces(aHeap);
    aHeap.releaseDrawingContainer(aHandle, surfaces);
}

TUint32 newBitmapHandle(VMHeap& aHeap, std::unique_ptr<BitmapContainer> aBitmap)
{
    const TUint32 bitmap = aBitmap ? adopt(aHeap, GC_CODE_PLAIN, std::move(aBitmap)) : 0;
    return aHeap.makeHandle(BITMAP_TYPE_ID, 0, bitmap);
}

void replaceBitmap(VMHeap& aHeap, TUint32 aHandle, std::unique_ptr<BitmapContainer> aBitmap)
{
    aHeap.setBitmap(aHandle, aBitmap ? adopt(aHeap, GC_CODE_PLAIN, std::move(aBitmap)) : 0);
}

TUint32 newCanvasHandle(VMHeap& aHeap, QPaintDevice& aBackBuffer, const QRegion& aClip)
{
    auto surface = std::make_unique<GraphicsContainer>(aBackBuffer);
    if (QPainter* painter = surface->painter())
        painter->setClipRegion(aClip, Qt::ReplaceClip);
    const TUint32 container = adopt(aHeap, GC_CODE_PLAIN, std::move(surface));
    return aHeap.makeHandle(CANVAS_TYPE_ID, container, 0);
}

void endCanvas(VMHeap& aHeap, TUint32 aHandle)
{
    BitmapSurfaces surfaces(aHeap);
    BitmapSurfaces::containerOf(aHeap, aHeap.drawingContainerOf(aHandle, surfaces)).end();
}

CAppsFont* fontOf(VMHeap& aHeap, TUint32 aFontValue)
{
    if (aFontValue == 0)
        return nullptr;
    if (!aHeap.isReference(aFontValue))
        ErrorHandling::raise(EVMError, KInvalidFont);
    const TUint32 font = aHeap.arena().word(aFontValue);
    if (font == 0)
        return nullptr;
    auto* result = dynamic_cast<CAppsFont*>(aHeap.hostObject(font));
    if (!result)
        ErrorHandling::raise(EVMError, KInvalidFont);
    return result;
}

TUint32 newFontValue(VMHeap& aHeap, std::unique_ptr<CAppsFont> aFont)
{
    const TUint32 font = adopt(aHeap, GC_CODE_FONT, std::move(aFont));
    const TUint32 cell = aHeap.createArray(1, GC_CODE_REF_CELL);
    aHeap.arena().setWord(cell, font);
    return cell;
}

QRect areaWithin(TInt aX, TInt aY, TInt aWidth, TInt aHeight, const QRect& aBounds)
{
    const auto [left, right] = spanWithin(aX, aWidth, aBounds.x(), TInt64(aBounds.x()) + aBounds.width());
    const auto [top, bottom] = spanWithin(aY, aHeight, aBounds.y(), TInt64(aBounds.y()) + aBounds.height());
    if (left >= right || top >= bottom)
        return QRect();
    return QRect(static_cast<TInt>(left), static_cast<TInt>(top), static_cast<TInt>(right - left),
                 static_cast<TInt>(bottom - top));
}

QByteArray readApplicationFile(FrameworkServices& aServices, const OString& aName)
{
    if (aName.isEmpty())
        ErrorHandling::raise(EInvalidArgument, "Filename is empty");
    std::unique_ptr<VESTRA::InputStream> stream(aServices.openInputStream(aName));
    if (!stream || !stream->isOpen())
        ErrorHandling::raise(EInputOutput, OString("Could not open file: ") + aName);
    const TInt size = stream->size();
    if (size <= 0)
        ErrorHandling::raise(EInvalidArgument, "File is empty");
    if (static_cast<TUint64>(size) > HostMemory::KLimit)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    QByteArray bytes(size, Qt::Uninitialized);
    if (!stream->read(reinterpret_cast<TUint8*>(bytes.data()), size))
        ErrorHandling::raise(EInvalidArgument, "Could not load image");
    return bytes;
}

QByteArray bytesOf(VirtualMachine& aMachine, TUint32 aVectorValue)
{
    OByteVector vector(aMachine.heap(), aMachine.vectorOf(aVectorValue, 1));
    if (vector.count() == 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(vector.elements()), vector.count());
}

QImage decodedPicture(const QByteArray& aBytes)
{
    QByteArray bytes = aBytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(static_cast<int>(PixelLimit::bytes(PixelLimit::KMaxPixels, 1) >> 20));
    const QSize size = reader.size();
    if (size.isValid())
        PixelLimit::check(size.width(), size.height());
    return reader.read();
}

}
