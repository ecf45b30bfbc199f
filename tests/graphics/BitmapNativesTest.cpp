#include "GraphicsTestSupport.h"

#include "HostMemory.h"

namespace {

using Bitmaps = GraphicsTest;

TUint32 crc32(const QByteArray& aBytes)
{
    TUint32 crc = 0xFFFFFFFF;
    for (char byte : aBytes) {
        crc ^= static_cast<TUint8>(byte);
        for (TInt bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray bigEndian(TUint32 aValue)
{
    const char bytes[] = {static_cast<char>(aValue >> 24), static_cast<char>(aValue >> 16),
                          static_cast<char>(aValue >> 8), static_cast<char>(aValue)};
    return QByteArray(bytes, 4);
}

// A well-formed PNG start for a picture of the given size, without pixels.
QByteArray pngClaiming(TUint32 aWidth, TUint32 aHeight)
{
    const QByteArray header = QByteArray("IHDR") + bigEndian(aWidth) + bigEndian(aHeight)
        + QByteArray("\x08\x06\x00\x00\x00", 5);
    const QByteArray data("IDAT");
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + header + bigEndian(crc32(header)) + bigEndian(0)
        + data + bigEndian(crc32(data));
}

TEST_F(Bitmaps, FillsReadBackExactlyAndEmptyBitmapsHaveTheirOwnMessages)
{
    EXPECT_EQ(pixel(bitmap(10, 10, 0x80FF0000), 3, 4), 0x80FF0000u);
    EXPECT_EQ(pixel(bitmap(10, 10, 0xFFFF0000), 9, 9), 0xFFFF0000u);
    EXPECT_EQ(pixel(bitmap(3, 3, 0x00000000), 0, 0), 0x00000000u);

    const TUint32 empty = bitmap(0, 5, 0xFFFFFFFF);
    EXPECT_EQ(sizeOf(empty), QSize(0, 0));
    pushSlots(empty, 0, 0, 1);
    EXPECT_EQ(failure(KBitmap, 9, 4), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Position is outside the bounds of the bitmap: the bitmap is empty");
    pushSlots(empty, 1, 2);
    EXPECT_EQ(failure(KBitmap, 7, 3), EInvalidArgument);
    EXPECT_EQ(errorText(),
              "InvalidArgumentException: Position (1, 2) is outside the bounds of the bitmap, the bitmap is empty");

    pushSlots(variable(), -1, 5, 0);
    EXPECT_EQ(failure(KBitmap, 1, 4), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Width should be non-negative");
    EXPECT_TRUE(markerIntact());
    EXPECT_EQ(depth(), 0);
}

TEST_F(Bitmaps, PositionsAndAreasOutsideAreRefusedWithTheirBounds)
{
    const TUint32 image = bitmap(10, 10, 0xFF000000);
    pushSlots(image, 10, -1);
    EXPECT_EQ(failure(KBitmap, 7, 3), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Position (10, -1) is outside the bounds of the bitmap: (10, 10)");

    pushSlots(variable(), image, 5, 5, 6, 6);
    EXPECT_EQ(failure(KBitmap, 2, 6), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Source rectangle (5, 5, 6, 6) should be inside the bounds of "
                           "the source bitmap: (10, 10)");
    pushSlots(variable(), image, 0x7FFFFFFF, 0, 0x7FFFFFFF, 1);
    EXPECT_EQ(failure(KBitmap, 2, 6), EInvalidArgument);

    pushSlots(variable(), bitmap(0, 0, 0), 0, 0, 1, 1);
    EXPECT_EQ(failure(KBitmap, 2, 6), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Source rectangle (0, 0, 1, 1) should be inside the bounds of "
                           "the source bitmap, the bitmap is empty");

    setPixel(image, 6, 7, 0xFF345678);
    const TUint32 receiver = variable();
    pushSlots(receiver, image, 5, 5, 5, 5);
    call(KBitmap, 2);
    EXPECT_EQ(sizeOf(word(receiver)), QSize(5, 5));
    EXPECT_EQ(pixel(word(receiver), 1, 2), 0xFF345678u);
    EXPECT_EQ(depth(), 0);
}

// Pixels set before drawing appear in what is drawn, and what is drawn
// into a bitmap is seen by the next read.
TEST_F(Bitmaps, PixelAccessAndDrawingSeeEachOthersChanges)
{
    const TUint32 sprite = bitmap(4, 4, 0xFF0000FF);
    setPixel(sprite, 1, 1, 0xFFFF0000);
    const TUint32 target = bitmap(8, 8, 0xFFFFFFFF);
    pushSlots(target, sprite, 2, 2, 255);
    call(KGraphics, 1);
    EXPECT_EQ(pixel(target, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(pixel(target, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(pixel(target, 6, 6), 0xFFFFFFFFu);

    fill(target, 0, 0, 1, 1, 0xFF00FF00);
    EXPECT_EQ(pixel(target, 0, 0), 0xFF00FF00u);
    setPixel(target, 7, 7, 0xFF123456);
    fill(target, 6, 0, 1, 1, 0xFF00FF00);
    EXPECT_EQ(pixel(target, 7, 7), 0xFF123456u);
    EXPECT_EQ(pixel(target, 6, 0), 0xFF00FF00u);

    const TUint32 copy = variable();
    pushSlots(copy, target);
    call(KBitmap, 6);
    setPixel(target, 0, 0, 0xFF000000);
    EXPECT_EQ(pixel(word(copy), 0, 0), 0xFF00FF00u);
    pushSlots(copy, 0);
    EXPECT_EQ(failure(KBitmap, 6, 2), ENullPointer);
}

TEST_F(Bitmaps, OnlyAChangeOfBothDimensionsScales)
{
    const TUint32 handle = bitmap(10, 10, 0xFF00FF00);
    pushSlots(handle, 20, 10);
    call(KBitmap, 10);
    EXPECT_EQ(sizeOf(handle), QSize(10, 10));
    pushSlots(handle, 20, 30);
    call(KBitmap, 12);
    EXPECT_EQ(sizeOf(handle), QSize(20, 30));
    EXPECT_EQ(pixel(handle, 19, 29), 0xFF00FF00u);
    pushSlots(handle, 0, 30);
    call(KBitmap, 11);
    EXPECT_EQ(sizeOf(handle), QSize(0, 0));
    pushSlots(handle, 2, 3);
    call(KBitmap, 11);
    EXPECT_EQ(pixel(handle, 1, 2), 0xFF000000u);
    pushSlots(handle, 100000, 100000);
    EXPECT_EQ(failure(KBitmap, 10, 3), EVMError);
    EXPECT_EQ(sizeOf(handle), QSize(2, 3));
}

TEST_F(Bitmaps, EncodedPicturesDecodeToTheSamePixels)
{
    const TUint32 original = bitmap(5, 4, 0xFF336699);
    setPixel(original, 4, 3, 0xFFFF0000);
    for (TInt format : {2, 4}) {
        SCOPED_TRACE(format);
        pushSlots(original, format);
        call(KBitmap, 13);
        const TUint32 encodedCell = at(0);
        machine.popOperands(1);
        const QByteArray bytes = bytesOf(encodedCell);
        ASSERT_FALSE(bytes.isEmpty());
        const TUint32 receiver = variable();
        pushSlots(receiver, encodedCell);
        call(KBitmap, 4);
        EXPECT_EQ(sizeOf(word(receiver)), QSize(5, 4));
        EXPECT_EQ(pixel(word(receiver), 4, 3), 0xFFFF0000u);
        EXPECT_EQ(pixel(word(receiver), 0, 0), 0xFF336699u);

        const TUint32 ranged = variable();
        const TUint32 padded = byteVector(QByteArray("xyz") + bytes);
        pushSlots(ranged, padded, 3, bytes.size());
        call(KBitmap, 5);
        EXPECT_EQ(pixel(word(ranged), 4, 3), 0xFFFF0000u);
    }
    pushSlots(original, 7);
    call(KBitmap, 13);
    EXPECT_EQ(bytesOf(at(0)).size(), 0);
    machine.popOperands(1);
    EXPECT_EQ(depth(), 0);
}

TEST_F(Bitmaps, BrokenPictureDataIsRefusedNotTrusted)
{
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(0xFF112233);
    const QByteArray png = encoded(picture, "png");
    QByteArray corrupt = png;
    for (qsizetype i = 40; i < corrupt.size(); i += 7)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    const QByteArray huge = pngClaiming(60000, 60000);

    for (const QByteArray& bytes : {png.left(png.size() / 2), corrupt, QByteArray("not a picture"), huge}) {
        pushSlots(variable(), byteVector(bytes));
        const TInt code = failure(KBitmap, 4, 2);
        EXPECT_TRUE(code == EInvalidArgument || code == EVMError) << code;
    }
    EXPECT_EQ(errorText(), "VMException: Out of VM memory");
    pushSlots(variable(), byteVector(QByteArray()));
    EXPECT_EQ(failure(KBitmap, 4, 2), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: byte[] is empty");
    pushSlots(variable(), byteVector(png), 2, 0);
    EXPECT_EQ(failure(KBitmap, 5, 4), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: size is zero");
    pushSlots(variable(), byteVector(png), 2, png.size());
    EXPECT_EQ(failure(KBitmap, 5, 4), ERange);
    pushSlots(variable(), 1 << 20, 1 << 20, 0);
    EXPECT_EQ(failure(KBitmap, 1, 4), EVMError);

    push(variable());
    pushString("");
    EXPECT_EQ(failure(KBitmap, 3, 2), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Filename is empty");
    push(variable());
    pushString("missing.png");
    EXPECT_EQ(failure(KBitmap, 3, 2), EInputOutput);
    EXPECT_NE(errorText().find(": Could not open file: missing.png"), std::string::npos) << errorText();
    EXPECT_EQ(depth(), 0);
}

// Handles are records of the heap; anything else is a VM error.
TEST_F(Bitmaps, ForgedAndMistypedHandlesAreVMErrors)
{
    const TUint32 image = bitmap(2, 2, 0xFF000000);
    for (TUint32 forged : {image + 4, machine.heap().makeHandle(CANVAS_TYPE_ID, 0, 0),
                           machine.heap().makeHandle(BITMAP_TYPE_ID, 0, image),
                           machine.heap().makeHandle(7, 0, 0), machine.newStringValue(OString("x"))}) {
        pushSlots(forged, 0, 0);
        EXPECT_EQ(failure(KBitmap, 7, 3), EVMError);
        pushSlots(forged, 0, 0, 1, 1, 0xFF00FF00);
        EXPECT_EQ(failure(KGraphics, 4, 6), EVMError);
    }
    EXPECT_EQ(depth(), 0);
}

// Bitmaps, their surfaces and fonts that nothing refers to go with the
// next collection, and with them their pixels' share of host memory.
TEST_F(Bitmaps, UnreachableObjectsAreFreedWithTheirPixels)
{
    machine.garbageCollect();
    const TInt objects = machine.heap().liveHostObjects();
    const TUint64 memory = HostMemory::inUse();
    {
        const TUint32 sprite = bitmap(100, 100, 0xFF00FF00);
        fill(sprite, 0, 0, 5, 5, 0xFFFF0000);
        call(KSystem, 10);
        machine.popOperands(1);
        EXPECT_GE(HostMemory::inUse(), memory + 40000);
        EXPECT_GE(machine.heap().liveHostObjects(), objects + 3);
    }
    machine.garbageCollect();
    EXPECT_EQ(machine.heap().liveHostObjects(), objects);
    EXPECT_EQ(HostMemory::inUse(), memory);
}

}
