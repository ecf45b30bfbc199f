#include "Opcodes.h"

#include <cstring>

namespace Opcodes {

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
