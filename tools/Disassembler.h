#ifndef KELVO_DISASSEMBLER_H
#define KELVO_DISASSEMBLER_H

#include <string>

#include "ImageFormat.h"

// Prints an image as assembly text (docs/assembly.md).
namespace Disassembler {

// The text assembles back into exactly the bytes that aImage is written
// as: every width is printed, and an operand that names nothing valid (an
// address inside an instruction, an index beyond its table) stays a number.
std::string disassemble(const ImageFormat::Image& aImage);

}

#endif
