#ifndef KELVO_VESTRAFONT_H
#define KELVO_VESTRAFONT_H

// The project's headers come before Qt's (see OString.h).
#include "CAppsFont.h"
#include "ChargedImage.h"
#include "Vec.h"

#include <QImage>

// A bitmap font cut out of an image. The last row of the image marks where
// glyphs start: glyph 0 (the space) runs from column 1 to the first marker
// at column 2 or beyond, each marker starts the next glyph, and glyph i
// stands for character 32 + i. Column 0 counts the ascent from the top.
// The other rows are coverage masks, coloured when the text is drawn.
class VestraFont final : public CAppsFont {
public:
    // Raises code 6 with an empty message for a marker in column 1.
    explicit VestraFont(const QImage& aImage);

    TInt ascent() const override { return iAscent; }
    TInt height() const override { return iHeight; }
    TInt stringWidth(const OString& aText, TInt aFirst, TInt aCount) const override;
    TInt charactersFitting(const OString& aText, TInt aFirst, TInt aCount, TInt aMaxWidth) const override;
    TInt fontType() const override { return EBitmapFontType; }
    void draw(QPainter& aPainter, const OString& aText, TInt aFirst, TInt aCount, TInt aX, TInt aY,
              TUint32 aColour) override;

    struct CharData {
        TInt x;
        TInt width;
    };
    // The glyph of a character; width 0 for none.
    CharData glyph(TUint16 aCharacter) const;
    TInt glyphCount() const { return iGlyphs.count(); }

private:
    // The glyph mask coloured for one colour (alpha taken as opaque).
    struct ColouredGlyphs {
        TUint32 colour = 0;
        ChargedImage image;
    };
    // Colourings kept at once: text in a few colours alternating, as menus
    // and highlighted items draw it, converts each colour once.
    static constexpr TInt KColourings = 4;

    void readMask(const QImage& aImage);
    void readAscent(const QImage& aImage);
    void readGlyphs(const QImage& aImage);
    const QImage& colouredFor(TUint32 aColour);

    TInt iAscent = 0;
    TInt iHeight = 0;
    Vec<CharData> iGlyphs;
    QImage iPixelData;
    ColouredGlyphs iColourings[KColourings];
    TInt iColouringsUsed = 0;
    TInt iNextColouring = 0;
};

#endif
