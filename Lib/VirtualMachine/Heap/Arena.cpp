#include "Arena.h"

#include <sys/mman.h>

#include <new>

#include "ErrorHandling.h"

namespace {

// 4 GiB for every 32-bit address, plus slack so that a word or a short block
// read at the highest addresses still stays inside the mapping; then the
// inaccessible guard, so that the whole reservation spans 8 GiB.
const std::size_t KUsable = (std::size_t(1) << 32) + 64 * 1024;
const std::size_t KReservation = std::size_t(1) << 33;

}

Arena::Arena(TUint32 aLimit)
    : iBase(nullptr), iTop(KGuardSize), iLimit(aLimit)
{
    // The whole reservation inaccessible first, then the usable part
    // read-write but not reserved: pages are committed only when written.
    void* base = mmap(nullptr, KReservation, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        throw std::bad_alloc();
    if (mprotect(base, KUsable, PROT_READ | PROT_WRITE) != 0) {
        munmap(base, KReservation);
        throw std::bad_alloc();
    }
    // Large pages where the system offers them on request: programs that
    // grow the heap fast (strings, vectors) otherwise spend a fifth of
    // their time in page faults. Without them nothing changes but speed.
    madvise(base, KUsable, MADV_HUGEPAGE);
    iBase = static_cast<TUint8*>(base);
}

Arena::~Arena()
{
    munmap(iBase, KReservation);
}

TUint32 Arena::allocate(TUint32 aBytes)
{
    TUint64 size = (TUint64(aBytes) + 7) & ~TUint64(7);
    if (TUint64(iTop) + size > iLimit)
        ErrorHandling::raise(EVMError, "Out of VM memory");
    TUint32 address = iTop;
    iTop += static_cast<TUint32>(size);
    return address;
}

void Arena::rangeOutside()
{
    ErrorHandling::raise(EVMError, "Range outside VM memory");
}
