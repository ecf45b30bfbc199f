#ifndef KELVO_TOOLFILES_H
#define KELVO_TOOLFILES_H

#include <optional>
#include <set>
#include <string>

// The command line and file handling that kelvo-asm and kelvo-dis share:
// "TOOL [SWITCH...] INPUT [-o OUTPUT]" or "TOOL --help", whole files in
// and out, and
// messages that name the tool.
namespace ToolFiles {

struct Arguments {
    std::string input;
    std::string output;   // empty when -o was not given
    std::set<std::string> switches;   // those of the tool's switches given
};

// Nothing when aArguments hold one input, at most one -o OUTPUT and any
// of aSwitches (such as "--no-symbols"): the tool runs. Otherwise the
// status to end with at once: 0 for -h or
// --help, after printing aUsage and aHelp on standard output; 2 for any
// other command line, after printing aUsage on the standard error.
std::optional<int> parseArguments(int aArgc, char** aArgv, const char* aUsage, const char* aHelp,
                                  Arguments& aArguments, const std::set<std::string>& aSwitches = {});

// The whole file; false after printing "TOOL: cannot read ..." on failure.
bool readWhole(const char* aTool, const std::string& aPath, std::string& aContents);

// Writes aContents, replacing the file; false after printing on failure.
bool writeWhole(const char* aTool, const std::string& aPath, const std::string& aContents);

}

#endif
