#ifndef KELVO_FUZZEDIMAGE_H
#define KELVO_FUZZEDIMAGE_H

#include <cstddef>
#include <cstdint>

#include "CAppsString.h"
#include "FrameworkServices.h"
#include "MemoryStreams.h"
#include "VirtualMachine.h"

// The machine every fuzz input runs in: a small arena, so that a program
// allocating all it can stays within the fuzzer's memory limit. A machine
// is made for every run; the arena's reservation is the last run's,
// cleared (Arena.h), so making one costs little. Each fuzzer gives its
// runs a budget of jumps, calls and returns, so that every run ends: a
// loop that raises an error on every turn costs tens of microseconds a
// turn, and the budget bounds what the slowest inputs cost.
constexpr TUint32 KFuzzArenaLimit = Arena::KGuardSize + 32 * 1024 * 1024;
// Every run draws the same random numbers.
constexpr TUint32 KFuzzRandomSeed = 5489;

// How often collections come while the image runs, chosen by the first
// byte of its identity, which nothing reads while only one image is
// loaded: mostly as applications run, in one run in eight once every 4096
// bytes allocated, and in one in eight at every allocation, so that an
// object that only a host variable holds across an allocation is freed
// while that variable is in use. A collection at every allocation scans
// every frame, so those runs get a tenth of the budget, which bounds both.
struct FuzzedCollections {
    TUint32 interval;
    TInt64 budget;
};

inline FuzzedCollections fuzzedCollections(const std::uint8_t* aData, std::size_t aSize, TInt64 aBudget)
{
    if (aSize > 1 && aData[1] % 8 == 1)
        return {1, aBudget / 10};
    if (aSize > 1 && aData[1] % 8 == 2)
        return {4096, aBudget};
    return {0, aBudget};
}

// Loads the input as the application's image and runs its "main" in
// aMachine, made with KFuzzArenaLimit, with a budget of aBudget transfers
// (negative: none, for runs known to end within it). Whatever the run
// raises leaves through the caller.
inline void runFuzzedImage(VirtualMachine& aMachine, FrameworkServices& aServices, const std::uint8_t* aData,
                           std::size_t aSize, TInt64 aBudget)
{
    static const TUint8 KNothing = 0;
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(aSize > 0 ? aData : &KNothing, static_cast<TInt>(aSize));
    VirtualMachine::setCurrent(&aMachine);
    aMachine.setInstructionBudget(aBudget);
    aMachine.load(stream, CAppsString("index.mcb"), &aServices);
}

#endif
