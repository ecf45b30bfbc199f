// The drawing-container operations of canvas and bitmap handles. Every
// handle is checked to be a draw-target record first, so a stale or forged
// word never makes the heap act on another kind of object.

#include "VMHeap.h"

#include "ErrorHandling.h"

using namespace HeapEntry;

namespace {

const char KInvalidObjectType[] = "Invalid object type ID";
const char KInvalidBitmapHandle[] = "Invalid bitmap handle";

}

TUint32 VMHeap::drawingContainerOf(TUint32 aHandle, MDrawingContainers& aContainers)
{
    const TUint32 header = checkedHeader(aHandle);
    const TUint32 typeId = iArena.word(aHandle);
    if (field(header, KGcCode) != GC_CODE_DRAW_TARGET || (typeId != CANVAS_TYPE_ID && typeId != BITMAP_TYPE_ID))
        ErrorHandling::raise(EVMError, KInvalidObjectType);
    if (typeId == BITMAP_TYPE_ID && iArena.word(aHandle + 4) == 0)
        iArena.setWord(aHandle + 4, aContainers.openDrawingContainer(iArena.word(aHandle + 8)));
    return iArena.word(aHandle + 4);
}

void VMHeap::releaseDrawingContainer(TUint32 aHandle, MDrawingContainers& aContainers)
{
    const TUint32 header = checkedHeader(aHandle);
    if (field(header, KGcCode) != GC_CODE_DRAW_TARGET || iArena.word(aHandle) != BITMAP_TYPE_ID)
        ErrorHandling::raise(EVMError, KInvalidBitmapHandle);
    const TUint32 container = iArena.word(aHandle + 4);
    if (container == 0)
        return;
    iArena.setWord(aHandle + 4, 0);
    aContainers.finishDrawingContainer(container);
}
