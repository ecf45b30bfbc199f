#include "VestraFont.h"

#include <algorithm>

#include "ErrorHandling.h"
#include "PixelLimit.h"

namespace {

const TUint16 KFirstCharacter = 32;
const TInt KFirstMarkerColumn = 2;

// The coverage byte of a pixel: its lowest-addressed byte, blue on a
// little-endian host.
TUint8 coverage(const QImage& aImage, TInt aX, TInt aY)
{
    return reinterpret_cast<const TUint8*>(aImage.constScanLine(aY))[4 * aX];
}

TBool isMarker(const QImage& aImage, TInt aX)
{
    return coverage(aImage, aX, aImage.height() - 1) != 0;
}

}

VestraFont::VestraFont(const QImage& aImage)
{
    if (aImage.isNull())
        return;
    PixelLimit::check(aImage.width(), aImage.height());
    const QImage image = aImage.convertToFormat(QImage::Format_ARGB32);
    iHeight = image.height() - 1;
    readMask(image);
    readAscent(image);
    readGlyphs(image);
}

// One coverage byte per pixel; the marker row stays out of the mask.
void VestraFont::readMask(const QImage& aImage)
{
    iPixelData = QImage(aImage.width(), aImage.height(), QImage::Format_Indexed8);
    if (iPixelData.isNull())
        ErrorHandling::raise(EVMError, "Out of VM memory");
    iPixelData.fill(0);
    for (TInt y = 0; y < iHeight; ++y) {
        TUint8* target = iPixelData.scanLine(y);
        for (TInt x = 0; x < aImage.width(); ++x)
            target[x] = coverage(aImage, x, y);
    }
}

// Rows from the top whose column 0 is covered.
void VestraFont::readAscent(const QImage& aImage)
{
    while (iAscent < iHeight && coverage(aImage, 0, iAscent) != 0)
        ++iAscent;
}

// Column 1 never holds a marker: glyph 0 starts there.
void VestraFont::readGlyphs(const QImage& aImage)
{
    const TInt width = aImage.width();
    if (width > 1 && isMarker(aImage, 1))
        ErrorHandling::raise(EInvalidArgument);
    TInt start = 1;
    for (TInt x = KFirstMarkerColumn; x < width; ++x) {
        if (isMarker(aImage, x)) {
            iGlyphs.append({start, x - start});
            start = x;
        }
    }
}

// Characters without a glyph measure and draw as nothing.
VestraFont::CharData VestraFont::glyph(TUint16 aCharacter) const
{
    if (aCharacter < KFirstCharacter || aCharacter - KFirstCharacter >= iGlyphs.count())
        return {0, 0};
    return iGlyphs[aCharacter - KFirstCharacter];
}

// Long strings of wide glyphs could pass the largest width; the sum stops
// there.
TInt VestraFont::stringWidth(const OString& aText, TInt aFirst, TInt aCount) const
{
    TInt64 width = 0;
    for (TInt i = aFirst; i < aFirst + aCount && width < INT32_MAX; ++i)
        width += glyph(aText.charAt(i)).width;
    return static_cast<TInt>(std::min<TInt64>(width, INT32_MAX));
}

// Stops before the first character that makes the text too wide.
TInt VestraFont::charactersFitting(const OString& aText, TInt aFirst, TInt aCount, TInt aMaxWidth) const
{
    TInt64 width = 0;
    for (TInt i = 0; i < aCount; ++i) {
        width += glyph(aText.charAt(aFirst + i)).width;
        if (width > aMaxWidth)
            return i;
    }
    return aCount;
}

// Converting the whole mask is the costly part of drawing, so each
// colouring is kept until a newer colour needs its place.
const QImage& VestraFont::colouredFor(TUint32 aColour)
{
    const TUint32 opaque = aColour | 0xFF000000u;
    for (TInt i = 0; i < iColouringsUsed; ++i) {
        if (iColourings[i].colour == opaque)
            return iColourings[i].image.image();
    }
    QList<QRgb> table(256);
    for (TInt alpha = 0; alpha < 256; ++alpha)
        table[alpha] = (opaque & 0x00FFFFFFu) | static_cast<TUint32>(alpha) << 24;
    iPixelData.setColorTable(table);
    ColouredGlyphs& slot = iColourings[iNextColouring];
    slot.image = ChargedImage();
    slot.image = ChargedImage(iPixelData.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    slot.colour = opaque;
    iNextColouring = (iNextColouring + 1) % KColourings;
    if (iColouringsUsed < KColourings)
        ++iColouringsUsed;
    return slot.image.image();
}

// Glyph cells side by side from (aX, aY), at the opacity of the colour's
// alpha; characters without a glyph do not advance. The pen may start far
// off the target, so it is kept in 64 bits and only cells on the target
// are handed to Qt, whose positions are int.
void VestraFont::draw(QPainter& aPainter, const OString& aText, TInt aFirst, TInt aCount, TInt aX, TInt aY,
                      TUint32 aColour)
{
    const QPaintDevice& target = *aPainter.device();
    if (iGlyphs.count() == 0 || aCount < 1 || aY >= target.height() || TInt64(aY) + iHeight <= 0)
        return;
    const QImage& glyphs = colouredFor(aColour);
    aPainter.save();
    if ((aColour >> 24) != 0xFF)
        aPainter.setOpacity((aColour >> 24) / 255.0);
    TInt64 penX = aX;
    for (TInt i = aFirst; i < aFirst + aCount && penX < target.width(); ++i) {
        const CharData character = glyph(aText.charAt(i));
        if (character.width > 0 && penX + character.width > 0)
            aPainter.drawImage(QPoint(static_cast<TInt>(penX), aY), glyphs,
                               QRect(character.x, 0, character.width, iHeight));
        penX += character.width;
    }
    aPainter.restore();
}
