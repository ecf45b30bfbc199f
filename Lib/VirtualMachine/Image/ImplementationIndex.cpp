#include "ImplementationIndex.h"

#include <utility>
#include <vector>

namespace {

// A table has at most this many entries per implementation; classes more
// spread out than that get the sorted list.
const TInt64 KMaxTableEntriesPerImplementation = 8;

}

void ImplementationIndex::build(const TInt32* aClasses, TInt aCount)
{
    clear();
    if (aCount <= 0)
        return;
    const auto [lowest, highest] = std::minmax_element(aClasses, aClasses + aCount);
    const TInt64 span = TInt64(*highest) - TInt64(*lowest) + 1;
    if (span <= KMaxTableEntriesPerImplementation * aCount)
        buildTable(aClasses, aCount, *lowest, span);
    else
        buildSortedList(aClasses, aCount);
}

void ImplementationIndex::clear()
{
    iPositions.truncate(0);
    iClasses.truncate(0);
    iLowest = 0;
}

// Filled from the last implementation back, so that the first of a class
// is the one that stays.
void ImplementationIndex::buildTable(const TInt32* aClasses, TInt aCount, TInt32 aLowest, TInt64 aSpan)
{
    iPositions = Vec<TInt32>(static_cast<TInt>(aSpan));
    for (TInt64 i = 0; i < aSpan; ++i)
        iPositions.append(-1);
    for (TInt i = aCount - 1; i >= 0; --i)
        iPositions[static_cast<TInt>(TInt64(aClasses[i]) - aLowest)] = i;
    iLowest = aLowest;
}

// Sorted by class, then by position, so that the first of each class
// comes first and the rest are skipped.
void ImplementationIndex::buildSortedList(const TInt32* aClasses, TInt aCount)
{
    std::vector<std::pair<TInt32, TInt32>> byClass;
    byClass.reserve(static_cast<std::size_t>(aCount));
    for (TInt i = 0; i < aCount; ++i)
        byClass.emplace_back(aClasses[i], i);
    std::sort(byClass.begin(), byClass.end());
    for (std::size_t i = 0; i < byClass.size(); ++i) {
        if (i > 0 && byClass[i].first == byClass[i - 1].first)
            continue;
        iClasses.append(byClass[i].first);
        iPositions.append(byClass[i].second);
    }
}
