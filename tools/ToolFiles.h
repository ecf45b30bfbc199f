#ifndef KELVO_TOOLFILES_H
#define KELVO_TOOLFILES_H

#include <string>

// The command line and file handling that kelvo-asm and kelvo-dis share:
// "TOOL INPUT [-o OUTPUT]", whole files in and out, and messages that name
// the tool.
namespace ToolFiles {

struct Arguments {
    std::string input;
    std::string output;   // empty when -o was not given
};

// False (after printing aUsage) for anything but one input and at most one
// -o OUTPUT.
bool parseArguments(int aArgc, char** aArgv, const char* aUsage, Arguments& aArguments);

// The whole file; false after printing "TOOL: cannot read ..." on failure.
bool readWhole(const char* aTool, const std::string& aPath, std::string& aContents);

// Writes aContents, replacing the file; false after printing on failure.
bool writeWhole(const char* aTool, const std::string& aPath, const std::string& aContents);

}

#endif
