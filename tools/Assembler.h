#ifndef KELVO_ASSEMBLER_H
#define KELVO_ASSEMBLER_H

#include <string>

#include "ImageFormat.h"

// Turns assembly text (docs/assembly.md) into a bytecode image.
namespace Assembler {

struct Assembly {
    ImageFormat::Image image;
    // The file's bytes. They differ from the image written out only where
    // the text forces header bytes the image model cannot express (identity
    // length, magic) or cuts the file short.
    ImageFormat::Bytes bytes;
};

// Assembles aSource. On failure answers false with aError as
// "FILE:LINE: reason" for the first problem found.
bool assemble(const std::string& aSource, const std::string& aFileName, Assembly& aAssembly,
              std::string& aError);

}

#endif
