// Runs each programs/*.kasm in-process, the way the host starts an
// application, and compares what it logged with the program's ";! log:"
// lines, in order and in full. Programs end by returning from main or by
// System 1. Programs/Prelude.kasm.in is appended to each program first.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
#include "RecordingServices.h"

namespace {

namespace fs = std::filesystem;

const fs::path KProgramsDir(KELVO_NATIVE_PROGRAMS_DIR);

std::string readFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> programNames()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(KProgramsDir)) {
        if (entry.path().extension() == ".kasm")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> expectedLogs(const std::string& aSource)
{
    const std::string marker = ";! log:";
    std::vector<std::string> logs;
    std::istringstream lines(aSource);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, marker.size(), marker) != 0)
            continue;
        std::string text = line.substr(marker.size());
        logs.push_back(text.empty() || text[0] != ' ' ? text : text.substr(1));
    }
    return logs;
}

class NativePrograms : public ::testing::TestWithParam<std::string> {
};

}

TEST_P(NativePrograms, LogsWhatItsSourceSays)
{
    const std::string source = readFile(KProgramsDir / (GetParam() + ".kasm"));
    const std::string prelude = readFile(KProgramsDir / "Prelude.kasm.in");
    ASSERT_FALSE(prelude.empty());
    RecordingServices services;
    VirtualMachine machine;
    try {
        ProgramTestSupport::loadProgram(machine, source + "\n" + prelude, services);
    } catch (const ApplicationExit&) {
    } catch (const ErrorHandlingException&) {
        ADD_FAILURE() << "the machine stopped: " << RecordingServices::text(ErrorHandling::currentErrorText());
    }
    EXPECT_EQ(services.logLines, expectedLogs(source));
}

INSTANTIATE_TEST_SUITE_P(Programs, NativePrograms, ::testing::ValuesIn(programNames()),
                         [](const ::testing::TestParamInfo<std::string>& aInfo) { return aInfo.param; });
