// Runs each programs/*.kasm in-process, the way the host starts an
// application, with programs/Prelude.kasm.in appended, and compares what it
// logged with the program's ";! log:" lines, in order and in full.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> programNames()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(KProgramsDir))
        if (entry.path().extension() == ".kasm")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> expectedLogs(const std::string& aSource)
{
    const std::string marker = ";! log:";
    std::vector<std::string> logs;
    std::istringstream lines(aSource);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(marker, 0) == 0) {
            const std::string text = line.substr(marker.size());
            logs.push_back(text.empty() || text[0] != ' ' ? text : text.substr(1));
        }
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
