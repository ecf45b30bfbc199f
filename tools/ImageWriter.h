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

// The image's bytes. Returns false and describes the problem in aError when
// a value does not fit the width chosen for it or a width is not 1, 2 or 4.
bool write(const ImageFormat::Image& aImage, ImageFormat::Bytes& aOut, std::string& aError);

// The smallest of 1, 2, 4 that holds aValue as an unsigned number.
TUint8 widthFor(TUint32 aValue);

}

#endif
