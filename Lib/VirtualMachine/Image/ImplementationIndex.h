#ifndef KELVO_IMPLEMENTATIONINDEX_H
#define KELVO_IMPLEMENTATIONINDEX_H

#include <algorithm>

#include "Types.h"
#include "Vec.h"

// Where the first implementation of each class lies among a method's
// implementations. A method that a base class defines is listed once for
// every class that inherits it, so a program of many classes would
// otherwise search a long list at each virtual call. Classes close
// together get a table by class index; classes far apart a sorted list,
// searched by halves, so that the memory stays in proportion to the
// implementations whatever indices an image gives.
class ImplementationIndex {
public:
    // Indexes the aCount classes of aClasses, given in the order of the
    // implementations; the first position of each class is kept.
    void build(const TInt32* aClasses, TInt aCount);
    void clear();
    TBool isEmpty() const { return iPositions.isEmpty(); }

    // The position of the first implementation of aClassIndex, or -1.
    TInt32 find(TInt32 aClassIndex) const
    {
        if (iClasses.isEmpty()) {
            const TUint32 at = static_cast<TUint32>(aClassIndex) - static_cast<TUint32>(iLowest);
            return at < static_cast<TUint32>(iPositions.count()) ? iPositions[static_cast<TInt>(at)] : -1;
        }
        const TInt32* found = std::lower_bound(iClasses.begin(), iClasses.end(), aClassIndex);
        return found != iClasses.end() && *found == aClassIndex ? iPositions[static_cast<TInt>(found - iClasses.begin())]
                                                                 : -1;
    }

private:
    void buildTable(const TInt32* aClasses, TInt aCount, TInt32 aLowest, TInt64 aSpan);
    void buildSortedList(const TInt32* aClasses, TInt aCount);

    // The table: a position (or -1) for every class from iLowest. The
    // sorted list: a position beside each class of iClasses.
    Vec<TInt32> iPositions;
    Vec<TInt32> iClasses;
    TInt32 iLowest = 0;
};

#endif
