#ifndef KELVO_HOSTMEMORY_H
#define KELVO_HOSTMEMORY_H

#include "Types.h"

// Memory that a running application holds on the host, outside its arena:
// the buffers of its strings, its pictures, its timers, the heap's roots and
// host objects, and whatever else a native keeps for it. The arena bounds
// what a program can take inside the machine; this bounds what it can make
// the host allocate, so that one call (a string repeated millions of times,
// a loop that starts timers, say) cannot exhaust the host.
//
// Counted per thread: a machine and its natives run on one thread.
namespace HostMemory {

// 512 MiB: room for several strings of the longest length a string may
// have, far below what a desktop has.
constexpr TUint64 KLimit = TUint64(512) << 20;

// How far past the limit the count may go after a refusal. The machine
// tells the application of the refusal with a string and its own handler,
// which cost a little host memory too; without this room a program that
// reached the limit in small steps (a timer, a root at a time) would have
// its error refused in turn and fail fatally instead of hearing of it. The
// room is given again once the count is back under the limit.
constexpr TUint64 KGrace = TUint64(64) << 10;

// Counts aBytes about to be allocated. Past the limit nothing is counted
// and a VM error (code 10, "Out of VM memory") is raised instead.
void charge(TUint64 aBytes);
// Gives back what charge counted.
void release(TUint64 aBytes);
namespace Detail {
// The count, read inline: whether a collection is due is asked on paths
// as short as a vector element's read.
extern constinit thread_local TUint64 tInUse;
}

// Bytes counted now.
inline TUint64 inUse()
{
    return Detail::tInUse;
}

// A charge held for the life of the object that holds it: counted when
// made, so that a refused charge leaves nothing made, and given back when
// the holder goes.
class CCharge {
public:
    explicit CCharge(TUint64 aBytes) : iBytes(aBytes) { charge(aBytes); }
    ~CCharge() { release(iBytes); }
    CCharge(const CCharge&) = delete;
    CCharge& operator=(const CCharge&) = delete;

private:
    TUint64 iBytes;
};

}

#endif
