#include "ChargedImage.h"

#include "ErrorHandling.h"
#include "HostMemory.h"
#include "PixelLimit.h"

ChargedImage::ChargedImage(QImage aImage)
{
    const TUint64 bytes = static_cast<TUint64>(aImage.sizeInBytes());
    HostMemory::charge(bytes);
    iImage = std::move(aImage);
    iCharged = bytes;
}

ChargedImage::~ChargedImage()
{
    release();
}

ChargedImage::ChargedImage(ChargedImage&& aOther) noexcept
    : iImage(std::move(aOther.iImage)), iCharged(aOther.iCharged)
{
    aOther.iImage = QImage();
    aOther.iCharged = 0;
}

ChargedImage& ChargedImage::operator=(ChargedImage&& aOther) noexcept
{
    if (this != &aOther) {
        release();
        iImage = std::move(aOther.iImage);
        iCharged = aOther.iCharged;
        aOther.iImage = QImage();
        aOther.iCharged = 0;
    }
    return *this;
}

void ChargedImage::release()
{
    HostMemory::release(iCharged);
    iCharged = 0;
    iImage = QImage();
}

// Charging first means a request past the limit never reaches the
// allocator; an allocation Qt refuses all the same is the same error.
ChargedImage newChargedImage(TInt aWidth, TInt aHeight, QImage::Format aFormat)
{
    PixelLimit::check(aWidth, aHeight);
    HostMemory::charge(PixelLimit::bytes(aWidth, aHeight));
    QImage image(aWidth, aHeight, aFormat);
    HostMemory::release(PixelLimit::bytes(aWidth, aHeight));
    if (image.isNull())
        ErrorHandling::raise(EVMError, "Out of VM memory");
    return ChargedImage(std::move(image));
}
