#ifndef KELVO_CHARGEDIMAGE_H
#define KELVO_CHARGEDIMAGE_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

#include <QImage>

// A picture whose pixel memory is charged to the application's host memory
// for as long as it lives, so that pictures count towards the limit and
// make the collector run when they pile up. A null image charges nothing.
class ChargedImage {
public:
    ChargedImage() = default;
    // Takes aImage; past the host-memory limit it raises code 10 and keeps
    // nothing.
    explicit ChargedImage(QImage aImage);
    ~ChargedImage();
    ChargedImage(const ChargedImage&) = delete;
    ChargedImage& operator=(const ChargedImage&) = delete;
    ChargedImage(ChargedImage&& aOther) noexcept;
    ChargedImage& operator=(ChargedImage&& aOther) noexcept;

    QImage& image() { return iImage; }
    const QImage& image() const { return iImage; }
    TBool isNull() const { return iImage.isNull(); }

private:
    void release();

    QImage iImage;
    TUint64 iCharged = 0;
};

// A new picture of aWidth by aHeight in aFormat, checked against the pixel
// limit and charged before it is allocated.
ChargedImage newChargedImage(TInt aWidth, TInt aHeight, QImage::Format aFormat);

#endif
