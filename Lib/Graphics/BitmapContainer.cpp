#include "BitmapContainer.h"

#include "ErrorHandling.h"
#include "PixelLimit.h"

namespace {

const QImage::Format KPictureFormat = QImage::Format_ARGB32_Premultiplied;
const QImage::Format KCacheFormat = QImage::Format_ARGB32;

// Conversions allocate a whole picture; they are checked and charged like
// any other.
ChargedImage converted(const QImage& aImage, QImage::Format aFormat)
{
    PixelLimit::check(aImage.width(), aImage.height());
    QImage result = aImage.convertToFormat(aFormat);
    if (result.isNull())
        ErrorHandling::raise(EVMError, "Out of VM memory");
    return ChargedImage(std::move(result));
}

}

BitmapContainer::BitmapContainer(TInt aWidth, TInt aHeight)
    : iPicture(std::make_shared<ChargedImage>(newChargedImage(aWidth, aHeight, KPictureFormat)))
{
}

BitmapContainer::BitmapContainer(const QImage& aPicture)
    : iPicture(std::make_shared<ChargedImage>(converted(aPicture, KPictureFormat)))
{
}

// The cache, when it exists, becomes a new picture; the old one lives on
// only as long as a surface still holds it.
std::shared_ptr<ChargedImage> BitmapContainer::sharedPicture()
{
    if (!iCache.isNull()) {
        iPicture = std::make_shared<ChargedImage>(converted(iCache.image(), KPictureFormat));
        iCache = ChargedImage();
    }
    return iPicture;
}

const QImage& BitmapContainer::current() const
{
    return iCache.isNull() ? iPicture->image() : iCache.image();
}

// Pixel access converts the picture once, not once per pixel.
void BitmapContainer::ensureCache()
{
    if (iCache.isNull())
        iCache = converted(iPicture->image(), KCacheFormat);
}

// Encoding reads whichever form is newest, without converting.
TBool BitmapContainer::save(QIODevice& aDevice, const char* aFormat)
{
    return current().save(&aDevice, aFormat);
}

void BitmapContainer::scaledFrom(VMBitmap& aSource, Qt::TransformationMode aMode)
{
    const BitmapContainer& source = static_cast<BitmapContainer&>(aSource);
    const QImage scaled = source.current().scaled(size(), Qt::IgnoreAspectRatio, aMode);
    iPicture = std::make_shared<ChargedImage>(converted(scaled, KPictureFormat));
    iCache = ChargedImage();
}

void BitmapContainer::copyFrom(VMBitmap& aSource, const QRect& aArea)
{
    const BitmapContainer& source = static_cast<BitmapContainer&>(aSource);
    iPicture = std::make_shared<ChargedImage>(converted(source.current().copy(aArea), KPictureFormat));
    iCache = ChargedImage();
}

// An opaque fill goes to the picture; a translucent one is written into
// the cache as it is, so that its alpha reads back exactly.
void BitmapContainer::fill(TUint32 aColour)
{
    if ((aColour >> 24) == 0xFF) {
        sharedPicture();
        iPicture->image().fill(QColor::fromRgba(aColour));
    } else {
        ensureCache();
        iCache.image().fill(aColour);
    }
}

// Positions are checked by the natives, which own the messages.
TUint32 BitmapContainer::pixel(TInt aX, TInt aY)
{
    ensureCache();
    return reinterpret_cast<const TUint32*>(iCache.image().constScanLine(aY))[aX];
}

void BitmapContainer::setPixel(TInt aX, TInt aY, TUint32 aColour)
{
    ensureCache();
    reinterpret_cast<TUint32*>(iCache.image().scanLine(aY))[aX] = aColour;
}

QSize BitmapContainer::size() const
{
    return iPicture->image().size();
}
