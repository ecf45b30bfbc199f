#ifndef KELVO_NATIVEFONT_H
#define KELVO_NATIVEFONT_H

// The project's headers come before Qt's (see OString.h).
#include "CAppsFont.h"

#include <QFont>
#include <QFontMetrics>

// The platform's default font at 40 pixels. It needs a window system: made
// without one it raises code 13.
class NativeFont final : public CAppsFont {
public:
    NativeFont();

    TInt ascent() const override { return iMetrics.ascent(); }
    TInt height() const override { return iMetrics.height(); }
    TInt stringWidth(const OString& aText, TInt aFirst, TInt aCount) const override;
    TInt charactersFitting(const OString& aText, TInt aFirst, TInt aCount, TInt aMaxWidth) const override;
    TInt fontType() const override { return ENativeFontType; }
    void draw(QPainter& aPainter, const OString& aText, TInt aFirst, TInt aCount, TInt aX, TInt aY,
              TUint32 aColour) override;

    // Raises code 13 when there is no window system to draw text with.
    static void checkAvailable();

private:
    static QFont defaultFont();

    QFont iFont;
    QFontMetrics iMetrics;
};

#endif
