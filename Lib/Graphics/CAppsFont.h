#ifndef KELVO_CAPPSFONT_H
#define KELVO_CAPPSFONT_H

// The project's headers come before Qt's (see OString.h).
#include "GCObject.h"
#include "OString.h"
#include "Types.h"

#include <QPainter>

// A font as the natives see it: measured in whole pixels over a range of a
// string's units, and drawn with (aX, aY) as the top-left corner of the
// text. Ranges are checked by the caller.
class CAppsFont : public GCObject {
public:
    enum TFontType { ENativeFontType = 0, EBitmapFontType = 1 };

    virtual TInt ascent() const = 0;
    virtual TInt height() const = 0;
    virtual TInt stringWidth(const OString& aText, TInt aFirst, TInt aCount) const = 0;
    // How many units from aFirst, at most aCount, fit into aMaxWidth.
    virtual TInt charactersFitting(const OString& aText, TInt aFirst, TInt aCount, TInt aMaxWidth) const = 0;
    virtual TInt fontType() const = 0;
    virtual void draw(QPainter& aPainter, const OString& aText, TInt aFirst, TInt aCount, TInt aX, TInt aY,
                      TUint32 aColour) = 0;
};

// The painter colour of an 0xAARRGGBB value.
inline QColor colourOf(TUint32 aColour)
{
    return QColor(static_cast<int>((aColour >> 16) & 0xFF), static_cast<int>((aColour >> 8) & 0xFF),
                  static_cast<int>(aColour & 0xFF), static_cast<int>(aColour >> 24));
}

#endif
