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
