#ifndef KELVO_VEC_H
#define KELVO_VEC_H

#include <cassert>
#include <cstddef>
#include <new>
#include <utility>

#include "ErrorHandling.h"
#include "Types.h"

// The growable array of the runtime. Growth is fixed (a quarter plus 8 on
// append, exact on bulk append) so that memory use is predictable on small
// devices; an index check raises the VM's index error (code 6), which is
// what the loader and the machine report for a bad table index.
template <typename T>
class Vec {
public:
    Vec() = default;

    // An empty vector with room for aCount + 6 elements (7 when aCount < 1).
    explicit Vec(TInt aCount) { reserve(aCount < 1 ? 7 : aCount + 6); }

    Vec(const Vec& aOther) { copyFrom(aOther); }

    Vec(Vec&& aOther) noexcept
        : iData(aOther.iData), iCapacity(aOther.iCapacity), iCount(aOther.iCount)
    {
        aOther.iData = nullptr;
        aOther.iCapacity = 0;
        aOther.iCount = 0;
    }

    Vec& operator=(const Vec& aOther)
    {
        if (this != &aOther) {
            destroyElements();
            copyFrom(aOther);
        }
        return *this;
    }

    Vec& operator=(Vec&& aOther) noexcept
    {
        if (this != &aOther) {
            clear();
            std::swap(iData, aOther.iData);
            std::swap(iCapacity, aOther.iCapacity);
            std::swap(iCount, aOther.iCount);
        }
        return *this;
    }

    virtual ~Vec() { clear(); }

    TInt count() const { return iCount; }
    TInt capacity() const { return iCapacity; }
    TBool isEmpty() const { return iCount == 0; }
    T* data() { return iData; }
    const T* data() const { return iData; }
    T* begin() { return iData; }
    T* end() { return iData + iCount; }
    const T* begin() const { return iData; }
    const T* end() const { return iData + iCount; }

    // Unchecked access for code that has already validated the index.
    T& operator[](TInt aIndex)
    {
        assert(aIndex >= 0 && aIndex < iCount);
        return iData[aIndex];
    }
    const T& operator[](TInt aIndex) const
    {
        assert(aIndex >= 0 && aIndex < iCount);
        return iData[aIndex];
    }

    // Checked access: an index outside the elements raises code 6.
    T& at(TInt aIndex)
    {
        checkIndex(aIndex);
        return iData[aIndex];
    }
    const T& at(TInt aIndex) const
    {
        checkIndex(aIndex);
        return iData[aIndex];
    }

    T& last() { return at(iCount - 1); }

    void append(const T& aValue)
    {
        if (iCount == iCapacity) {
            // aValue may live in our own storage: copy it before moving house.
            T copy(aValue);
            reserve((iCount * 5) / 4 + 8);
            new (iData + iCount) T(std::move(copy));
        } else {
            new (iData + iCount) T(aValue);
        }
        ++iCount;
    }

    void append(T&& aValue)
    {
        if (iCount == iCapacity) {
            T moved(std::move(aValue));
            reserve((iCount * 5) / 4 + 8);
            new (iData + iCount) T(std::move(moved));
        } else {
            new (iData + iCount) T(std::move(aValue));
        }
        ++iCount;
    }

    // Appends without the growth test, for stacks that reserve their limit
    // once and push on hot paths: the caller keeps the count below the
    // capacity (asserted in debug builds).
    void appendReserved(const T& aValue)
    {
        assert(iCount < iCapacity);
        new (iData + iCount) T(aValue);
        ++iCount;
    }

    // Appends aCount elements of aOther from aStart; reserves exactly.
    void append(const Vec& aOther, TInt aStart, TInt aCount)
    {
        if (aStart < 0 || aCount < 0 || aStart > aOther.iCount - aCount)
            ErrorHandling::raise(EInvalidArgument);
        if (&aOther == this) {
            Vec copy(aOther);
            append(copy, aStart, aCount);
            return;
        }
        if (iCount + aCount > iCapacity)
            reserve(iCount + aCount);
        for (TInt i = 0; i < aCount; ++i)
            new (iData + iCount + i) T(aOther.iData[aStart + i]);
        iCount += aCount;
    }

    void append(const Vec& aOther) { append(aOther, 0, aOther.iCount); }

    // Appends aCount default-constructed (zero for numbers) elements.
    void grow(TInt aCount)
    {
        if (aCount < 0)
            ErrorHandling::raise(EInvalidArgument);
        if (iCount + aCount > iCapacity)
            reserve(iCount + aCount);
        for (TInt i = 0; i < aCount; ++i)
            new (iData + iCount + i) T();
        iCount += aCount;
    }

    // Drops elements from the end down to aCount.
    void truncate(TInt aCount)
    {
        if (aCount < 0 || aCount > iCount)
            ErrorHandling::raise(EInvalidArgument);
        while (iCount > aCount)
            iData[--iCount].~T();
    }

    void removeLast() { truncate(iCount - 1); }

    // Sets the capacity to aCapacity (at least 1). Fewer than the current
    // count, or storage that cannot be had, raises code 6.
    void reserve(TInt aCapacity)
    {
        if (aCapacity < iCount)
            ErrorHandling::raise(EInvalidArgument);
        if (aCapacity < 1)
            aCapacity = 1;
        T* storage = allocate(aCapacity);
        if (!storage)
            ErrorHandling::raise(EInvalidArgument);
        for (TInt i = 0; i < iCount; ++i) {
            new (storage + i) T(std::move(iData[i]));
            iData[i].~T();
        }
        deallocate(iData);
        iData = storage;
        iCapacity = aCapacity;
    }

    // Releases the storage: no data, capacity and count 0.
    void clear()
    {
        destroyElements();
        deallocate(iData);
        iData = nullptr;
        iCapacity = 0;
    }

private:
    // A type that asks for more alignment than new gives is laid out for
    // the cache (a whole number of elements to a line): its storage starts
    // on a line, so that where an element falls does not depend on where
    // the allocator happens to put the array.
    static constexpr bool KOverAligned = alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    static constexpr std::align_val_t KCacheLine {64};

    static T* allocate(TInt aCapacity)
    {
        const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(aCapacity);
        if constexpr (KOverAligned)
            return static_cast<T*>(::operator new(bytes, KCacheLine, std::nothrow));
        else
            return static_cast<T*>(::operator new(bytes, std::nothrow));
    }

    static void deallocate(T* aData)
    {
        if constexpr (KOverAligned)
            ::operator delete(aData, KCacheLine);
        else
            ::operator delete(aData);
    }

    void checkIndex(TInt aIndex) const
    {
        if (aIndex < 0 || aIndex >= iCount)
            ErrorHandling::raise(EInvalidArgument);
    }

    void destroyElements()
    {
        for (TInt i = 0; i < iCount; ++i)
            iData[i].~T();
        iCount = 0;
    }

    void copyFrom(const Vec& aOther)
    {
        if (aOther.iCount >= iCapacity)
            reserve(aOther.iCount);
        for (TInt i = 0; i < aOther.iCount; ++i)
            new (iData + i) T(aOther.iData[i]);
        iCount = aOther.iCount;
    }

    T* iData = nullptr;
    TInt iCapacity = 0;
    TInt iCount = 0;
};

#endif
