// Runs random programs, written by generate_programs as a plain compiler
// writes them, in every way the interpreter can run code: with and
// without the fused handlers, with and without the register form. Each
// way must do exactly what the plain instructions do, in everything a run
// shows (RunOutcome.h): run to the end, stopped by budgets that run out at
// points spread over the whole run, inside regions and fused sequences as
// much as between them, and with a collection at every allocation. The
// execution fuzzer varies bytes; these programs are whole loops, calls and
// vectors of the shapes a compiler writes, which random bytes seldom form.
//
// KELVO_GENERATED_PROGRAMS names another directory of programs to run,
// for a longer sweep:
//   tests/vm/generate_programs --seed 7 --count 500 --out /tmp/programs
//   KELVO_GENERATED_PROGRAMS=/tmp/programs build/tests/vm/generated_programs_tests

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "ProgramTestSupport.h"
#include "RunOutcome.h"

namespace {

namespace fs = std::filesystem;

struct Mode {
    const char* name;
    TBool fusion;
    TBool registerForm;
};

const Mode KPlain = {"plain", EFalse, EFalse};
const Mode KOtherModes[] = {
    {"fused", ETrue, EFalse},
    {"register form", EFalse, ETrue},
    {"fused, register form", ETrue, ETrue},
};

// Enough transfers for every program the generator writes but a few with
// long nested loops, which are then compared up to where it runs out.
const TInt64 KFullBudget = 400000;
// Where a budget stops the run: this many cuts over the transfers a whole
// run counts, and the first few transfers.
const TInt KCuts = 9;
const TInt64 KEarlyCuts[] = {1, 2, 3, 5};
// The programs run in this many shards, which CTest runs in parallel.
const TInt KShards = 8;

fs::path programsDirectory()
{
    const char* other = std::getenv("KELVO_GENERATED_PROGRAMS");
    return other && *other ? fs::path(other) : fs::path(KELVO_GENERATED_PROGRAMS_DIR);
}

std::vector<fs::path> programs()
{
    std::vector<fs::path> paths;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(programsDirectory(), error)) {
        if (entry.path().extension() == ".kasm")
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string readFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One run of the image, with a budget (negative: none) and a collection
// interval (0: as applications run).
RunOutcome run(const ImageFormat::Bytes& aImage, const Mode& aMode, TInt64 aBudget, TUint32 aCollectionInterval)
{
    // Cleared before the machine is made (see recordRun).
    ErrorHandling::clearError();
    RecordingServices services;
    VirtualMachine machine;
    machine.setFusion(aMode.fusion);
    machine.setRegisterForm(aMode.registerForm);
    machine.heap().setCollectionInterval(aCollectionInterval);
    machine.setInstructionBudget(aBudget);
    return recordRun(machine, services, [&] {
        VESTRA::MemoryInputStream stream;
        ImageTestSupport::setStream(stream, aImage);
        machine.load(stream, CAppsString("index.mcb"), &services);
    });
}

// Every other way against the plain run; without a budget, the budget
// left is not compared.
void expectSameInEveryMode(const ImageFormat::Bytes& aImage, TInt64 aBudget, TUint32 aCollectionInterval,
                           const RunOutcome& aPlain)
{
    for (const Mode& mode : KOtherModes) {
        RunOutcome other = run(aImage, mode, aBudget, aCollectionInterval);
        if (aBudget < 0)
            other.budgetLeft = aPlain.budgetLeft;
        EXPECT_TRUE(other == aPlain) << "budget " << aBudget << ", collection interval " << aCollectionInterval
                                     << "\nplain: " << describe(aPlain) << mode.name << ": " << describe(other)
                                     << memoryDifference(aPlain, other);
    }
}

void expectSameEverywhere(const fs::path& aProgram)
{
    SCOPED_TRACE(aProgram.string());
    const ImageFormat::Bytes image = ProgramTestSupport::assembled(readFile(aProgram));
    ASSERT_FALSE(image.empty());
    const RunOutcome whole = run(image, KPlain, KFullBudget, 0);
    const TInt64 used = KFullBudget - whole.budgetLeft;
    // A program may end in an error, even the fatal one of a recursion
    // that overflows the stack, but it must have run.
    ASSERT_GT(used, 0) << describe(whole);
    expectSameInEveryMode(image, KFullBudget, 0, whole);
    if (whole.budgetLeft > 0) {
        const RunOutcome unbudgeted = run(image, KPlain, -1, 0);
        RunOutcome comparable = unbudgeted;
        comparable.budgetLeft = whole.budgetLeft;
        EXPECT_TRUE(comparable == whole) << describe(whole) << describe(unbudgeted);
        expectSameInEveryMode(image, -1, 0, whole);
        expectSameInEveryMode(image, KFullBudget, 1, run(image, KPlain, KFullBudget, 1));
    }
    std::vector<TInt64> cuts(std::begin(KEarlyCuts), std::end(KEarlyCuts));
    for (TInt i = 1; i <= KCuts; ++i)
        cuts.push_back(used * i / (KCuts + 1) + i);
    for (const TInt64 cut : cuts) {
        if (cut < used)
            expectSameInEveryMode(image, cut, 0, run(image, KPlain, cut, 0));
    }
}

class GeneratedPrograms : public testing::TestWithParam<TInt> {
};

TEST_P(GeneratedPrograms, RunTheSameInEveryWay)
{
    const std::vector<fs::path> paths = programs();
    ASSERT_FALSE(paths.empty()) << "no programs in " << programsDirectory();
    for (std::size_t i = static_cast<std::size_t>(GetParam()); i < paths.size(); i += KShards)
        expectSameEverywhere(paths[i]);
}

INSTANTIATE_TEST_SUITE_P(Shards, GeneratedPrograms, testing::Range(0, KShards));

}
