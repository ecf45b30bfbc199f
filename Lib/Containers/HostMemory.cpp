#include "HostMemory.h"

#include "ErrorHandling.h"

namespace HostMemory::Detail {

constinit thread_local TUint64 tInUse = 0;

}

using HostMemory::Detail::tInUse;

namespace {

// The count that a charge may reach: the limit, or the limit and the grace
// from a refusal until the count is back under the limit.
thread_local TUint64 tCeiling = HostMemory::KLimit;
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
    if (!tRefusing && (aBytes > tCeiling || tInUse > tCeiling - aBytes)) {
        const RefusalScope refusing;
        tCeiling = KLimit + KGrace;
        ErrorHandling::raise(EVMError, "Out of VM memory");
    }
    tInUse += aBytes;
}

void release(TUint64 aBytes)
{
    tInUse = aBytes > tInUse ? 0 : tInUse - aBytes;
    if (tInUse < KLimit)
        tCeiling = KLimit;
}

}
