#ifndef KELVO_OVECTOR_H
#define KELVO_OVECTOR_H

#include <cstdint>
#include <cstring>
#include <memory>

#include "Capacity.h"
#include "ErrorHandling.h"
#include "HeapEntry.h"
#include "Types.h"
#include "VMHeap.h"

// The element of a vector: T repeated N times (a byte, or 1 to 4 words).
template <typename T, TInt N>
struct ObjectWrapper {
    static constexpr TUint32 KSize = sizeof(T) * N;
};

// A vector object in the heap, 16 bytes: a kind word (in place of a
// virtual table; it also records the element size and whether the elements
// are references), the address of the
// element storage, the capacity and the count. Everything lives in the
// arena, so the collector reads a vector without asking the host. Storage
// is a plain heap entry of its own; storage that is replaced is not freed
// here but left to the collector.
//
// Storage made for n elements has room for growthCapacity(n). Growing past
// the capacity moves the elements to storage made for the new count;
// shrinking moves them only when the storage would be at most half full
// and new storage would be smaller. Element addresses stay valid until the
// elements move.
template <typename Element>
class OVector {
public:
    static constexpr TUint32 KObjectSize = 16;
    static constexpr TUint32 KElementSize = Element::KSize;
    static constexpr TUint32 KKindWord = ENativeVector | (KElementSize << 8);
    // Keeps every capacity and byte size well inside 31 bits, so that no
    // size arithmetic can wrap and the heap can be asked for the storage.
    static constexpr TInt KMaxCount = static_cast<TInt>(0x3FFFFFFFu / KElementSize);

    OVector(VMHeap& aHeap, TUint32 aAddress) : iHeap(aHeap), iAddress(aAddress) {}

    // A new vector of aCount zeroed elements (no storage when aCount is 0).
    static TUint32 create(VMHeap& aHeap, TInt aCount, TBool aElementsAreReferences = EFalse)
    {
        TUint32 address = aHeap.createObject(KObjectSize, HeapEntry::KObjectKindNative, GC_CODE_VECTOR);
        initialise(aHeap, address, aCount, aElementsAreReferences);
        return address;
    }

    // Fills in a vector object allocated by the caller (for instance as
    // part of an object pair with its cell). A vector of references says
    // so in its kind word, so that the collector follows its elements even
    // when nothing typed refers to it.
    static void initialise(VMHeap& aHeap, TUint32 aAddress, TInt aCount, TBool aElementsAreReferences = EFalse)
    {
        if (aCount < 0)
            ErrorHandling::raise(EInvalidArgument);
        checkCount(aCount);
        aHeap.arena().setWord(aAddress, KKindWord | (aElementsAreReferences ? KVectorOfReferences : 0));
        OVector vector(aHeap, aAddress);
        if (aCount > 0) {
            TInt capacity = growthCapacity(aCount);
            vector.setStorage(allocateStorage(aHeap, capacity), capacity);
        }
        vector.setCount(aCount);
    }

    TUint32 address() const { return iAddress; }
    TUint32 storage() const { return word(4); }
    TInt capacity() const { return static_cast<TInt>(word(8)); }
    TInt count() const { return static_cast<TInt>(word(12)); }

    // The address of element aIndex; outside 0..count-1 raises code 2.
    // One element lies inside the arena whatever the vector's words say,
    // like any address a program forms, so single-element access checks
    // only the index; the storage entry is checked where many elements
    // are copied or moved.
    TUint32 elementAddress(TInt aIndex) const
    {
        if (aIndex < 0 || aIndex >= count())
            ErrorHandling::raise(EIndexOutOfBounds);
        return storage() + static_cast<TUint32>(aIndex) * KElementSize;
    }

    // The host view of the count() elements, valid until they move.
    TUint8* elements() const
    {
        checkConsistent();
        return iHeap.arena().host(storage());
    }

    // Inserts one element (KElementSize bytes at aValue) before aIndex.
    // Kept apart from replace: appending one element is the hot path.
    void insert(TInt aIndex, const TUint8* aValue)
    {
        TInt n = count();
        if (aIndex < 0 || aIndex > n)
            ErrorHandling::raise(EIndexOutOfBounds);
        // An append with room to spare writes one element and moves none.
        if (aIndex < n || capacity() <= n)
            checkConsistent();
        if (capacity() >= n + 1) {
            std::memmove(host(aIndex + 1), host(aIndex), bytes(n - aIndex));
        } else {
            checkCount(TInt64(n) + 1);
            TInt newCapacity = growthCapacity(n + 1);
            TUint32 newStorage = allocateStorage(iHeap, newCapacity);
            TUint8* target = iHeap.arena().host(newStorage);
            std::memcpy(target, host(0), bytes(aIndex));
            std::memcpy(target + bytes(aIndex + 1), host(aIndex), bytes(n - aIndex));
            setStorage(newStorage, newCapacity);
        }
        std::memcpy(host(aIndex), aValue, KElementSize);
        setCount(n + 1);
    }

    void append(const TUint8* aValue) { insert(count(), aValue); }

    // Inserts aCount elements from aElements (which may lie in this very
    // storage) before aIndex.
    void insert(TInt aIndex, const TUint8* aElements, TInt aCount) { replace(aIndex, 0, aElements, aCount); }

    void remove(TInt aIndex, TInt aCount) { replace(aIndex, aCount, nullptr, 0); }

    // Replaces the aRemoved elements from aIndex by aInserted elements from
    // aElements, which may lie in this very storage (a vector inserted
    // into itself). A stretch that leaves the vector raises code 2.
    void replace(TInt aIndex, TInt aRemoved, const TUint8* aElements, TInt aInserted)
    {
        checkConsistent();
        const TInt n = count();
        if (aIndex < 0 || aRemoved < 0 || aInserted < 0 || TInt64(aIndex) + aRemoved > n)
            ErrorHandling::raise(EIndexOutOfBounds);
        const TInt64 wanted = TInt64(n) - aRemoved + aInserted;
        checkCount(wanted);
        const TInt newCount = static_cast<TInt>(wanted);
        const TInt tail = n - aIndex - aRemoved;
        if (staysInPlace(newCount, n)) {
            std::unique_ptr<TUint8[]> copy;
            if (overlapsStorage(aElements, aInserted)) {
                copy.reset(new TUint8[bytes(aInserted)]);
                std::memcpy(copy.get(), aElements, bytes(aInserted));
                aElements = copy.get();
            }
            std::memmove(host(aIndex + aInserted), host(aIndex + aRemoved), bytes(tail));
            copyIn(host(aIndex), aElements, aInserted);
        } else {
            // The old storage stays intact until the switch, so elements
            // taken from it need no copy.
            TInt newCapacity = growthCapacity(newCount);
            TUint32 newStorage = allocateStorage(iHeap, newCapacity);
            TUint8* target = iHeap.arena().host(newStorage);
            std::memcpy(target, host(0), bytes(aIndex));
            copyIn(target + bytes(aIndex), aElements, aInserted);
            std::memcpy(target + bytes(aIndex + aInserted), host(aIndex + aRemoved), bytes(tail));
            setStorage(newStorage, newCapacity);
        }
        setCount(newCount);
    }

    // The contents follow themselves aTimes in all; 0 empties the vector.
    void repeat(TInt aTimes)
    {
        checkConsistent();
        const TInt n = count();
        if (aTimes < 0)
            ErrorHandling::raise(EInvalidArgument);
        if (aTimes == 0) {
            remove(0, n);
            return;
        }
        if (n == 0 || aTimes == 1)
            return;
        const TInt64 wanted = TInt64(n) * aTimes;
        checkCount(wanted);
        const TInt newCount = static_cast<TInt>(wanted);
        if (newCount > capacity()) {
            TInt newCapacity = growthCapacity(newCount);
            TUint32 newStorage = allocateStorage(iHeap, newCapacity);
            std::memcpy(iHeap.arena().host(newStorage), host(0), bytes(n));
            setStorage(newStorage, newCapacity);
        }
        fillByDoubling(host(0), bytes(n), bytes(newCount));
        setCount(newCount);
    }

    // Sets every element to the KElementSize bytes at aValue, in a vector
    // that create has just made: its words are not checked, as no program
    // can have written them yet.
    void fill(const TUint8* aValue)
    {
        const TInt n = count();
        if (n == 0)
            return;
        std::memcpy(host(0), aValue, KElementSize);
        fillByDoubling(host(0), KElementSize, bytes(n));
    }

    // Drops the storage.
    void clear()
    {
        setStorage(0, 0);
        setCount(0);
    }

    // The words of a vector object sit in the arena, where a broken program
    // can overwrite them; before trusting them, check that the count fits
    // the capacity and the capacity fits the storage entry.
    void checkConsistent() const
    {
        if (!isConsistent(iHeap, iAddress))
            ErrorHandling::raise(EVMError, "Invalid vector");
    }

    // The same check for the vector object at aAddress, answered, for the
    // paths that count elements without the native. A storage entry whose
    // own header is broken raises, as the heap does everywhere.
    static TBool isConsistent(const VMHeap& aHeap, TUint32 aAddress)
    {
        const Arena& arena = aHeap.arena();
        const TInt n = static_cast<TInt>(arena.word(aAddress + 12));
        const TInt c = static_cast<TInt>(arena.word(aAddress + 8));
        const TUint32 s = arena.word(aAddress + 4);
        if (n < 0 || n > c)
            return EFalse;
        return c == 0
            || (aHeap.isReference(s) && TUint64(c) * KElementSize <= aHeap.capacityOf(s - HeapEntry::KHeaderSize));
    }

private:
    static void checkCount(TInt64 aCount)
    {
        if (aCount > KMaxCount)
            ErrorHandling::raise(EVMError, "Out of VM memory");
    }

    static TUint32 allocateStorage(VMHeap& aHeap, TInt aCapacity)
    {
        return aHeap.createObject(static_cast<TUint32>(aCapacity) * KElementSize,
                                  HeapEntry::KObjectKindRaw, GC_CODE_PLAIN);
    }

    // Growth moves the elements only past the capacity. Shrinking to at
    // most half the capacity moves them to storage made for the new count,
    // unless that storage would be no smaller than the current one.
    TBool staysInPlace(TInt aNewCount, TInt aCount) const
    {
        if (aNewCount > aCount)
            return aNewCount <= capacity();
        return aNewCount == aCount || 2 * TInt64(aNewCount) > capacity() || growthCapacity(aNewCount) >= capacity();
    }

    TBool overlapsStorage(const TUint8* aElements, TInt aCount) const
    {
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(aElements);
        const std::uintptr_t storageStart = reinterpret_cast<std::uintptr_t>(host(0));
        return aCount > 0 && start < storageStart + bytes(capacity()) && storageStart < start + bytes(aCount);
    }

    static void copyIn(TUint8* aTarget, const TUint8* aElements, TInt aCount)
    {
        if (aCount > 0)
            std::memcpy(aTarget, aElements, bytes(aCount));
    }

    // Repeats the first aFilled bytes at aBase up to aTotal bytes, copying
    // what is already there so that few copies are made however many
    // repetitions are asked.
    static void fillByDoubling(TUint8* aBase, std::size_t aFilled, std::size_t aTotal)
    {
        while (aFilled < aTotal) {
            std::size_t chunk = aFilled < aTotal - aFilled ? aFilled : aTotal - aFilled;
            std::memcpy(aBase + aFilled, aBase, chunk);
            aFilled += chunk;
        }
    }

    TUint32 word(TUint32 aOffset) const { return iHeap.arena().word(iAddress + aOffset); }
    void setStorage(TUint32 aStorage, TInt aCapacity)
    {
        iHeap.arena().setWord(iAddress + 4, aStorage);
        iHeap.arena().setWord(iAddress + 8, static_cast<TUint32>(aCapacity));
    }
    void setCount(TInt aCount) { iHeap.arena().setWord(iAddress + 12, static_cast<TUint32>(aCount)); }
    TUint8* host(TInt aIndex) const { return iHeap.arena().host(storage() + static_cast<TUint32>(aIndex) * KElementSize); }
    static std::size_t bytes(TInt aCount) { return static_cast<std::size_t>(aCount) * KElementSize; }

    VMHeap& iHeap;
    TUint32 iAddress;
};

// Whether aVector, a word a program passed, names a vector object whose
// elements are aElementSize bytes: its header and kind words say so. Whether
// the entry is really in use is left to the operations that move many
// elements (OVector::checkConsistent): one element read or written stays
// inside the arena either way. aView is the host view of the arena
// (Arena::host(0)): the interpreter keeps it in a register, where through
// the arena the compiler would read the arena's base again.
inline TBool isVectorObject(const TUint8* aView, TUint32 aVector, TUint32 aElementSize)
{
    const TUint32 kind = Arena::wordAt(aView, aVector);
    return aVector != 0
        && Arena::wordAt(aView, aVector - HeapEntry::KHeaderSize + HeapEntry::KGcCode) == GC_CODE_VECTOR
        && (kind & 0xFF) == ENativeVector && ((kind >> 8) & 0xFF) == aElementSize;
}

typedef OVector<ObjectWrapper<signed char, 1>> OByteVector;
typedef OVector<ObjectWrapper<int, 1>> OWordVector;
typedef OVector<ObjectWrapper<int, 2>> OWord2Vector;
typedef OVector<ObjectWrapper<int, 3>> OWord3Vector;
typedef OVector<ObjectWrapper<int, 4>> OWord4Vector;

#endif
