#ifndef KELVO_LINKEDLIST_H
#define KELVO_LINKEDLIST_H

#include <memory>
#include <new>

#include "ErrorHandling.h"
#include "Types.h"
#include "Vec.h"

// The doubly linked lists of the VM heap (free lists by size class, the
// root list) and the pool that their nodes come from.
//
// Nodes are named by 32-bit numbers, not pointers. Heap headers live in an
// arena of 32-bit VM addresses whose words never hold host pointers, yet a
// free entry must remember its node so that it can be unlinked in O(1): it
// stores the node number, which is all a LinkedListIterator is.
//
// A number is split into a block (number >> 8) and a slot (number & 255).
// Blocks of 256 nodes are allocated as needed and never move or shrink, so
// a number stays valid until its node is released. Number 0 is never handed
// out and means "no node": a zeroed header word and a default iterator both
// read as "not in a list", and 0 ends a chain of links.
//
// Released nodes form one pool-wide chain through their next links, so
// taking and returning a node is O(1); only every 256th new node calls the
// general allocator. A released node is marked in its previous link, so a
// stale or forged number is refused instead of corrupting a list.

template <typename T>
struct ListEntry {
    TUint32 iPrevious = 0;
    TUint32 iNext = 0;
    T iValue = T();
};

template <typename T>
class LinkedListIterator {
public:
    LinkedListIterator() = default;
    explicit LinkedListIterator(TUint32 aNumber) : iNumber(aNumber) {}

    TUint32 number() const { return iNumber; }
    TBool isNull() const { return iNumber == 0; }
    bool operator==(const LinkedListIterator& aOther) const = default;

private:
    TUint32 iNumber = 0;
};

template <typename T>
class ListNodePool {
public:
    static constexpr TInt KBlockShift = 8;
    static constexpr TUint32 KBlockSize = 1u << KBlockShift;
    static constexpr TUint32 KSlotMask = KBlockSize - 1;

    ListNodePool() = default;
    ListNodePool(const ListNodePool&) = delete;
    ListNodePool& operator=(const ListNodePool&) = delete;

    // A node holding aValue, unlinked; its number is never 0.
    TUint32 allocate(const T& aValue)
    {
        if (iFreeHead == 0)
            addBlock();
        const TUint32 number = iFreeHead;
        ListEntry<T>& node = slot(number);
        iFreeHead = node.iNext;
        node.iPrevious = 0;
        node.iNext = 0;
        node.iValue = aValue;
        ++iInUse;
        return number;
    }

    void release(TUint32 aNumber)
    {
        ListEntry<T>& node = entry(aNumber);
        node.iValue = T();
        node.iPrevious = KReleased;
        node.iNext = iFreeHead;
        iFreeHead = aNumber;
        --iInUse;
    }

    // A node in use; number 0, a released node or an unknown number raise
    // code 6.
    ListEntry<T>& entry(TUint32 aNumber)
    {
        ListEntry<T>& node = slot(aNumber);
        if (aNumber == 0 || node.iPrevious == KReleased)
            ErrorHandling::raise(EInvalidArgument, "Invalid list node");
        return node;
    }

    // A node whose number came from a list's own links, which only ever
    // hold numbers this pool handed out: no checks on the hot path.
    ListEntry<T>& linked(TUint32 aNumber)
    {
        return iBlocks[TInt(aNumber >> KBlockShift)][aNumber & KSlotMask];
    }

    TInt countInUse() const { return iInUse; }
    TInt blockCount() const { return iBlocks.count(); }

private:
    // Never a valid number: blocks stop short of the last one (see addBlock).
    static constexpr TUint32 KReleased = 0xFFFFFFFFu;
    static constexpr TInt KMaxBlocks = (1 << (32 - KBlockShift)) - 1;

    ListEntry<T>& slot(TUint32 aNumber)
    {
        return iBlocks.at(TInt(aNumber >> KBlockShift))[aNumber & KSlotMask];
    }

    // Chains the new block's slots so that lower numbers are handed out
    // first; slot 0 of block 0 is number 0 and stays unused.
    void addBlock()
    {
        if (iBlocks.count() == KMaxBlocks)
            ErrorHandling::raise(EInvalidArgument, "Too many list nodes");
        std::unique_ptr<ListEntry<T>[]> block(new (std::nothrow) ListEntry<T>[KBlockSize]);
        if (!block)
            ErrorHandling::raise(EInvalidArgument);
        const TUint32 base = TUint32(iBlocks.count()) << KBlockShift;
        iBlocks.append(std::move(block));
        for (TUint32 i = KBlockSize; i-- > 0;) {
            if (base + i == 0)
                continue;
            ListEntry<T>& node = slot(base + i);
            node.iPrevious = KReleased;
            node.iNext = iFreeHead;
            iFreeHead = base + i;
        }
    }

    Vec<std::unique_ptr<ListEntry<T>[]>> iBlocks;
    TUint32 iFreeHead = 0;
    TInt iInUse = 0;
};

// A list that borrows its nodes from a pool; the pool must outlive it.
// It returns its nodes to the pool when it is destroyed. Move-only, so that
// two lists never believe they own the same nodes.
template <typename T>
class LinkedList {
public:
    explicit LinkedList(ListNodePool<T>& aPool) : iPool(&aPool) {}

    LinkedList(LinkedList&& aOther) noexcept
        : iPool(aOther.iPool), iHead(aOther.iHead), iTail(aOther.iTail), iCount(aOther.iCount)
    {
        aOther.iHead = 0;
        aOther.iTail = 0;
        aOther.iCount = 0;
    }

    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;

    ~LinkedList() { clear(); }

    TBool isEmpty() const { return iCount == 0; }
    TInt count() const { return iCount; }

    LinkedListIterator<T> first() const { return LinkedListIterator<T>(iHead); }
    LinkedListIterator<T> last() const { return LinkedListIterator<T>(iTail); }

    // The node after aIterator; a null iterator past the tail.
    LinkedListIterator<T> next(LinkedListIterator<T> aIterator) const
    {
        return LinkedListIterator<T>(iPool->entry(aIterator.number()).iNext);
    }

    T& value(LinkedListIterator<T> aIterator) { return iPool->entry(aIterator.number()).iValue; }
    const T& value(LinkedListIterator<T> aIterator) const
    {
        return iPool->entry(aIterator.number()).iValue;
    }

    // Appends at the tail and answers the new node, for O(1) removal later.
    LinkedListIterator<T> append(const T& aValue)
    {
        const TUint32 number = iPool->allocate(aValue);
        if (iTail != 0) {
            iPool->linked(iTail).iNext = number;
            iPool->linked(number).iPrevious = iTail;
        } else {
            iHead = number;
        }
        iTail = number;
        ++iCount;
        return LinkedListIterator<T>(number);
    }

    // Unlinks and releases the node. A node that is visibly the end of some
    // other list raises code 6 rather than corrupting both lists.
    void remove(LinkedListIterator<T> aIterator)
    {
        const TUint32 number = aIterator.number();
        const ListEntry<T>& node = iPool->entry(number);
        const TUint32 previous = node.iPrevious;
        const TUint32 following = node.iNext;
        if ((previous == 0 && iHead != number) || (following == 0 && iTail != number))
            ErrorHandling::raise(EInvalidArgument, "List node not in this list");
        if (previous != 0)
            iPool->linked(previous).iNext = following;
        else
            iHead = following;
        if (following != 0)
            iPool->linked(following).iPrevious = previous;
        else
            iTail = previous;
        iPool->release(number);
        --iCount;
    }

    // The first node holding aValue, or a null iterator.
    LinkedListIterator<T> find(const T& aValue) const
    {
        for (LinkedListIterator<T> it = first(); !it.isNull(); it = next(it)) {
            if (value(it) == aValue)
                return it;
        }
        return LinkedListIterator<T>();
    }

    void clear()
    {
        while (iHead != 0) {
            const TUint32 following = iPool->linked(iHead).iNext;
            iPool->release(iHead);
            iHead = following;
        }
        iTail = 0;
        iCount = 0;
    }

private:
    ListNodePool<T>* iPool;
    TUint32 iHead = 0;
    TUint32 iTail = 0;
    TInt iCount = 0;
};

#endif
