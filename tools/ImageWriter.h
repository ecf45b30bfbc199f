#ifndef KELVO_IMAGEWRITER_H
#define KELVO_IMAGEWRITER_H

#include <string>

#include "ImageFormat.h"

// Serialises an image to the bytes of an index.mcb file, and chooses the
// narrowest widths that hold its values. Used by the assembler and by tests
// that build images directly.
namespace ImageWriter {

// Sets the nine header widths and every record's slot width to the
// smallest of 1, 2 and 4 bytes that holds all the values they cover.
void chooseSmallestWidths(ImageFormat::Image& aImage);

// The largest value that each header width has to hold, in header order.
void largestValues(const ImageFormat::Image& aImage, TUint32 aLargest[ImageFormat::EWidthCount]);

// The largest slot index that a record's own slot width has to hold.
TUint32 largestSlot(const ImageFormat::ClassRecord& aClass);
TUint32 largestSlot(const ImageFormat::MethodRecord& aRecord);

// The image's bytes. Any width byte is written as given, so that broken
// images can be made; a value of width w takes w bytes (zero beyond the
// fourth). Returns false and describes the problem in aError when a value
// does not fit the width chosen for it.
bool write(const ImageFormat::Image& aImage, ImageFormat::Bytes& aOut, std::string& aError);

// The smallest of 1, 2, 4 that holds aValue as an unsigned number.
TUint8 widthFor(TUint32 aValue);

// Whether aValue can be written in aWidth bytes.
bool fits(TUint32 aValue, TUint8 aWidth);

}

#endif
