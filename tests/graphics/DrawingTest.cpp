#include "GraphicsTestSupport.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

const TInt64 KFixedOne = TInt64(1) << 32;
// The pixels of sprite(), by row and column.
const TUint32 KSpriteColours[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}};

class Drawing : public GraphicsTest {
protected:
    // A 2 by 2 bitmap of four colours.
    TUint32 fourColourSprite()
    {
        const TUint32 sprite = bitmap(2, 2, KSpriteColours[0][0]);
        setPixel(sprite, 1, 0, KSpriteColours[0][1]);
        setPixel(sprite, 0, 1, KSpriteColours[1][0]);
        setPixel(sprite, 1, 1, KSpriteColours[1][1]);
        return sprite;
    }
    // Code 10, opaque; the angle and scales are raw fixed-point values.
    void drawRotatedScaled(TUint32 aTarget, TUint32 aBitmap, TInt aX, TInt aY, TInt64 aAngle, TInt64 aScaleX,
                           TInt64 aScaleY)
    {
        pushSlots(aTarget, aBitmap, aX, aY);
        pushFixed(aAngle);
        pushFixed(aScaleX);
        pushFixed(aScaleY);
        push(255);
        call(KGraphics, 10);
    }
};

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

// Lines whose ends lie far outside keep their direction: what shows is
// what Qt draws for the whole line.
TEST_F(Drawing, FarLinesKeepTheirDirection)
{
    const TInt lines[][4] = {{0, 0, 1073741824, 536870912},
                             {0, 0, 40000000, 20000000},
                             {-1073741824, -536870902, 1073741824, 536870922},
                             {INT32_MAX, 3, INT32_MIN, 12},
                             {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN + 19}};
    for (const auto& line : lines) {
        const TUint32 target = bitmap(20, 20, 0xFF000000);
        pushSlots(target, line[0], line[1], line[2], line[3], 0xFFFFFFFF);
        call(KGraphics, 5);
        QImage expected(20, 20, QImage::Format_ARGB32_Premultiplied);
        expected.fill(0xFF000000);
        QPainter painter(&expected);
        painter.setPen(QPen(Qt::white, 0));
        painter.drawLine(line[0], line[1], line[2], line[3]);
        painter.end();
        TInt wrong = 0;
        for (TInt y = 0; y < 20; ++y) {
            for (TInt x = 0; x < 20; ++x)
                wrong += pixel(target, x, y) != expected.pixel(x, y);
        }
        EXPECT_EQ(wrong, 0) << line[0] << "," << line[1] << " to " << line[2] << "," << line[3];
    }
    EXPECT_EQ(depth(), 0);
}


TEST_F(Drawing, TilesAreasAndRotationPlaceTheBitmapAsAsked)
{
    const TUint32 sprite = fourColourSprite();

    const TUint32 tiled = bitmap(8, 8, 0xFF000000);
    pushSlots(tiled, sprite, 1, 2, 5, 4, 1, 0, 255);
    call(KGraphics, 6);
    for (TInt y = 0; y < 8; ++y) {
        for (TInt x = 0; x < 8; ++x) {
            const TBool inside = x >= 1 && x < 6 && y >= 2 && y < 6;
            const TUint32 expected = inside ? KSpriteColours[(y - 2) % 2][(x - 1 + 1) % 2] : 0xFF000000;
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
    drawRotatedScaled(turned, sprite, 3, 3, 0, KFixedOne, KFixedOne);
    EXPECT_EQ(pixel(turned, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(pixel(turned, 3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(turned, 4, 4), 0xFF000000u);

    const TUint32 quarter = bitmap(6, 6, 0xFF000000);
    drawRotatedScaled(quarter, sprite, 3, 3, std::llround(3.141 / 2 * 4294967296.0), KFixedOne, KFixedOne);
    EXPECT_EQ(pixel(quarter, 2, 2), 0xFF00FF00u);
    EXPECT_EQ(pixel(quarter, 3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(quarter, 2, 3), 0xFFFF0000u);
    EXPECT_EQ(pixel(quarter, 3, 3), 0xFF0000FFu);
    EXPECT_EQ(depth(), 0);
}

// Positions and offsets far beyond the target still place the bitmap
// exactly: a tiling keeps its phase, an area its source, a scaled bitmap
// its centre.
TEST_F(Drawing, FarPositionsAndOffsetsPlaceTheBitmapExactly)
{
    const TUint32 sprite = fourColourSprite();

    const TUint32 tiled = bitmap(4, 4, 0xFF000000);
    pushSlots(tiled, sprite, 0, 0, 4, 4, 0, 16777217, 255);
    call(KGraphics, 6);
    EXPECT_EQ(pixel(tiled, 0, 0), KSpriteColours[1][0]);
    EXPECT_EQ(pixel(tiled, 1, 1), KSpriteColours[0][1]);
    // The rectangle starts far to the left: column 0 of the target is
    // 16777219 columns into the tiling.
    pushSlots(tiled, sprite, -16777219, 0, 16777223, 4, 0, 0, 255);
    call(KGraphics, 6);
    EXPECT_EQ(pixel(tiled, 0, 0), KSpriteColours[0][1]);
    EXPECT_EQ(pixel(tiled, 3, 1), KSpriteColours[1][0]);
    pushSlots(tiled, sprite, 0, 0, 4, 4, INT32_MIN, INT32_MAX, 255);
    call(KGraphics, 6);
    EXPECT_EQ(pixel(tiled, 0, 0), KSpriteColours[1][0]);

    // A source area that starts far to the left of the bitmap moves the
    // bitmap right by as much, wherever the area is drawn.
    const TUint32 area = bitmap(20, 4, 0xFF000000);
    pushSlots(area, sprite, -16777211, 0, -16777221, 0, 16777223, 2, 255);
    call(KGraphics, 7);
    pushSlots(area, sprite, -16777300, 2, -16777310, 0, 16777312, 2, 255);
    call(KGraphics, 7);
    for (TInt x = 0; x < 20; ++x) {
        EXPECT_EQ(pixel(area, x, 0), x == 10 ? KSpriteColours[0][0] : x == 11 ? KSpriteColours[0][1] : 0xFF000000u) << x;
        EXPECT_EQ(pixel(area, x, 3), x == 10 ? KSpriteColours[1][0] : x == 11 ? KSpriteColours[1][1] : 0xFF000000u) << x;
    }
    pushSlots(area, sprite, INT32_MIN, INT32_MIN, 0, 0, 0, 0, 255);
    call(KGraphics, 7);
    pushSlots(area, sprite, INT32_MAX, INT32_MAX, 255);
    call(KGraphics, 1);
    EXPECT_EQ(pixel(area, 0, 0), 0xFF000000u);

    // Stretched 2^24 times, the bitmap centred 16777219 to the right
    // begins at column 3.
    const TUint32 stretched = bitmap(20, 20, 0xFF000000);
    drawRotatedScaled(stretched, sprite, 16777219, 10, 0, KFixedOne << 24, KFixedOne);
    EXPECT_EQ(pixel(stretched, 2, 9), 0xFF000000u);
    EXPECT_EQ(pixel(stretched, 3, 9), KSpriteColours[0][0]);
    EXPECT_EQ(pixel(stretched, 19, 10), KSpriteColours[1][0]);
    drawRotatedScaled(stretched, sprite, INT32_MIN, INT32_MIN, 0, KFixedOne, KFixedOne);
    EXPECT_EQ(pixel(stretched, 0, 0), 0xFF000000u);
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

// The host hears only of the part of a repaint area that is on the
// screen, so that the far edge it computes cannot overflow.
class RepaintServices : public RecordingServices {
public:
    void requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight) override
    {
        repaints.push_back({aX, aY, aWidth, aHeight});
    }
    std::vector<std::array<TInt, 4>> repaints;
};

TEST(Screen, RepaintAreasAreCutToTheScreen)
{
    RepaintServices services;
    VirtualMachine machine;
    ProgramTestSupport::loadProgram(machine, ".static \"main\" 0, -1\n    nop\n", services);
    machine.setTop(-1);
    const TInt areas[][4] = {{10, 20, 30, 40},
                             {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
                             {-10, -20, 0x7FFFFFFF, 0x7FFFFFFF},
                             {INT32_MIN + 1000, 100, 0x7FFFFFFF, 5},
                             {700, 400, INT32_MIN, -50},
                             {900, 0, 10, 10}};
    for (const auto& area : areas) {
        for (TInt value : area)
            machine.pushSlot(static_cast<TUint32>(value));
        machine.callNative(31, 6);
    }
    EXPECT_EQ(machine.top(), -1);
    const std::vector<std::array<TInt, 4>> expected = {
        {10, 20, 30, 40}, {0, 0, 800, 480}, {0, 100, 800, 5}, {0, 350, 700, 50}};
    EXPECT_EQ(services.repaints, expected);
}

}
