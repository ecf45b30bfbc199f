// Runs each port of the "Are We Fast Yet" suite in bench/awfy in-process,
// the way the host starts an application, for one inner iteration instead
// of the suite's count, so that a port that stops computing what the
// original computes is caught before it is timed. Each port checks its
// own result every iteration and logs "NAME: ok" at the end; a failed
// check is thrown as an exception that the application logs before it
// ends.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "ProgramTestSupport.h"
#include "RecordingServices.h"

namespace {

namespace fs = std::filesystem;

const fs::path KAwfyDir(KELVO_AWFY_PROGRAMS_DIR);

std::string readFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> programNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(KAwfyDir, error)) {
        if (entry.path().extension() == ".kasm")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The port with its inner iterations set to aCount; the count must be there
// exactly once.
std::string withInnerIterations(const std::string& aSource, TInt aCount)
{
    static const std::regex KCount(R"(ldc [0-9]+( +; INNER_ITERATIONS\n))");
    EXPECT_EQ(std::distance(std::sregex_iterator(aSource.begin(), aSource.end(), KCount), std::sregex_iterator()), 1);
    return std::regex_replace(aSource, KCount, "ldc " + std::to_string(aCount) + "$1");
}

// What the program logged before it ended the application. With a
// collection interval, a collection is due once that many bytes more are
// held than after the last one; the machine makes it at its next safe
// point.
std::vector<std::string> logsOf(const std::string& aSource, TUint32 aCollectionInterval = 0)
{
    RecordingServices services;
    VirtualMachine machine;
    machine.heap().setCollectionInterval(aCollectionInterval);
    try {
        ProgramTestSupport::loadProgram(machine, aSource, services);
        ADD_FAILURE() << "the program did not end the application";
    } catch (const ApplicationExit&) {
    } catch (const ErrorHandlingException&) {
        ADD_FAILURE() << "the machine stopped: " << RecordingServices::text(ErrorHandling::currentErrorText());
    }
    return services.logLines;
}

// The port with the first constant aValue that it checks a result against
// made aWrong, so that its check fails.
std::string expecting(std::string aSource, TInt aValue, TInt aWrong)
{
    const std::string value = "    ldc " + std::to_string(aValue) + "\n";
    const std::size_t at = aSource.find(value);
    EXPECT_NE(at, std::string::npos) << value;
    if (at != std::string::npos)
        aSource.replace(at, value.size(), "    ldc " + std::to_string(aWrong) + "\n");
    return aSource;
}

class AwfyPrograms : public ::testing::TestWithParam<std::string> {
};

}

TEST(AwfyProgramsSet, HoldsTheSuitesMicroBenchmarksRichardsAndDeltaBlue)
{
    const std::vector<std::string> names = programNames();
    for (const char* name :
         {"Bounce", "DeltaBlue", "List", "Permute", "Queens", "Richards", "Sieve", "Storage", "Towers"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

TEST_P(AwfyPrograms, PassesItsResultCheck)
{
    const std::string source = readFile(KAwfyDir / (GetParam() + ".kasm"));
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(logsOf(withInnerIterations(source, 1)), std::vector<std::string>{GetParam() + ": ok"});
}

// The frame records and class tables of a port must name every slot and
// field that holds a reference: with a collection every 64 bytes or so,
// one left out is freed while the port still uses it.
TEST_P(AwfyPrograms, PassesItsResultCheckWithFrequentCollections)
{
    const std::string source = readFile(KAwfyDir / (GetParam() + ".kasm"));
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(logsOf(withInnerIterations(source, 1), 64), std::vector<std::string>{GetParam() + ": ok"});
}

INSTANTIATE_TEST_SUITE_P(Ports, AwfyPrograms, ::testing::ValuesIn(programNames()),
                         [](const ::testing::TestParamInfo<std::string>& aInfo) { return aInfo.param; });

// A port whose result is wrong must say so rather than log success: Sieve
// made to expect one prime more than there are.
TEST(AwfyProgramsCheck, AWrongResultIsLoggedInsteadOfSuccess)
{
    const std::string source = withInnerIterations(readFile(KAwfyDir / "Sieve.kasm"), 1);
    EXPECT_EQ(logsOf(expecting(source, 669, 670)), std::vector<std::string>{"Sieve: wrong result"});
}

// DeltaBlue's inner iterations are the size of its two tests, and at one
// the projection checks nothing past its first two values: at 50 the chain
// is long enough to propagate through and every projection is checked, also
// with the vectors grown and compacted under frequent collections.
TEST(AwfyProgramsCheck, DeltaBlueSolvesAChainAndAProjectionOfFifty)
{
    const std::string source = withInnerIterations(readFile(KAwfyDir / "DeltaBlue.kasm"), 50);
    EXPECT_EQ(logsOf(source), std::vector<std::string>{"DeltaBlue: ok"});
    EXPECT_EQ(logsOf(source, 64), std::vector<std::string>{"DeltaBlue: ok"});
}

// A failed check of DeltaBlue's tests ends the run with its message: the
// first projection made to expect another value.
TEST(AwfyProgramsCheck, DeltaBlueReportsAFailedProjection)
{
    const std::string source = withInnerIterations(readFile(KAwfyDir / "DeltaBlue.kasm"), 50);
    EXPECT_EQ(logsOf(expecting(source, 1170, 1171)), std::vector<std::string>{"Projection 1 failed"});
}
