// Graphics natives (group 18): drawing on the canvas of a paint or into a
// bitmap. A null target or bitmap draws nothing, as does a surface whose
// drawing has ended. Qt keeps device positions in int (and rounds to it),
// so a shape is cut to the target, in 64-bit or double arithmetic, before
// the painter sees it: far coordinates then neither overflow nor move or
// turn what is drawn. Everything outside the target is clipped.

#include "VirtualMachine.h"

#include <algorithm>
#include <optional>

#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "RangeCheck.h"

#include <QtGlobal>

namespace {

const TUint32 KOpaque = 255;
// Room left around the target when a line is cut, so that the pixels at
// the target's edges come out as for the whole line.
const double KLineMargin = 256;
// A canvas is cleared over the largest area a 16-bit device could have.
const TInt KClearExtent = 32767;
const double KHalfTurnRadians = 3.141;

// The target's pixels; the natives' painters carry no transformation.
QRect targetArea(const QPainter& aPainter)
{
    return QRect(0, 0, aPainter.device()->width(), aPainter.device()->height());
}

// The part of the line from (aX1, aY1) to (aX2, aY2) near the target, cut
// along the line itself (Liang and Barsky) so that it keeps its direction;
// none when the line passes the target by.
std::optional<QLineF> lineNearTarget(const QPainter& aPainter, TInt aX1, TInt aY1, TInt aX2, TInt aY2)
{
    const QRectF around = QRectF(targetArea(aPainter)).adjusted(-KLineMargin, -KLineMargin, KLineMargin, KLineMargin);
    const double dx = double(aX2) - aX1;
    const double dy = double(aY2) - aY1;
    // Per edge of the area: how fast the line nears it, and how far off it
    // the start lies.
    const double approach[] = {-dx, dx, -dy, dy};
    const double room[] = {aX1 - around.left(), around.right() - aX1, aY1 - around.top(), around.bottom() - aY1};
    double enter = 0;
    double leave = 1;
    for (TInt edge = 0; edge < 4; ++edge) {
        if (approach[edge] == 0) {
            if (room[edge] < 0)
                return std::nullopt;
        } else if (approach[edge] < 0) {
            enter = std::max(enter, room[edge] / approach[edge]);
        } else {
            leave = std::min(leave, room[edge] / approach[edge]);
        }
    }
    if (enter > leave)
        return std::nullopt;
    return QLineF(aX1 + enter * dx, aY1 + enter * dy, aX1 + leave * dx, aY1 + leave * dy);
}

// One axis of a bitmap area drawn at aPosition, cut as Qt cuts it: an
// extent of 0 or less reaches to the bitmap's edge, and the part before
// the bitmap's start moves the position on by as much. False when nothing
// lands on the target's aTargetExtent pixels.
TBool cutToBitmapAndTarget(TInt64& aPosition, TInt64& aStart, TInt64& aExtent, TInt aBitmapExtent,
                           TInt aTargetExtent)
{
    if (aExtent <= 0)
        aExtent = aBitmapExtent - aStart;
    if (aStart < 0) {
        aPosition -= aStart;
        aExtent += aStart;
        aStart = 0;
    }
    aExtent = std::min<TInt64>(aExtent, aBitmapExtent - aStart);
    return aExtent > 0 && aPosition < aTargetExtent && aPosition + aExtent > 0;
}

// Draws the area of aPicture at (aSourceX, aSourceY) of aWidth by aHeight
// with its corner at (aX, aY). Only what lands on the target reaches Qt,
// so the numbers it gets are no larger than the target and the bitmap.
void drawPictureArea(QPainter& aPainter, const QImage& aPicture, TInt aX, TInt aY, TInt aSourceX, TInt aSourceY,
                     TInt aWidth, TInt aHeight)
{
    TInt64 x = aX;
    TInt64 y = aY;
    TInt64 sourceX = aSourceX;
    TInt64 sourceY = aSourceY;
    TInt64 width = aWidth;
    TInt64 height = aHeight;
    const QRect target = targetArea(aPainter);
    if (cutToBitmapAndTarget(x, sourceX, width, aPicture.width(), target.width())
        && cutToBitmapAndTarget(y, sourceY, height, aPicture.height(), target.height()))
        aPainter.drawImage(QPoint(static_cast<TInt>(x), static_cast<TInt>(y)), aPicture,
                           QRect(static_cast<TInt>(sourceX), static_cast<TInt>(sourceY), static_cast<TInt>(width),
                                 static_cast<TInt>(height)));
}

// Where the tiling's bitmap starts before aStart along one axis, reduced
// to one bitmap's extent so that a far offset keeps the phase.
TInt tilePhase(TInt64 aStart, TInt aBitmapExtent)
{
    const TInt64 phase = aStart % aBitmapExtent;
    return static_cast<TInt>(phase < 0 ? phase + aBitmapExtent : phase);
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
            drawPictureArea(*painter, *picture, aMachine.intOperand(2), aMachine.intOperand(1), 0, 0, picture->width(),
                            picture->height());
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
        font->draw(*painter, *text, first, count, aMachine.intOperand(3), aMachine.intOperand(2), aMachine.operand(1));
    aMachine.popOperands(operands);
}

// target, x, y, width, height, colour.
void fillRectangle(VirtualMachine& aMachine, TInt)
{
    if (QPainter* painter = targetOperand(aMachine, 5)) {
        const QRect area = DrawTargets::areaWithin(aMachine.intOperand(4), aMachine.intOperand(3),
                                                   aMachine.intOperand(2), aMachine.intOperand(1), targetArea(*painter));
        if (!area.isEmpty())
            painter->fillRect(area, colourOf(aMachine.operand(0)));
    }
    aMachine.popOperands(6);
}

// target, x1, y1, x2, y2, colour. The pen stays set.
void drawLine(VirtualMachine& aMachine, TInt)
{
    if (QPainter* painter = targetOperand(aMachine, 5)) {
        painter->setPen(QPen(colourOf(aMachine.operand(0)), 0));
        if (const std::optional<QLineF> line = lineNearTarget(*painter, aMachine.intOperand(4), aMachine.intOperand(3),
                                                              aMachine.intOperand(2), aMachine.intOperand(1)))
            painter->drawLine(*line);
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
        const TInt x = aMachine.intOperand(6);
        const TInt y = aMachine.intOperand(5);
        const QRect area =
            DrawTargets::areaWithin(x, y, aMachine.intOperand(4), aMachine.intOperand(3), targetArea(*painter));
        if (!area.isEmpty()) {
            painter->save();
            painter->setBrushOrigin(tilePhase(TInt64(x) - aMachine.intOperand(2), picture->width()),
                                    tilePhase(TInt64(y) - aMachine.intOperand(1), picture->height()));
            painter->fillRect(area, QBrush(*picture));
            painter->restore();
        }
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
        drawPictureArea(*painter, *picture, aMachine.intOperand(6), aMachine.intOperand(5), aMachine.intOperand(4),
                        aMachine.intOperand(3), aMachine.intOperand(2), aMachine.intOperand(1));
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
// radians and turns counter-clockwise on the screen. A bitmap that lands
// wholly off the target is not given to Qt, whose rounding to int could
// not take where it lands.
void drawRotatedScaled(VirtualMachine& aMachine, TInt)
{
    const QImage* picture = aMachine.operand(9) ? pictureOperand(aMachine, 9, EFalse) : nullptr;
    QPainter* painter = targetOperand(aMachine, 10);
    if (aMachine.operand(9) && !picture)
        qWarning("Null BitmapContainer");
    if (picture && painter) {
        painter->save();
        applyAlpha(*painter, aMachine.intOperand(0));
        painter->translate(aMachine.intOperand(8), aMachine.intOperand(7));
        painter->rotate(-(fromFixed(aMachine.fixedOperand(5)) * 180.0 / KHalfTurnRadians));
        painter->scale(fromFixed(aMachine.fixedOperand(3)), fromFixed(aMachine.fixedOperand(1)));
        painter->translate(-(picture->width() / 2), -(picture->height() / 2));
        const QRectF landing = painter->worldTransform().mapRect(QRectF(picture->rect()));
        const QRect target = targetArea(*painter);
        if (landing.right() >= 0 && landing.bottom() >= 0 && landing.left() <= target.width()
            && landing.top() <= target.height())
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
