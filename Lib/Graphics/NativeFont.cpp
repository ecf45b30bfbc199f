#include "NativeFont.h"

#include "ErrorHandling.h"

#include <QGuiApplication>

namespace {

const TInt KPixelSize = 40;
// Text is laid out in a box this large from its top-left corner.
const TInt KTextBox = 32767;
const TInt KCoordinateLimit = 1 << 24;

QString unitsOf(const OString& aText, TInt aFirst, TInt aCount)
{
    return aText.toQString().mid(aFirst, aCount);
}

TInt clamped(TInt aValue)
{
    return aValue < -KCoordinateLimit ? -KCoordinateLimit : aValue > KCoordinateLimit ? KCoordinateLimit : aValue;
}

}

// Qt's fonts need the application object of a window system.
void NativeFont::checkAvailable()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        ErrorHandling::raise(EUnsupportedFeature, "Fonts need a window system");
}

QFont NativeFont::defaultFont()
{
    checkAvailable();
    QFont font;
    font.setPixelSize(KPixelSize);
    return font;
}

NativeFont::NativeFont() : iFont(defaultFont()), iMetrics(iFont)
{
}

TInt NativeFont::stringWidth(const OString& aText, TInt aFirst, TInt aCount) const
{
    if (aCount < 1)
        return 0;
    return iMetrics.horizontalAdvance(unitsOf(aText, aFirst, aCount));
}

// Prefix by prefix, as the width of a prefix is not the sum of its
// characters' widths.
TInt NativeFont::charactersFitting(const OString& aText, TInt aFirst, TInt aCount, TInt aMaxWidth) const
{
    if (aCount < 1)
        return 0;
    const QString units = unitsOf(aText, aFirst, aCount);
    for (TInt n = 1; n <= units.length(); ++n) {
        if (iMetrics.horizontalAdvance(units.left(n)) > aMaxWidth)
            return n - 1;
    }
    return aCount;
}

// (aX, aY) is the top-left corner of the text, not its baseline.
void NativeFont::draw(QPainter& aPainter, const OString& aText, TInt aFirst, TInt aCount, TInt aX, TInt aY,
                      TUint32 aColour)
{
    if (aCount < 1)
        return;
    aPainter.setPen(colourOf(aColour));
    const QRect box(clamped(aX), clamped(aY), KTextBox + 1, KTextBox + 1);
    aPainter.drawText(box, Qt::AlignLeft | Qt::AlignTop, unitsOf(aText, aFirst, aCount));
}
