// Bitmap natives (group 19). Every operation first ends any drawing into
// the bitmaps it is given, so a picture is never read while a surface
// still draws into it. A receiver is the address of the application's
// bitmap variable; it gets the new handle only once everything succeeded.

#include "VirtualMachine.h"

#include <cstring>

#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "OVector.h"
#include "PixelLimit.h"
#include "RangeCheck.h"

#include <QBuffer>

namespace {

const TUint32 KOpaqueBlack = 0xFF000000;
const char* const KFormats[] = {"jpg", "png", "gif", "bmp"};

// Numbers as the bounds messages list them.
OString joined(std::initializer_list<TInt> aNumbers)
{
    OString text;
    for (TInt number : aNumbers) {
        if (!text.isEmpty())
            text = text + OString(", ");
        text = text + OString(number);
    }
    return text;
}

// The bitmap of a handle operand after its drawing has ended.
BitmapContainer* bitmapOperand(VirtualMachine& aMachine, TInt aDepth)
{
    const TUint32 handle = aMachine.referenceOperand(aDepth);
    DrawTargets::endDrawing(aMachine.heap(), handle);
    return DrawTargets::bitmapOf(aMachine.heap(), handle);
}

// A new bitmap of the given size filled with aColour; null for an empty one.
std::unique_ptr<BitmapContainer> filledBitmap(TInt aWidth, TInt aHeight, TUint32 aColour)
{
    if (aWidth == 0 || aHeight == 0)
        return nullptr;
    auto bitmap = std::make_unique<BitmapContainer>(aWidth, aHeight);
    bitmap->fill(aColour);
    return bitmap;
}

// The receiver gets its handle last, when nothing can fail any more.
void storeNewBitmap(VirtualMachine& aMachine, TUint32 aReceiver, std::unique_ptr<BitmapContainer> aBitmap)
{
    aMachine.arena().setWord(aReceiver, DrawTargets::newBitmapHandle(aMachine.heap(), std::move(aBitmap)));
}

// Codes 3 to 5 share one decoding and one message for what is no picture.
std::unique_ptr<BitmapContainer> decodedBitmap(const QByteArray& aBytes)
{
    const QImage picture = DrawTargets::decodedPicture(aBytes);
    if (picture.isNull())
        ErrorHandling::raise(EInvalidArgument, "Could not load image");
    return std::make_unique<BitmapContainer>(picture);
}

// receiver, width, height, colour.
void create(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(3);
    const TInt width = aMachine.intOperand(2);
    const TInt height = aMachine.intOperand(1);
    if (width < 0)
        ErrorHandling::raise(EInvalidArgument, "Width should be non-negative");
    if (height < 0)
        ErrorHandling::raise(EInvalidArgument, "Height should be non-negative");
    storeNewBitmap(aMachine, receiver, filledBitmap(width, height, aMachine.operand(0)));
    aMachine.popOperands(4);
}

// receiver, source, x, y, width, height.
void copyArea(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(5);
    BitmapContainer* source = bitmapOperand(aMachine, 4);
    const TInt x = aMachine.intOperand(3);
    const TInt y = aMachine.intOperand(2);
    const TInt width = aMachine.intOperand(1);
    const TInt height = aMachine.intOperand(0);
    const OString area = OString("Source rectangle (") + joined({x, y, width, height});
    if (!source) {
        if (x != 0 || y != 0 || width != 0 || height != 0)
            ErrorHandling::raise(EInvalidArgument,
                                 area + OString(") should be inside the bounds of the source bitmap, the bitmap is empty"));
        storeNewBitmap(aMachine, receiver, nullptr);
        aMachine.popOperands(6);
        return;
    }
    const QSize size = source->size();
    if (x < 0 || y < 0 || width < 0 || height < 0 || TInt64(x) + width > size.width()
        || TInt64(y) + height > size.height())
        ErrorHandling::raise(EInvalidArgument, area + OString(") should be inside the bounds of the source bitmap: (")
                                                   + joined({size.width(), size.height()}) + OString(")"));
    std::unique_ptr<BitmapContainer> copy;
    if (width > 0 && height > 0) {
        copy = std::make_unique<BitmapContainer>(width, height);
        copy->copyFrom(*source, QRect(x, y, width, height));
    }
    storeNewBitmap(aMachine, receiver, std::move(copy));
    aMachine.popOperands(6);
}

// receiver, file name.
void loadFile(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(1);
    const QByteArray bytes = DrawTargets::readApplicationFile(*aMachine.services(), aMachine.stringOf(aMachine.operand(0)));
    storeNewBitmap(aMachine, receiver, decodedBitmap(bytes));
    aMachine.popOperands(2);
}

// receiver, byte vector.
void loadBytes(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(1);
    const QByteArray bytes = DrawTargets::bytesOf(aMachine, aMachine.operand(0));
    if (bytes.isEmpty())
        ErrorHandling::raise(EInvalidArgument, "byte[] is empty");
    storeNewBitmap(aMachine, receiver, decodedBitmap(bytes));
    aMachine.popOperands(2);
}

// receiver, byte vector, first, count.
void loadByteRange(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(3);
    const QByteArray bytes = DrawTargets::bytesOf(aMachine, aMachine.operand(2));
    const TInt first = aMachine.intOperand(1);
    TInt count = aMachine.intOperand(0);
    checkRange(0, static_cast<TInt>(bytes.size()), first, count);
    if (count == 0)
        ErrorHandling::raise(EInvalidArgument, "size is zero");
    storeNewBitmap(aMachine, receiver, decodedBitmap(bytes.mid(first, count)));
    aMachine.popOperands(4);
}

// receiver, source.
void duplicate(VirtualMachine& aMachine, TInt)
{
    const TUint32 receiver = aMachine.referenceOperand(1);
    if (aMachine.operand(0) == 0)
        ErrorHandling::raise(ENullPointer);
    BitmapContainer* source = bitmapOperand(aMachine, 0);
    storeNewBitmap(aMachine, receiver, source ? std::make_unique<BitmapContainer>(source->current()) : nullptr);
    aMachine.popOperands(2);
}

// The start of the messages of positions outside a bitmap.
OString position(TInt aX, TInt aY)
{
    return OString("Position (") + OString(aX) + OString(", ") + OString(aY) + OString(")");
}

// Raises the error of a position outside the bitmap; aEmptyText is the
// operation's own text for an empty bitmap.
void checkPosition(BitmapContainer* aBitmap, TInt aX, TInt aY, const OString& aEmptyText)
{
    if (!aBitmap)
        ErrorHandling::raise(EInvalidArgument, aEmptyText);
    const QSize size = aBitmap->size();
    if (aX < 0 || aY < 0 || aX >= size.width() || aY >= size.height())
        ErrorHandling::raise(EInvalidArgument, position(aX, aY) + OString(" is outside the bounds of the bitmap: (")
                                                   + OString(size.width()) + OString(", ") + OString(size.height())
                                                   + OString(")"));
}

// bitmap, x, y: the colour.
void getPixel(VirtualMachine& aMachine, TInt)
{
    BitmapContainer* bitmap = bitmapOperand(aMachine, 2);
    const TInt x = aMachine.intOperand(1);
    const TInt y = aMachine.intOperand(0);
    checkPosition(bitmap, x, y, position(x, y) + OString(" is outside the bounds of the bitmap, the bitmap is empty"));
    aMachine.replaceOperands(3, bitmap->pixel(x, y));
}

// bitmap: width and height.
void getSize(VirtualMachine& aMachine, TInt)
{
    BitmapContainer* bitmap = bitmapOperand(aMachine, 0);
    const QSize size = bitmap ? bitmap->size() : QSize(0, 0);
    aMachine.replaceOperands(1, static_cast<TUint32>(size.width()));
    aMachine.pushSlot(static_cast<TUint32>(size.height()));
}

// bitmap, x, y, colour.
void setPixel(VirtualMachine& aMachine, TInt)
{
    BitmapContainer* bitmap = bitmapOperand(aMachine, 3);
    const TInt x = aMachine.intOperand(2);
    const TInt y = aMachine.intOperand(1);
    checkPosition(bitmap, x, y, OString("Position is outside the bounds of the bitmap: the bitmap is empty"));
    bitmap->setPixel(x, y, aMachine.operand(0));
    aMachine.popOperands(4);
}

// bitmap, width, height. Only a change of both dimensions scales; a
// change of one leaves the bitmap as it is.
void resize(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 handle = aMachine.referenceOperand(2);
    BitmapContainer* bitmap = bitmapOperand(aMachine, 2);
    const TInt width = aMachine.intOperand(1);
    const TInt height = aMachine.intOperand(0);
    VMHeap& heap = aMachine.heap();
    if (width < 0 || height < 0)
        ErrorHandling::raise(EInvalidArgument, width < 0 ? "Width should be non-negative" : "Height should be non-negative");
    if (!bitmap) {
        if (width != 0 && height != 0)
            DrawTargets::replaceBitmap(heap, handle, filledBitmap(width, height, KOpaqueBlack));
    } else if (width == 0 || height == 0) {
        DrawTargets::replaceBitmap(heap, handle, nullptr);
    } else if (width != bitmap->size().width() && height != bitmap->size().height()) {
        auto scaled = std::make_unique<BitmapContainer>(width, height);
        scaled->scaledFrom(*bitmap, aOperation == 12 ? Qt::SmoothTransformation : Qt::FastTransformation);
        DrawTargets::replaceBitmap(heap, handle, std::move(scaled));
    }
    aMachine.popOperands(3);
}

// bitmap, format code: a byte vector of the encoded picture, empty when
// the writer fails.
void encode(VirtualMachine& aMachine, TInt)
{
    BitmapContainer* bitmap = bitmapOperand(aMachine, 1);
    const TInt format = aMachine.intOperand(0);
    const char* formatName = format >= 1 && format <= 4 ? KFormats[format - 1] : "";
    FrameworkServices& services = *aMachine.services();
    services.setInteractive(EFalse);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!bitmap || !bitmap->save(buffer, formatName))
        bytes.clear();
    const TUint32 cell = aMachine.newVectorValue(1, static_cast<TInt>(bytes.size()), EFalse);
    if (!bytes.isEmpty()) {
        OByteVector vector(aMachine.heap(), aMachine.arena().word(cell));
        std::memcpy(aMachine.arena().host(vector.elementAddress(0)), bytes.constData(),
                    static_cast<std::size_t>(bytes.size()));
    }
    services.setInteractive(ETrue);
    aMachine.replaceOperands(2, cell);
}

const NativeOperation KOperations[] = {
    {1, "create", create},
    {2, "copyArea", copyArea},
    {3, "loadFile", loadFile},
    {4, "loadBytes", loadBytes},
    {5, "loadByteRange", loadByteRange},
    {6, "duplicate", duplicate},
    {7, "getPixel", getPixel},
    {8, "getSize", getSize},
    {9, "setPixel", setPixel},
    {10, "resize", resize},
    {11, "resizeFast", resize},
    {12, "resizeSmooth", resize},
    {13, "encode", encode},
};

}

extern const NativeFamily KBitmapFamily{"Bitmap", "Bitmap:", KOperations};
