#include "Opcodes.h"

#include <array>
#include <cstring>

namespace Opcodes {

namespace {

// Kept out of the operation table, which the loader and the interpreter
// read: only the tools and the tests look at the texts.
constexpr std::array<Reference, 256> buildReferences()
{
    std::array<Reference, 256> references {};
#define KELVO_OPCODE_REFERENCE(number, name, spelling, operands, pops, pushes, flow, names, before, after, does, \
                               raises) \
    references[number] = Reference {names, #pops, #pushes, before, after, does, raises};
    KELVO_OPCODES(KELVO_OPCODE_REFERENCE)
#undef KELVO_OPCODE_REFERENCE
    return references;
}

constexpr std::array<Reference, 256> KReferences = buildReferences();

}

const Reference* reference(TUint8 aOpcode)
{
    return isValid(aOpcode) ? &KReferences[aOpcode] : nullptr;
}

TInt find(const char* aMnemonic)
{
    for (TInt i = 0; i < 256; ++i) {
        const char* m = KTable[i].mnemonic;
        if (m && std::strcmp(m, aMnemonic) == 0)
            return i;
    }
    return -1;
}

}
