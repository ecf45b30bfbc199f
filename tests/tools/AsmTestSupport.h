#ifndef KELVO_ASMTESTSUPPORT_H
#define KELVO_ASMTESTSUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "Assembler.h"

// Assembles text that is expected to be correct; a failure is reported
// with the assembler's message.
inline Assembler::Assembly assembleOk(const std::string& aSource)
{
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_TRUE(Assembler::assemble(aSource, "t.kasm", assembly, error)) << error;
    return assembly;
}

// The assembler's message for text that is expected to be wrong.
inline std::string assembleError(const std::string& aSource)
{
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_FALSE(Assembler::assemble(aSource, "t.kasm", assembly, error)) << aSource;
    return error;
}

// Offsets of the header bytes in an image file.
const std::size_t KIdentityAt = 1;
const std::size_t KMagicAt = 21;
const std::size_t KWidthsAt = 23;
const std::size_t KStaticTableAt = 32;

#endif
