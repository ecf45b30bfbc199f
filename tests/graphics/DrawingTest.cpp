#include "GraphicsTestSupport.h"

#include <cmath>

namespace {

using Drawing = GraphicsTest;

TEST_F(Drawing, FillsBlendAndClearsKeepAlpha)
{
    const TUint32 target = bitmap(6, 6, 0xFFFF0000);
    fill(target, 1, 1, 2, 2, 0x800000FF);
    EXPECT_TRUE(nearColour(pixel(target, 1, 1), 0xFF7F0080)) << std::hex << pixel(target, 1, 1);
    EXPECT_EQ(pixel(target, 3, 3), 0xFFFF0000u);
    fill(target, -100, 5, 0x7FFFFFFF, 0x7FFFFFFF, 0xFF00FF00);
    EXPECT_EQ(pixel(target, 5, 5), 0xFF00FF00u);

    pushSlots(target, 0x00000000);
    call(KGraphics, 8);
    EXPECT_EQ(pixel(target, 2, 2), 0x00000000u);
    pushSlots(target, 0x40102030);
    call(KGraphics, 8);
    EXPECT_EQ(pixel(target, 5, 0), 0x40102030u);
    EXPECT_EQ(depth(), 0);
}

TEST_F(Drawing, LinesAreOnePixelWide)
{
    const TUint32 target = bitmap(5, 5, 0xFF000000);
    pushSlots(target, 2, 2, 2, 2, 0xFFFFFFFF);
    call(KGraphics, 5);
    EXPECT_EQ(pixel(target, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(target, 1, 2), 0xFF000000u);
    pushSlots(target, 0, 4, 4, 4, 0xFF00FF00);
    call(KGraphics, 5);
    for (TInt x = 0; x < 5; ++x)
        EXPECT_EQ(pixel(target, x, 4), 0xFF00FF00u);
    EXPECT_EQ(pixel(target, 0, 3), 0xFF000000u);
    pushSlots(target, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0xFF0000FF);
    call(KGraphics, 5);
    EXPECT_EQ(depth(), 0);
}


TEST_F(Drawing, TilesAreasAndRotationPlaceTheBitmapAsAsked)
{
    const TUint32 sprite = bitmap(2, 2, 0xFFFF0000);
    setPixel(sprite, 1, 0, 0xFF00FF00);
    setPixel(sprite, 0, 1, 0xFF0000FF);
    setPixel(sprite, 1, 1, 0xFFFFFFFF);
    const TUint32 colours[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}};

    const TUint32 tiled = bitmap(8, 8, 0xFF000000);
    pushSlots(tiled, sprite, 1, 2, 5, 4, 1, 0, 255);
    call(KGraphics, 6);
    for (TInt y = 0; y < 8; ++y) {
        for (TInt x = 0; x < 8; ++x) {
            const TBool inside = x >= 1 && x < 6 && y >= 2 && y < 6;
            const TUint32 expected = inside ? colours[(y - 2) % 2][(x - 1 + 1) % 2] : 0xFF000000;
            EXPECT_EQ(pixel(tiled, x, y), expected) << x << "," << y;
        }
    }

    const TUint32 area = bitmap(4, 4, 0xFF000000);
    pushSlots(area, sprite, 2, 3, 1, 0, 1, 2, 255);
    call(KGraphics, 7);
    EXPECT_EQ(pixel(area, 2, 3), 0xFF00FF00u);
    EXPECT_EQ(pixel(area, 1, 3), 0xFF000000u);
    EXPECT_EQ(pixel(area, 3, 3), 0xFF000000u);

    // Angle 0 and scale 1 put the centre on the point; a quarter turn by
    // the divisor 3.141 turns the picture counter-clockwise.
    const TUint32 turned = bitmap(6, 6, 0xFF000000);
    pushSlots(turned, sprite, 3, 3);
    pushFixed(0);
    pushFixed(TInt64(1) << 32);
    pushFixed(TInt64(1) << 32);
    push(255);
    call(KGraphics, 10);
    EXPECT_EQ(pixel(turned, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(pixel(turned, 3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(turned, 4, 4), 0xFF000000u);

    const TUint32 quarter = bitmap(6, 6, 0xFF000000);
    pushSlots(quarter, sprite, 3, 3);
    pushFixed(static_cast<TInt64>(std::llround(3.141 / 2 * 4294967296.0)));
    pushFixed(TInt64(1) << 32);
    pushFixed(TInt64(1) << 32);
    push(255);
    call(KGraphics, 10);
    EXPECT_EQ(pixel(quarter, 2, 2), 0xFF00FF00u);
    EXPECT_EQ(pixel(quarter, 3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(quarter, 2, 3), 0xFFFF0000u);
    EXPECT_EQ(pixel(quarter, 3, 3), 0xFF0000FFu);
    EXPECT_EQ(depth(), 0);
}

TEST_F(Drawing, AlphaBelowOpaqueBlendsAndABitmapOnItselfIsLeftAlone)
{
    const TUint32 sprite = bitmap(2, 2, 0xFFFFFFFF);
    const TUint32 target = bitmap(4, 4, 0xFF000000);
    pushSlots(target, sprite, 0, 0, 128);
    call(KGraphics, 1);
    EXPECT_TRUE(nearColour(pixel(target, 0, 0), 0xFF808080)) << std::hex << pixel(target, 0, 0);
    pushSlots(target, sprite, 2, 2, 255);
    call(KGraphics, 1);
    EXPECT_EQ(pixel(target, 3, 3), 0xFFFFFFFFu);
    pushSlots(target, target, 1, 1, 255);
    call(KGraphics, 1);
    EXPECT_EQ(pixel(target, 3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(target, 2, 1), 0xFF000000u);

    const TUint32 empty = bitmap(0, 0, 0);
    pushSlots(empty, 0, 0, 1, 1, 0xFFFFFFFF);
    EXPECT_EQ(failure(KGraphics, 4, 6), EVMError);
    EXPECT_EQ(errorText(), "VMException: GraphicsContainer: invalid bitmap");
    pushSlots(0, sprite, 0, 0, 255);
    call(KGraphics, 1);
    pushSlots(target, empty, 0, 0, 255);
    call(KGraphics, 1);
    pushSlots(1, 2, 3, 4, 5);
    call(KGraphics, 9);
    EXPECT_EQ(depth(), 0);
}

}
