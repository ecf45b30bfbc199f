#ifndef KELVO_IMAGECHECK_H
#define KELVO_IMAGECHECK_H

#include <string>

#include "ImageFormat.h"

// Whether the machine would load an image, asked of the machine itself, so
// that the tools judge images exactly as the runtime does.
namespace ImageCheck {

struct Verdict {
    bool loadable = true;
    // When not loadable: the error text of the machine's load and its code,
    std::string loadError;
    // the error that the reading itself raised, if it raised one,
    std::string readError;
    // and what is wrong with the bytes, where that can be told.
    std::string fault;
};

Verdict check(const ImageFormat::Bytes& aBytes);

// The raw tables of an image, as the machine's reader sees them. False
// when they cannot be read.
bool read(const ImageFormat::Bytes& aBytes, ImageFormat::Image& aImage);

}

#endif
