// Graphics natives (group 18): drawing on the canvas of a paint or into a
// bitmap. A null target or bitmap draws nothing, as does a surface whose
// drawing has ended. Coordinates are clamped to a range that the painter
// handles exactly; everything outside the target is clipped.

#include "VirtualMachine.h"

#include <algorithm>

#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "RangeCheck.h"

#include <QtGlobal>

namespace {

const TUint32 KOpaque = 255;
const TInt64 KCoordinateLimit = TInt64(1) << 24;
// A canvas is cleared over the largest area a 16-bit device could have.
const TInt KClearExtent = 32767;
const double KHalfTurnRadians = 3.141;

// Coordinates far outside any target are clipped anyway; clamping them
// keeps every sum in range.
TInt clamped(TInt64 aValue)
{
    return static_cast<TInt>(std::clamp(aValue, -KCoordinateLimit, KCoordinateLimit));
}

// The rectangle from (aX, aY) of aWidth by aHeight, its corners clamped so
// that no sum overflows.
QRect clampedRect(TInt aX, TInt aY, TInt aWidth, TInt aHeight)
{
    const TInt left = clamped(aX);
    const TInt top = clamped(aY);
    return QRect(left, top, clamped(TInt64(aX) + aWidth) - left, clamped(TInt64(aY) + aHeight) - top);
}

// The painter of a target operand; nullptr draws nothing.
QPainter* targetOperand(VirtualMachine& aMachine, TInt aDepth)
{
    const TUint32 handle = aMachine.operand(aDepth);
    return handle ? DrawTargets::painterOf(aMachine.heap(), handle) : nullptr;
}

// The picture of a bitmap operand; codes 1 and 6 end the drawing into it
// first. Null for a null handle or an empty bitmap.
const QImage* pictureOperand(VirtualMachine& aMachine, TInt aDepth, TBool aEndDrawing)
{
    const TUint32 handle = aMachine.operand(aDepth);
    if (handle == 0)
        return nullptr;
    if (aEndDrawing)
        DrawTargets::endDrawing(aMachine.heap(), handle);
    BitmapContainer* bitmap = DrawTargets::bitmapOf(aMachine.heap(), handle);
    return bitmap ? &bitmap->picture() : nullptr;
}

// 255 leaves the opacity alone; anything else sets it, limited to 0..1.
void applyAlpha(QPainter& aPainter, TInt aAlpha)
{
    if (static_cast<TUint32>(aAlpha) != KOpaque)
        aPainter.setOpacity(aAlpha / 255.0);
}

// target, bitmap, x, y, alpha.
void drawBitmap(VirtualMachine& aMachine, TInt)
{
    if (aMachine.operand(4) != aMachine.operand(3)) {
        const QImage* picture = pictureOperand(aMachine, 3, ETrue);
        QPainter* painter = targetOperand(aMachine, 4);
        if (picture && painter) {
            painter->save();
            applyAlpha(*painter, aMachine.intOperand(0));
            painter->drawImage(QPoint(clamped(aMachine.intOperand(2)), clamped(aMachine.intOperand(1))), *picture);
            painter->restore();
        }
    }
    aMachine.popOperands(5);
}

// Codes 2 and 3: target, string, [first, count,] x, y, colour, font.
void drawString(VirtualMachine& aMachine, TInt aOperation)
{
    const TInt operands = aOperation == 2 ? 6 : 8;
    const OString* text = aMachine.operand(operands - 2) ? &aMachine.stringOf(aMachine.operand(operands - 2)) : nullptr;
    const TInt length = text ? text->length() : 0;
    TInt first = 0;
    TInt count = length;
    if (aOperation == 3) {
        first = aMachine.intOperand(5);
        count = aMachine.intOperand(4);
        checkRange(0, length, first, count);
    }
    QPainter* painter = targetOperand(aMachine, operands - 1);
    CAppsFont* font = DrawTargets::fontOf(aMachine.heap(), aMachine.operand(0));
    if (painter && font && text && count > 0)
        font->draw(*painter, *text, first, count, clamped(aMachine.intOperand(3)), clamped(aMachine.intOperand(2)),
                   aMachine.operand(1));
    aMachine.popOperands(operands);
}

// target, x, y, width, height, colour.
void fillRectangle(VirtualMachine& aMachine, TInt)
{
    if (QPainter* painter = targetOperand(aMachine, 5))
        painter->fillRect(clampedRect(aMachine.intOperand(4), aMachine.intOperand(3), aMachine.intOperand(2),
                                      aMachine.intOperand(1)),
                          colourOf(aMachine.operand(0)));
    aMachine.popOperands(6);
}

// target, x1, y1, x2, y2, colour. The pen stays set.
void drawLine(VirtualMachine& aMachine, TInt)
{
    if (QPainter* painter = targetOperand(aMachine, 5)) {
        painter->setPen(QPen(colourOf(aMachine.operand(0)), 0));
        painter->drawLine(clamped(aMachine.intOperand(4)), clamped(aMachine.intOperand(3)),
                          clamped(aMachine.intOperand(2)), clamped(aMachine.intOperand(1)));
    }
    aMachine.popOperands(6);
}

// target, bitmap, x, y, width, height, offset x, offset y, alpha. The
// bitmap point at the offset lands on the rectangle's corner; alpha is not
// used.
void tileBitmap(VirtualMachine& aMachine, TInt)
{
    const QImage* picture = aMachine.operand(7) ? pictureOperand(aMachine, 7, ETrue) : nullptr;
    QPainter* painter = targetOperand(aMachine, 8);
    if (aMachine.operand(7) && !picture)
        qWarning("Null BitmapContainer");
    if (picture && painter) {
        const QRect area = clampedRect(aMachine.intOperand(6), aMachine.intOperand(5), aMachine.intOperand(4),
                                       aMachine.intOperand(3));
        painter->save();
        painter->setBrushOrigin(clamped(TInt64(area.x()) - aMachine.intOperand(2)),
                                clamped(TInt64(area.y()) - aMachine.intOperand(1)));
        painter->fillRect(area, QBrush(*picture));
        painter->restore();
    }
    aMachine.popOperands(9);
}

// target, bitmap, x, y, source x, source y, source width, source height,
// alpha.
void drawArea(VirtualMachine& aMachine, TInt)
{
    const QImage* picture = aMachine.operand(7) ? pictureOperand(aMachine, 7, EFalse) : nullptr;
    QPainter* painter = targetOperand(aMachine, 8);
    if (aMachine.operand(7) && !picture)
        qWarning("Null BitmapContainer");
    if (picture && painter) {
        painter->save();
        applyAlpha(*painter, aMachine.intOperand(0));
        painter->drawImage(QPoint(clamped(aMachine.intOperand(6)), clamped(aMachine.intOperand(5))), *picture,
                           clampedRect(aMachine.intOperand(4), aMachine.intOperand(3), aMachine.intOperand(2),
                                       aMachine.intOperand(1)));
        painter->restore();
    }
    aMachine.popOperands(9);
}

// target, colour. A bitmap takes the colour as it is, alpha included; the
// canvas blends it.
void clear(VirtualMachine& aMachine, TInt)
{
    const TUint32 handle = aMachine.operand(1);
    const TUint32 colour = aMachine.operand(0);
    VMHeap& heap = aMachine.heap();
    if (handle != 0 && heap.isReference(handle) && heap.arena().word(handle) == BITMAP_TYPE_ID) {
        DrawTargets::endDrawing(heap, handle);
        if (BitmapContainer* bitmap = DrawTargets::bitmapOf(heap, handle))
            bitmap->fill(colour);
    } else if (QPainter* painter = targetOperand(aMachine, 1)) {
        painter->fillRect(QRect(0, 0, KClearExtent + 1, KClearExtent + 1), colourOf(colour));
    }
    aMachine.popOperands(2);
}

// Five operands that nothing uses.
void noOperation(VirtualMachine& aMachine, TInt)
{
    aMachine.popOperands(5);
}

// Angles and scales come as fixed point with 32 fraction bits.
double fromFixed(TInt64 aValue)
{
    return static_cast<double>(aValue) / 4294967296.0;
}

// target, bitmap, x, y, angle, scale x, scale y (fixed point, two slots
// each), alpha: the bitmap's centre lands on (x, y). The angle is in
// radians and turns counter-clockwise on the screen.
void drawRotatedScaled(VirtualMachine& aMachine, TInt)
{
    const QImage* picture = aMachine.operand(9) ? pictureOperand(aMachine, 9, EFalse) : nullptr;
    QPainter* painter = targetOperand(aMachine, 10);
    if (aMachine.operand(9) && !picture)
        qWarning("Null BitmapContainer");
    if (picture && painter) {
        painter->save();
        applyAlpha(*painter, aMachine.intOperand(0));
        painter->translate(clamped(aMachine.intOperand(8)), clamped(aMachine.intOperand(7)));
        painter->rotate(-(fromFixed(aMachine.fixedOperand(5)) * 180.0 / KHalfTurnRadians));
        painter->scale(fromFixed(aMachine.fixedOperand(3)), fromFixed(aMachine.fixedOperand(1)));
        painter->translate(-(picture->width() / 2), -(picture->height() / 2));
        painter->drawImage(QPoint(0, 0), *picture);
        painter->restore();
    }
    aMachine.popOperands(11);
}

const NativeOperation KOperations[] = {
    {1, "drawBitmap", drawBitmap},
    {2, "drawString", drawString},
    {3, "drawStringRange", drawString},
    {4, "fillRectangle", fillRectangle},
    {5, "drawLine", drawLine},
    {6, "tileBitmap", tileBitmap},
    {7, "drawArea", drawArea},
    {8, "clear", clear},
    {9, "noOperation", noOperation},
    {10, "drawRotatedScaled", drawRotatedScaled},
};

}

extern const NativeFamily KGraphicsFamily{"Graphics", "Graphics:", KOperations};
