#ifndef KELVO_ASMSYNTAX_H
#define KELVO_ASMSYNTAX_H

#include <string>

#include "ImageFormat.h"

// Vocabulary that the assembler reads and the disassembler writes, kept in
// one place so that what one prints the other accepts.
namespace AsmSyntax {

// The name of header width aWidth in ".width NAME=N".
const char* widthName(TInt aWidth);

// The header width called aName, or -1.
TInt findWidth(const std::string& aName);

// A quoted literal that reads back as exactly aBytes: well-formed UTF-8
// stays as it is, except control characters; every other byte becomes
// \xNN.
std::string quote(const ImageFormat::Bytes& aBytes);

}

#endif
