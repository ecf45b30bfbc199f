#include "Arena.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <utility>

#include "ErrorHandling.h"

namespace {

// 4 GiB for every 32-bit address, plus slack so that a word or a short block
// read at the highest addresses still stays inside the mapping; then the
// inaccessible guard, so that the whole reservation spans 8 GiB.
const std::size_t KUsable = (std::size_t(1) << 32) + 64 * 1024;
const std::size_t KReservation = std::size_t(1) << 33;
const std::size_t KPageSize = 4096;
// The start of the arena, which every program uses, in small pages: one
// large page's span. Beyond it, small pages cost programs with a large
// heap a few percent in the processor's address translation.
const std::size_t KSmallPagesBytes = 2 * 1024 * 1024;
// Below this many bytes handed out, a dropped arena is cleared by writing
// zeros over what it handed out, which keeps those pages for the next one;
// above it, every page goes back to the system.
const TUint32 KClearedInPlace = 16 * 1024 * 1024;

// The reservation of the last arena this thread dropped, every page of it
// reading as zero again, for the next arena the thread makes. A fuzzer
// makes a machine for every input, and mapping a fresh reservation,
// faulting its first pages in and unmapping it cost more than most of the
// programs it runs. Arenas live in machines, which never outlive their
// thread, so none is dropped after this is gone.
class SpareReservation {
public:
    ~SpareReservation()
    {
        if (iBase)
            munmap(iBase, KReservation);
    }
    TUint8* take() { return std::exchange(iBase, nullptr); }
    // False when a reservation is kept already.
    TBool keep(TUint8* aBase)
    {
        if (iBase)
            return EFalse;
        iBase = aBase;
        return ETrue;
    }

private:
    TUint8* iBase = nullptr;
};

thread_local SpareReservation tSpare;

}

Arena::Arena(TUint32 aLimit)
    : iBase(tSpare.take()), iTop(KGuardSize), iLimit(aLimit)
{
    if (iBase)
        return;
    // The whole reservation inaccessible first, then the usable part
    // read-write but not reserved: pages are committed only when written.
    void* base = mmap(nullptr, KReservation, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        throw std::bad_alloc();
    if (mprotect(base, KUsable, PROT_READ | PROT_WRITE) != 0) {
        munmap(base, KReservation);
        throw std::bad_alloc();
    }
    // Large pages where the system offers them on request, above the
    // first two megabytes: programs that grow the heap fast (strings,
    // vectors) otherwise spend a fifth of their time in page faults, but a
    // small program touches a few dozen pages of its first megabytes, and
    // a large page there cost it a millisecond of start-up, to fill and to
    // give back. Without them nothing changes but speed.
    madvise(static_cast<TUint8*>(base) + KSmallPagesBytes, KUsable - KSmallPagesBytes, MADV_HUGEPAGE);
    iBase = static_cast<TUint8*>(base);
}

// A program may have stored anywhere in the usable part, not only in what
// was handed out, so all of it is cleared before the reservation is kept.
Arena::~Arena()
{
    const std::size_t inPlace = iTop <= KClearedInPlace ? (std::size_t(iTop) + KPageSize - 1) & ~(KPageSize - 1) : 0;
    std::memset(iBase, 0, inPlace);
    if (madvise(iBase + inPlace, KUsable - inPlace, MADV_DONTNEED) != 0 || !tSpare.keep(iBase))
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
