#include "HostMemory.h"

#include "ErrorHandling.h"

namespace {

thread_local TUint64 tInUse = 0;
// Set while the refusal is being raised: the error's own text is a string
// too, and must not be refused in turn.
thread_local bool tRefusing = false;

struct RefusalScope {
    RefusalScope() { tRefusing = true; }
    ~RefusalScope() { tRefusing = false; }
};

}

namespace HostMemory {

void charge(TUint64 aBytes)
{
    if (!tRefusing && (aBytes > KLimit || tInUse > KLimit - aBytes)) {
        const RefusalScope refusing;
        ErrorHandling::raise(EVMError, "Out of VM memory");
    }
    tInUse += aBytes;
}

void release(TUint64 aBytes)
{
    tInUse = aBytes > tInUse ? 0 : tInUse - aBytes;
}

TUint64 inUse()
{
    return tInUse;
}

}
