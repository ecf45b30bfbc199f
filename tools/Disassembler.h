#ifndef KELVO_DISASSEMBLER_H
#define KELVO_DISASSEMBLER_H

#include <string>

#include "ImageFormat.h"
#include "SymbolFile.h"

// Prints an image as assembly text (docs/assembly.md).
namespace Disassembler {

// The text assembles back into exactly the bytes that aImage is written
// as: every width is printed, and an operand that names nothing valid (an
// address inside an instruction, an index beyond its table) stays a number.
// With aSymbols (those of the image), every label of an instruction is
// printed and named, methods are marked, classes are named and each
// instruction says the source line it came from; a symbol that could not
// be assembled back (a name given twice, or spelled like the names printed
// without symbols) is left out.
std::string disassemble(const ImageFormat::Image& aImage, const SymbolFile::Symbols* aSymbols = nullptr);

}

#endif
