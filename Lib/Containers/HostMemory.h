#ifndef KELVO_HOSTMEMORY_H
#define KELVO_HOSTMEMORY_H

#include "Types.h"

// Memory that a running application holds on the host, outside its arena:
// the buffers of its strings, and whatever else a native keeps for it. The
// arena bounds what a program can take inside the machine; this bounds
// what it can make the host allocate, so that one call (a string repeated
// millions of times, say) cannot exhaust the host.
//
// Counted per thread: a machine and its natives run on one thread.
namespace HostMemory {

// 512 MiB: room for several strings of the longest length a string may
// have, far below what a desktop has.
constexpr TUint64 KLimit = TUint64(512) << 20;

// Counts aBytes about to be allocated. Past the limit nothing is counted
// and a VM error (code 10, "Out of VM memory") is raised instead.
void charge(TUint64 aBytes);
// Gives back what charge counted.
void release(TUint64 aBytes);
// Bytes counted now.
TUint64 inUse();

}

#endif
