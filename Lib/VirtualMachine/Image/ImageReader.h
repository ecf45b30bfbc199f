#ifndef KELVO_IMAGEREADER_H
#define KELVO_IMAGEREADER_H

#include "ImageFormat.h"
#include "Stream.h"

// Reads a bytecode image from a stream into its raw form, front to back,
// checking the header and every table as it goes. A malformed image never
// makes the reader read outside the stream or allocate more than the rest
// of the stream could describe.
class ImageReader {
public:
    explicit ImageReader(VESTRA::InputStream& aStream);

    // Identity length and identity. False when the length is not 20 or
    // fewer than 20 identity bytes arrive.
    TBool readIdentity(ImageFormat::Image& aImage);

    // Everything after the identity: magic, widths, the five tables and the
    // code bytes (all that remains of the stream). False on a bad magic byte,
    // width or flag byte; a short read raises code 10.
    TBool readBody(ImageFormat::Image& aImage);

private:
    VESTRA::InputStream& iStream;
};

#endif
