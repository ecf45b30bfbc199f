#include "QuickLists.h"

#include "ErrorHandling.h"

using namespace HeapEntry;

// A taken block leaves 0 in its place: positions of the others stay valid
// until the walk ends and clear() drops the stacks.
void QuickLists::take(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord)
{
    if (!isListed(aHeader, aCapacity, aFreeWord))
        ErrorHandling::raise(EVMError, "Corrupt heap");
    iStacks[aCapacity / 4][static_cast<TInt>(aFreeWord & ~KQuickListTag)] = 0;
    iBytes -= aCapacity + KOverhead;
}

TBool QuickLists::isListed(TUint32 aHeader, TUint32 aCapacity, TUint32 aFreeWord) const
{
    if (!holds(aCapacity) || (aFreeWord & KQuickListTag) == 0)
        return EFalse;
    const Vec<TUint32>& stack = iStacks[aCapacity / 4];
    const TUint32 position = aFreeWord & ~KQuickListTag;
    return position < TUint32(stack.count()) && stack[static_cast<TInt>(position)] == aHeader;
}

void QuickLists::clear()
{
    for (Vec<TUint32>& stack : iStacks)
        stack.truncate(0);
    iBytes = 0;
}

TInt QuickLists::count() const
{
    TInt blocks = 0;
    for (const Vec<TUint32>& stack : iStacks) {
        for (TUint32 header : stack)
            blocks += header != 0;
    }
    return blocks;
}
