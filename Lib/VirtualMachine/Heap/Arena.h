#ifndef KELVO_ARENA_H
#define KELVO_ARENA_H

#include <cstring>

#include "Types.h"

// The address space of one machine. Programs speak in 32-bit addresses, so
// every address they can form is an offset into one reservation of 4 GiB
// (plus a little slack for multi-byte reads at the very top). Untouched
// pages read as zero and cost nothing; whatever a broken program does with
// an address, it stays inside this reservation and never reaches host
// memory. Address 0 is null: the guard region at the start is never handed
// out, so no object ever has a small address.
//
// Behind the usable part lies a further 4 GiB of inaccessible address
// space. Ranges are checked before they are copied or cleared (range()),
// and should a check ever be missed, a 32-bit address plus a 32-bit length
// still ends in that guard and faults there instead of reaching another
// mapping.
class Arena {
public:
    static constexpr TUint32 KGuardSize = 64 * 1024;
    static constexpr TUint32 KDefaultLimit = 0xF0000000u;

    // aLimit: the highest address (exclusive) that allocation may reach.
    // The thread's last dropped reservation is taken when there is one:
    // dropping an arena clears all of it and keeps it for the next, so that
    // a caller making many short-lived machines (a fuzzer) does not map,
    // fault in and unmap 8 GiB for each. Either way the new arena reads as
    // zero everywhere and hands out the same addresses.
    explicit Arena(TUint32 aLimit = KDefaultLimit);
    ~Arena();

    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Hands out aBytes (rounded up to 8) of fresh, zeroed space and returns
    // its address. Running past the limit raises a VM error (code 10).
    TUint32 allocate(TUint32 aBytes);

    // The end of what has been handed out so far.
    TUint32 top() const { return iTop; }
    TUint32 limit() const { return iLimit; }

    // Host view of an address. Always inside the reservation.
    TUint8* host(TUint32 aAddress) const { return iBase + aAddress; }

    // Host view of aLength bytes from aAddress, for copying, clearing or
    // reading many bytes at once. A range that would leave the 32-bit
    // address space raises a VM error (code 10).
    TUint8* range(TUint32 aAddress, TUint64 aLength) const
    {
        if (TUint64(aAddress) + aLength > KAddressSpace)
            rangeOutside();
        return iBase + aAddress;
    }

    // The VM address of a host pointer into this arena.
    TUint32 address(const void* aPointer) const
    {
        return static_cast<TUint32>(static_cast<const TUint8*>(aPointer) - iBase);
    }

    TUint32 word(TUint32 aAddress) const { return wordAt(iBase, aAddress); }
    void setWord(TUint32 aAddress, TUint32 aValue) { setWordAt(iBase, aAddress, aValue); }

    // A word at aOffset from aView, a host view of the arena, for the loops
    // that keep a view in a register: through word and setWord the compiler
    // reads the arena's base again after every store, as it cannot tell that
    // the store leaves the base alone.
    static TUint32 wordAt(const TUint8* aView, TUint32 aOffset)
    {
        TUint32 value;
        std::memcpy(&value, aView + aOffset, sizeof value);
        return value;
    }
    static void setWordAt(TUint8* aView, TUint32 aOffset, TUint32 aValue)
    {
        std::memcpy(aView + aOffset, &aValue, sizeof aValue);
    }
    // Stores two words at aOffset as the block stores write them, one after
    // the other: aFirst, then aSecond as read back from the word at
    // aSecondAt, which holds it until the first store may overwrite it.
    // Where the first store cannot reach that word, both go in one store,
    // which a later read of the pair in one load takes straight from the
    // store; after two stores of a word each that read waits for both to
    // reach the cache (bench/compare's fixed took 5% longer in the
    // register form, which reads pairs so).
    static void setWordPairAt(TUint8* aView, TUint32 aOffset, TUint32 aFirst, TUint32 aSecond, TUint32 aSecondAt)
    {
        if (TUint64(aOffset) + 4 <= aSecondAt || aOffset >= TUint64(aSecondAt) + 4) {
            setPairAt(aView, aOffset, TUint64(aFirst) | TUint64(aSecond) << 32);
            return;
        }
        setWordAt(aView, aOffset, aFirst);
        setWordAt(aView, aOffset + 4, wordAt(aView, aSecondAt));
    }
    // A value of two words, the low one first, in one store.
    static void setPairAt(TUint8* aView, TUint32 aOffset, TUint64 aPair)
    {
        std::memcpy(aView + aOffset, &aPair, sizeof aPair);
    }

private:
    static constexpr TUint64 KAddressSpace = TUint64(1) << 32;
    [[noreturn]] static void rangeOutside();

    TUint8* iBase;
    TUint32 iTop;
    TUint32 iLimit;
};

#endif
