#ifndef KELVO_IMAGETESTSUPPORT_H
#define KELVO_IMAGETESTSUPPORT_H

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "MemoryStreams.h"
#include "RaisedCode.h"

// Images for reader and loader tests are built as ImageFormat::Image,
// written with the shared writer and, when they must be broken, patched.
namespace ImageTestSupport {

const std::size_t KMagicOffset = 1 + ImageFormat::KIdentityLength;
const std::size_t KWidthsOffset = KMagicOffset + 2;

inline ImageFormat::Bytes text(const char* aText)
{
    return ImageFormat::Bytes(aText, aText + std::strlen(aText));
}

inline ImageFormat::Bytes bytesOf(const ImageFormat::Image& aImage)
{
    ImageFormat::Bytes bytes;
    std::string error;
    EXPECT_TRUE(ImageWriter::write(aImage, bytes, error)) << error;
    return bytes;
}

inline void appendWord(ImageFormat::Bytes& aBytes, TUint32 aValue)
{
    for (int i = 0; i < 4; ++i)
        aBytes.push_back(static_cast<TUint8>(aValue >> (8 * i)));
}

inline void putWord(ImageFormat::Bytes& aBytes, std::size_t aOffset, TUint32 aValue)
{
    for (int i = 0; i < 4; ++i)
        aBytes[aOffset + i] = static_cast<TUint8>(aValue >> (8 * i));
}

inline void setStream(VESTRA::MemoryInputStream& aStream, const ImageFormat::Bytes& aBytes)
{
    static const TUint8 KNothing = 0;
    aStream.setBuffer(aBytes.empty() ? &KNothing : aBytes.data(), static_cast<TInt>(aBytes.size()));
}

}

#endif
