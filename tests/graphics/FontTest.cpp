#include "GraphicsTestSupport.h"

#include <string>

namespace {

class Fonts : public GraphicsTest {
protected:
    TUint32 bitmapFont(const QImage& aImage)
    {
        push(byteVector(encoded(aImage, "png")));
        call(KSystem, 12);
        const TUint32 font = at(0);
        machine.popOperands(1);
        return font;
    }
    TInt metric(TInt aOperation, TUint32 aFont, const char* aText, std::initializer_list<TInt> aMore)
    {
        push(aFont);
        if (aText)
            pushString(aText);
        for (TInt value : aMore)
            pushInt(value);
        call(KFont, aOperation);
        const TInt result = intAt(0);
        machine.popOperands(1);
        return result;
    }
    void drawText(TUint32 aTarget, const char* aText, TInt aX, TInt aY, TUint32 aColour, TUint32 aFont)
    {
        push(aTarget);
        pushString(aText);
        pushSlots(aX, aY, aColour, aFont);
        call(KGraphics, 2);
    }
};

TEST_F(Fonts, MarkersCutTheGlyphsAndSetTheMetrics)
{
    const TUint32 font = bitmapFont(fontImage());
    EXPECT_EQ(metric(2, font, nullptr, {}), 10);
    EXPECT_EQ(metric(3, font, nullptr, {}), 8);
    EXPECT_EQ(metric(4, font, " !", {}), 11);
    EXPECT_EQ(metric(4, font, "A", {}), 0);
    EXPECT_EQ(metric(5, font, "!! ", {1, 2}), 11);
    EXPECT_EQ(metric(6, font, " !!", {3}), 0);
    EXPECT_EQ(metric(6, font, " !!", {11}), 2);
    EXPECT_EQ(metric(7, font, " !!", {1, -1, 100}), 2);
    EXPECT_EQ(metric(2, 0, nullptr, {}), 0);

    push(font);
    pushString("ab");
    pushSlots(1, 5);
    EXPECT_EQ(failure(KFont, 5, 4), ERange);

    push(byteVector(encoded(fontImage(ETrue), "png")));
    EXPECT_EQ(failure(KSystem, 12, 1), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException");
    push(byteVector("junk"));
    EXPECT_EQ(failure(KSystem, 12, 1), EInvalidArgument);
    EXPECT_EQ(depth(), 0);
}

TEST_F(Fonts, BitmapGlyphsAreColouredMasksAtTheirCells)
{
    const TUint32 font = bitmapFont(fontImage());
    const TUint32 target = bitmap(12, 12, 0xFF000000);
    drawText(target, "A!", 2, 1, 0xFFFF0000, font);
    EXPECT_EQ(pixel(target, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(pixel(target, 5, 6), 0xFFFF0000u);
    EXPECT_EQ(pixel(target, 2, 3), 0xFF000000u);
    EXPECT_EQ(pixel(target, 6, 3), 0xFF000000u);
    EXPECT_EQ(pixel(target, 3, 7), 0xFF000000u);

    drawText(target, "!", 2, 1, 0xFF00FF00, font);
    EXPECT_EQ(pixel(target, 4, 4), 0xFF00FF00u);
    drawText(target, " !", 0, 0, 0x80FFFFFF, font);
    EXPECT_TRUE(nearColour(pixel(target, 5, 4), 0xFF80FF80)) << std::hex << pixel(target, 5, 4);

    push(target);
    pushString("!");
    pushSlots(0, 2, 0, 0, 0xFFFFFFFF, font);
    EXPECT_EQ(failure(KGraphics, 3, 8), ERange);
    push(target);
    pushString("!");
    pushSlots(0, 0, 0, 0, 0xFFFFFFFF, font);
    call(KGraphics, 3);
    EXPECT_EQ(pixel(target, 3, 3), 0xFF00FF00u);
    EXPECT_EQ(depth(), 0);
}

// One glyph, ' ', a thousand columns wide; only its first column is
// covered, in rows 2 to 5.
QImage wideGlyphFont()
{
    QImage image(1002, 11, QImage::Format_ARGB32);
    image.fill(0xFF000000);
    for (TInt y = 2; y < 6; ++y)
        image.setPixel(1, y, KCovered);
    image.setPixel(1001, 10, KCovered);
    return image;
}

// Text that starts far to the left of the target still puts each glyph
// where the glyphs before it end.
TEST_F(Fonts, TextFromFarOffTheTargetKeepsItsPlace)
{
    const TUint32 font = bitmapFont(wideGlyphFont());
    const TUint32 target = bitmap(20, 10, 0xFF000000);
    // The last of 16784 glyphs begins 16783000 columns after the text.
    drawText(target, std::string(16784, ' ').c_str(), 5 - 16783000, 1, 0xFFFFFFFF, font);
    for (TInt x = 0; x < 20; ++x)
        EXPECT_EQ(pixel(target, x, 4), x == 5 ? 0xFFFFFFFFu : 0xFF000000u) << x;
    drawText(target, "   ", INT32_MAX - 1500, 1, 0xFFFFFFFF, font);
    drawText(target, " ", 0, INT32_MIN, 0xFFFFFFFF, font);
    drawText(target, " ", 0, INT32_MAX, 0xFFFFFFFF, font);
    EXPECT_EQ(pixel(target, 0, 4), 0xFF000000u);
    EXPECT_EQ(depth(), 0);
}

TEST_F(Fonts, NativeFontsAreTheDefaultFontAtFortyPixels)
{
    call(KSystem, 10);
    call(KSystem, 10);
    const TUint32 second = at(0);
    const TUint32 first = at(1);
    machine.popOperands(2);
    QFont expected;
    expected.setPixelSize(40);
    const QFontMetrics metrics(expected);
    EXPECT_EQ(metric(2, first, nullptr, {}), metrics.height());
    EXPECT_EQ(metric(3, second, nullptr, {}), metrics.ascent());
    EXPECT_EQ(metric(4, first, "Kelvo", {}), metrics.horizontalAdvance("Kelvo"));
    EXPECT_EQ(metric(4, first, "Kelvo", {}), metric(4, second, "Kelvo", {}));
    EXPECT_EQ(metric(6, first, "Kelvo", {static_cast<TInt>(metrics.horizontalAdvance("Ke"))}), 2);
    EXPECT_EQ(metric(6, first, "Kelvo", {0}), 0);

    const TUint32 target = bitmap(200, 60, 0xFF000000);
    drawText(target, "H", 10, 5, 0xFFFFFFFF, first);
    TInt lit = 0;
    for (TInt y = 0; y < 60; ++y) {
        for (TInt x = 0; x < 200; ++x)
            lit += pixel(target, x, y) != 0xFF000000u;
    }
    EXPECT_GT(lit, 20);
    EXPECT_EQ(pixel(target, 9, 30), 0xFF000000u);
}

}
