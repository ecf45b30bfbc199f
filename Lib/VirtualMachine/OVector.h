#ifndef KELVO_OVECTOR_H
#define KELVO_OVECTOR_H

#include <cstring>

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
template <typename Element>
class OVector {
public:
    static constexpr TUint32 KObjectSize = 16;
    static constexpr TUint32 KElementSize = Element::KSize;
    static constexpr TUint32 KKindWord = ENativeVector | (KElementSize << 8);

    OVector(VMHeap& aHeap, TUint32 aAddress) : iHeap(aHeap), iAddress(aAddress) {}

    // A new vector of aCount zeroed elements (no storage when aCount is 0).
    static TUint32 create(VMHeap& aHeap, TInt aCount)
    {
        TUint32 address = aHeap.createObject(KObjectSize, HeapEntry::KObjectKindNative, GC_CODE_VECTOR);
        initialise(aHeap, address, aCount);
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
    TUint32 elementAddress(TInt aIndex) const
    {
        checkConsistent();
        if (aIndex < 0 || aIndex >= count())
            ErrorHandling::raise(EIndexOutOfBounds);
        return storage() + static_cast<TUint32>(aIndex) * KElementSize;
    }

    // Inserts one element (KElementSize bytes at aValue) before aIndex.
    void insert(TInt aIndex, const TUint8* aValue)
    {
        checkConsistent();
        TInt n = count();
        if (aIndex < 0 || aIndex > n)
            ErrorHandling::raise(EIndexOutOfBounds);
        if (capacity() >= n + 1) {
            std::memmove(host(aIndex + 1), host(aIndex), bytes(n - aIndex));
        } else {
            TInt newCapacity = growthCapacity(n + 1);
            TUint32 newStorage = allocateStorage(iHeap, newCapacity);
            TUint32 oldStorage = storage();
            Arena& arena = iHeap.arena();
            std::memcpy(arena.host(newStorage), arena.host(oldStorage), bytes(aIndex));
            std::memcpy(arena.host(newStorage) + bytes(aIndex + 1), arena.host(oldStorage) + bytes(aIndex),
                        bytes(n - aIndex));
            setStorage(newStorage, newCapacity);
        }
        std::memcpy(host(aIndex), aValue, KElementSize);
        setCount(n + 1);
    }

    void append(const TUint8* aValue) { insert(count(), aValue); }

    // The words of a vector object sit in the arena, where a broken program
    // can overwrite them; before trusting them, check that the count fits
    // the capacity and the capacity fits the storage entry.
    void checkConsistent() const
    {
        TInt n = count();
        TInt c = capacity();
        TUint32 s = storage();
        TBool ok = n >= 0 && n <= c;
        if (ok && c > 0)
            ok = iHeap.isReference(s)
                && TUint64(c) * KElementSize <= iHeap.field(s - HeapEntry::KHeaderSize, HeapEntry::KCapacity);
        if (!ok)
            ErrorHandling::raise(EVMError, "Invalid vector");
    }

private:
    static TUint32 allocateStorage(VMHeap& aHeap, TInt aCapacity)
    {
        return aHeap.createObject(static_cast<TUint32>(aCapacity) * KElementSize,
                                  HeapEntry::KObjectKindRaw, GC_CODE_PLAIN);
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

typedef OVector<ObjectWrapper<signed char, 1>> OByteVector;
typedef OVector<ObjectWrapper<int, 1>> OWordVector;
typedef OVector<ObjectWrapper<int, 2>> OWord2Vector;
typedef OVector<ObjectWrapper<int, 3>> OWord3Vector;
typedef OVector<ObjectWrapper<int, 4>> OWord4Vector;

#endif
