#include "ErrorHandling.h"
#include "LinkedList.h"
#include "RaisedCode.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

typedef LinkedListIterator<TInt> Iterator;

// The values from head to tail, checked against the backward links too.
std::vector<TInt> contents(LinkedList<TInt>& aList, ListNodePool<TInt>& aPool)
{
    std::vector<TInt> values;
    TUint32 previous = 0;
    for (Iterator it = aList.first(); !it.isNull(); it = aList.next(it)) {
        EXPECT_EQ(aPool.entry(it.number()).iPrevious, previous);
        previous = it.number();
        values.push_back(aList.value(it));
    }
    EXPECT_EQ(aList.last().number(), previous);
    EXPECT_EQ(TInt(values.size()), aList.count());
    return values;
}

}

TEST(LinkedListTest, DefaultIteratorMeansNotInAList)
{
    EXPECT_TRUE(Iterator().isNull());
    EXPECT_NE(Iterator(77), Iterator());

    ListNodePool<TInt> pool;
    LinkedList<TInt> list(pool);
    EXPECT_TRUE(list.first().isNull());
    list.append(5);
    EXPECT_EQ(raisedCode([&] { list.remove(Iterator()); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { list.value(Iterator(1u << 20)); }), EInvalidArgument);
}

TEST(LinkedListTest, RemovingHeadMiddleAndTailKeepsTheLinks)
{
    ListNodePool<TInt> pool;
    LinkedList<TInt> list(pool);
    std::vector<Iterator> nodes;
    for (TInt i = 0; i < 5; ++i)
        nodes.push_back(list.append(i));
    EXPECT_EQ(contents(list, pool), (std::vector<TInt>{0, 1, 2, 3, 4}));

    list.remove(nodes[2]);
    EXPECT_EQ(contents(list, pool), (std::vector<TInt>{0, 1, 3, 4}));
    list.remove(nodes[0]);
    EXPECT_EQ(contents(list, pool), (std::vector<TInt>{1, 3, 4}));
    list.remove(nodes[4]);
    list.append(9);
    EXPECT_EQ(contents(list, pool), (std::vector<TInt>{1, 3, 9}));

    EXPECT_EQ(raisedCode([&] { list.remove(nodes[2]); }), EInvalidArgument);
    list.remove(list.first());
    list.remove(list.first());
    list.remove(list.first());
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(list.last().isNull());
    EXPECT_EQ(pool.countInUse(), 0);
}

TEST(LinkedListTest, FindAnswersTheFirstHolderAndNodesOfAnotherListAreRefused)
{
    ListNodePool<TInt> pool;
    LinkedList<TInt> one(pool);
    LinkedList<TInt> other(pool);
    one.append(1);
    const Iterator firstSeven = one.append(7);
    one.append(7);
    EXPECT_EQ(one.find(7), firstSeven);
    EXPECT_TRUE(one.find(8).isNull());
    const Iterator foreign = other.append(2);
    EXPECT_EQ(raisedCode([&] { one.remove(foreign); }), EInvalidArgument);
    EXPECT_EQ(one.count(), 3);
    EXPECT_EQ(other.count(), 1);
}

TEST(LinkedListTest, ReleasedNumbersAreReused)
{
    ListNodePool<TInt> pool;
    {
        LinkedList<TInt> list(pool);
        list.append(1);
        const Iterator middle = list.append(2);
        list.append(3);
        list.remove(middle);
        EXPECT_EQ(list.append(4), middle);
    }
    EXPECT_EQ(pool.countInUse(), 0);
    LinkedList<TInt> list(pool);
    for (TInt i = 0; i < 255; ++i)
        list.append(i);
    EXPECT_EQ(pool.blockCount(), 1);
    list.append(255);
    EXPECT_EQ(pool.blockCount(), 2);
}

TEST(LinkedListTest, ManyNodesAcrossManyBlocks)
{
    const TInt total = 100000;
    ListNodePool<TInt> pool;
    Vec<LinkedList<TInt>> lists;
    for (TInt i = 0; i < 3; ++i)
        lists.append(LinkedList<TInt>(pool));

    std::vector<Iterator> nodes;
    std::set<TUint32> numbers;
    for (TInt i = 0; i < total; ++i) {
        nodes.push_back(lists[i % 3].append(i));
        numbers.insert(nodes.back().number());
    }
    EXPECT_EQ(TInt(numbers.size()), total);
    EXPECT_EQ(numbers.count(0), 0u);
    EXPECT_EQ(pool.blockCount(), (total + 1 + 255) / 256);

    for (TInt i = 0; i < total; i += 2)
        lists[i % 3].remove(nodes[i]);
    for (TInt i = 1; i < total; i += 2)
        EXPECT_EQ(lists[i % 3].value(nodes[i]), i);

    // Growing the vector moves the lists.
    for (TInt i = 0; i < 10; ++i)
        lists.append(LinkedList<TInt>(pool));
    TInt expected = 1;
    for (Iterator it = lists[1].first(); !it.isNull(); it = lists[1].next(it)) {
        EXPECT_EQ(lists[1].value(it), expected);
        expected += 6;
    }
    EXPECT_EQ(pool.countInUse(), total / 2);
    lists.clear();
    EXPECT_EQ(pool.countInUse(), 0);
}
