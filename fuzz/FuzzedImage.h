#ifndef KELVO_FUZZEDIMAGE_H
#define KELVO_FUZZEDIMAGE_H

#include <cstddef>
#include <cstdint>

#include "CAppsString.h"
#include "FrameworkServices.h"
#include "MemoryStreams.h"
#include "VirtualMachine.h"

// The machine every fuzz input runs in: a small arena, so that a program
// allocating all it can stays within the fuzzer's memory limit, and a
// budget of jumps, calls and returns, so that every run ends.
constexpr TUint32 KFuzzArenaLimit = Arena::KGuardSize + 32 * 1024 * 1024;
constexpr TInt64 KFuzzBudget = 10000;

// Loads the input as the application's image and runs its "main" in
// aMachine, made with KFuzzArenaLimit, with a budget of aBudget transfers
// (negative: none, for runs known to end within it). Whatever the run
// raises leaves through the caller.
inline void runFuzzedImage(VirtualMachine& aMachine, FrameworkServices& aServices, const std::uint8_t* aData,
                           std::size_t aSize, TInt64 aBudget = KFuzzBudget)
{
    static const TUint8 KNothing = 0;
    VESTRA::MemoryInputStream stream;
    stream.setBuffer(aSize > 0 ? aData : &KNothing, static_cast<TInt>(aSize));
    VirtualMachine::setCurrent(&aMachine);
    aMachine.setInstructionBudget(aBudget);
    aMachine.load(stream, CAppsString("index.mcb"), &aServices);
}

#endif
