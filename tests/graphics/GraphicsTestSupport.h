#ifndef KELVO_GRAPHICSTESTSUPPORT_H
#define KELVO_GRAPHICSTESTSUPPORT_H

#include <cstring>

#include <QApplication>
#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "HeapEntry.h"
#include "NativeTestSupport.h"
#include "OVector.h"

// Fonts and the window need one application object for the whole program.
inline void ensureGuiApplication()
{
    static int argc = 1;
    static char name[] = "graphics_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

// Calls the graphics natives the way a program does and reads back what
// they leave. Bitmaps are held through variables in the heap, as a
// program's receivers are.
class GraphicsTest : public NativeTest {
protected:
    static constexpr TInt KGraphics = 18;
    static constexpr TInt KBitmap = 19;
    static constexpr TInt KFont = 20;
    static constexpr TInt KSystem = 32;

    static TBool setUpApplication()
    {
        ensureGuiApplication();
        return ETrue;
    }

    TUint32 variable() { return machine.heap().createArray(1, GC_CODE_REF_CELL); }
    TUint32 word(TUint32 aAddress) { return machine.arena().word(aAddress); }

    TUint32 bitmap(TInt aWidth, TInt aHeight, TUint32 aColour)
    {
        const TUint32 receiver = variable();
        pushSlots(receiver, aWidth, aHeight, aColour);
        call(KBitmap, 1);
        return word(receiver);
    }
    TUint32 pixel(TUint32 aBitmap, TInt aX, TInt aY)
    {
        pushSlots(aBitmap, aX, aY);
        call(KBitmap, 7);
        const TUint32 colour = at(0);
        machine.popOperands(1);
        return colour;
    }
    void setPixel(TUint32 aBitmap, TInt aX, TInt aY, TUint32 aColour)
    {
        pushSlots(aBitmap, aX, aY, aColour);
        call(KBitmap, 9);
    }
    QSize sizeOf(TUint32 aBitmap)
    {
        push(aBitmap);
        call(KBitmap, 8);
        const QSize size(intAt(1), intAt(0));
        machine.popOperands(2);
        return size;
    }
    void fill(TUint32 aTarget, TInt aX, TInt aY, TInt aWidth, TInt aHeight, TUint32 aColour)
    {
        pushSlots(aTarget, aX, aY, aWidth, aHeight, aColour);
        call(KGraphics, 4);
    }
    // Error code of a native whose operands are already pushed; on an
    // error the operands are dropped.
    TInt failure(TInt aGroup, TInt aOperation, TInt aOperands)
    {
        const TInt code = raised(aGroup, aOperation);
        if (code != 0)
            machine.popOperands(aOperands);
        return code;
    }
    TUint32 byteVector(const QByteArray& aBytes)
    {
        const TUint32 cell = machine.newVectorValue(1, static_cast<TInt>(aBytes.size()), EFalse);
        if (!aBytes.isEmpty()) {
            OByteVector vector(machine.heap(), word(cell));
            std::memcpy(machine.arena().host(vector.elementAddress(0)), aBytes.constData(),
                        static_cast<std::size_t>(aBytes.size()));
        }
        return cell;
    }
    QByteArray bytesOf(TUint32 aCell)
    {
        OByteVector vector(machine.heap(), word(aCell));
        return vector.count() ? QByteArray(reinterpret_cast<const char*>(vector.elements()), vector.count())
                              : QByteArray();
    }
    static QByteArray encoded(const QImage& aImage, const char* aFormat)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        aImage.save(&buffer, aFormat);
        return bytes;
    }

    TBool applicationReady = setUpApplication();
};

inline constexpr TUint32 KCovered = 0xFF0000FF;   // coverage is the lowest byte

// 20 by 11: markers at columns 5 and 12 cut ' ' (x 1, width 4) and '!'
// (x 5, width 7); column 0 marks an ascent of 8. '!' covers columns 6 to
// 8 of rows 2 to 5.
inline QImage fontImage(TBool aMarkerInColumnOne = EFalse)
{
    QImage image(20, 11, QImage::Format_ARGB32);
    image.fill(0xFF000000);
    for (TInt y = 0; y < 8; ++y)
        image.setPixel(0, y, KCovered);
    for (TInt y = 2; y < 6; ++y) {
        for (TInt x = 6; x < 9; ++x)
            image.setPixel(x, y, KCovered);
    }
    image.setPixel(5, 10, KCovered);
    image.setPixel(12, 10, KCovered);
    if (aMarkerInColumnOne)
        image.setPixel(1, 10, KCovered);
    return image;
}

// Colours that blending may round differently by one step per component.
inline TBool nearColour(TUint32 aActual, TUint32 aExpected)
{
    for (TInt shift = 0; shift < 32; shift += 8) {
        const TInt a = (aActual >> shift) & 0xFF;
        const TInt e = (aExpected >> shift) & 0xFF;
        if (a - e > 2 || e - a > 2)
            return EFalse;
    }
    return ETrue;
}

#endif
