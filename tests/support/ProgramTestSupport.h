#ifndef KELVO_PROGRAMTESTSUPPORT_H
#define KELVO_PROGRAMTESTSUPPORT_H

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "Assembler.h"
#include "ImageTestSupport.h"
#include "MemoryStreams.h"
#include "VirtualMachine.h"

// Machine tests write their programs in assembly (docs/assembly.md).
namespace ProgramTestSupport {

// The internal-throw hook as applications write it, for a program to end
// with: it makes an Exception of the error the machine raised (word 1 the
// code, word 2 the message) and throws it, so that the program's own
// protected regions catch machine errors.
inline const char KThrowingHook[] = R"(
.class Exception refs=2
.record throwFrame size2=2
.static "vminternalthrow<int>,<*string>" internalThrow, throwFrame

; [code, message, return address]
internalThrow:
    newarray 1, 3
    dup
    setclass Exception
    dup
    fieldaddr.s 1
    ldloc.s -5
    stind
    dup
    fieldaddr.s 2
    ldloc.s -4
    stind
    throw
)";

inline ImageFormat::Bytes assembled(const std::string& aSource)
{
    Assembler::Assembly assembly;
    std::string error;
    EXPECT_TRUE(Assembler::assemble(aSource, "test.kasm", assembly, error)) << error;
    return assembly.bytes;
}

// Makes aDirectory an application directory: the assembled program is its
// index.mcb.
inline void installProgram(const std::string& aSource, const std::string& aDirectory)
{
    const ImageFormat::Bytes bytes = assembled(aSource);
    std::ofstream image(aDirectory + "/index.mcb", std::ios::binary);
    image.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(image.good()) << aDirectory;
}

// Reads the program's tables without binding or starting anything.
inline TInt readProgram(VirtualMachine& aMachine, const std::string& aSource, const char* aName = "index.mcb")
{
    const ImageFormat::Bytes bytes = assembled(aSource);
    VESTRA::MemoryInputStream stream;
    ImageTestSupport::setStream(stream, bytes);
    TInt index = -1;
    EXPECT_TRUE(aMachine.readImage(CAppsString(aName), stream, index));
    return index;
}

// Loads the program as the host does: binds its entry points and runs main.
inline void loadProgram(VirtualMachine& aMachine, const std::string& aSource, FrameworkServices& aServices)
{
    const ImageFormat::Bytes bytes = assembled(aSource);
    VESTRA::MemoryInputStream stream;
    ImageTestSupport::setStream(stream, bytes);
    aMachine.load(stream, CAppsString("index.mcb"), &aServices);
}

}

#endif
