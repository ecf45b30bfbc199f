#ifndef KELVO_BITMAPCONTAINER_H
#define KELVO_BITMAPCONTAINER_H

// The project's headers come before Qt's (see OString.h).
#include "ChargedImage.h"
#include "GCObject.h"
#include "Types.h"

#include <memory>

#include <QIODevice>
#include <QRect>
#include <QSize>

// A picture the application owns in the heap, as the bitmap natives see it.
class VMBitmap : public GCObject {
public:
    // Writes the picture in aFormat ("png", ...); false when the writer fails.
    virtual TBool save(QIODevice& aDevice, const char* aFormat) = 0;
    // Fills this bitmap with aSource scaled to this bitmap's size.
    virtual void scaledFrom(VMBitmap& aSource, Qt::TransformationMode aMode) = 0;
    // Fills this bitmap with aArea of aSource; aArea has this bitmap's size.
    virtual void copyFrom(VMBitmap& aSource, const QRect& aArea) = 0;
    virtual void fill(TUint32 aColour) = 0;
    virtual TUint32 pixel(TInt aX, TInt aY) = 0;
    virtual void setPixel(TInt aX, TInt aY, TUint32 aColour) = 0;
    virtual QSize size() const = 0;
};

// A bitmap holds its pixels in one of two forms. The picture is what
// painters draw from and into (premultiplied, the raster engine's own
// format). The cache holds exact 0xAARRGGBB values for pixel access and
// translucent fills. While the cache exists it is the newest; the first use
// as a picture turns it back into a new picture. Surfaces that still paint
// into the old picture keep it alive through their shared pointer.
class BitmapContainer final : public VMBitmap {
public:
    // Undefined pixels until filled; the size is checked against the pixel
    // limit and charged to host memory.
    BitmapContainer(TInt aWidth, TInt aHeight);
    // Adopts a decoded picture.
    explicit BitmapContainer(const QImage& aPicture);

    TBool save(QIODevice& aDevice, const char* aFormat) override;
    void scaledFrom(VMBitmap& aSource, Qt::TransformationMode aMode) override;
    void copyFrom(VMBitmap& aSource, const QRect& aArea) override;
    void fill(TUint32 aColour) override;
    TUint32 pixel(TInt aX, TInt aY) override;
    void setPixel(TInt aX, TInt aY, TUint32 aColour) override;
    QSize size() const override;

    // The picture with the newest pixels, to draw or to draw into.
    const QImage& picture() { return sharedPicture()->image(); }
    std::shared_ptr<ChargedImage> sharedPicture();
    // The newest pixels in whichever form holds them.
    const QImage& current() const;

private:
    void ensureCache();

    std::shared_ptr<ChargedImage> iPicture;
    ChargedImage iCache;
};

#endif
