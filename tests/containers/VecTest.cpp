#include "ErrorHandling.h"
#include "RaisedCode.h"
#include "Vec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// Counts live instances, so that a missed or doubled destructor shows.
struct Counted {
    static int iLive;
    int iValue;
    Counted(int aValue = 0) : iValue(aValue) { ++iLive; }
    Counted(const Counted& aOther) : iValue(aOther.iValue) { ++iLive; }
    Counted(Counted&& aOther) noexcept : iValue(aOther.iValue) { ++iLive; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --iLive; }
};
int Counted::iLive = 0;

}

TEST(VecTest, CapacityFollowsTheGrowthRules)
{
    EXPECT_EQ(Vec<int>(0).capacity(), 7);
    EXPECT_EQ(Vec<int>(-4).capacity(), 7);
    EXPECT_EQ(Vec<int>(5).capacity(), 11);

    Vec<int> grown;
    grown.append(1);
    for (int i = 1; i < 8; ++i)
        grown.append(i);
    EXPECT_EQ(grown.capacity(), 8);
    grown.append(8);
    EXPECT_EQ(grown.capacity(), 18);

    Vec<int> bulk(3);
    bulk.append(1);
    bulk.append(2);
    bulk.append(grown);
    EXPECT_EQ(bulk.count(), 11);
    EXPECT_EQ(bulk.capacity(), 11);
    EXPECT_EQ(bulk[10], 8);
}

TEST(VecTest, BadIndexesAndCountsRaiseInvalidArgument)
{
    Vec<int> v;
    v.append(1);
    v.append(2);
    EXPECT_EQ(raisedCode([&] { v.at(2); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { v.at(-1); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { v.reserve(1); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { v.truncate(3); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { v.append(v, 1, 2); }), EInvalidArgument);
    EXPECT_EQ(v.count(), 2);
    EXPECT_EQ(v.at(1), 2);
}

TEST(VecTest, AppendingFromItselfSurvivesReallocation)
{
    Vec<std::string> v;
    v.append(std::string("first element, long enough to live on the heap"));
    while (v.count() < v.capacity())
        v.append(std::to_string(v.count()));
    v.append(v[0]);
    EXPECT_EQ(v.last(), v[0]);

    const TInt before = v.count();
    v.append(v);
    ASSERT_EQ(v.count(), 2 * before);
    for (TInt i = 0; i < before; ++i)
        EXPECT_EQ(v[before + i], v[i]);
}

TEST(VecTest, EveryElementIsDestroyedExactlyOnce)
{
    {
        Vec<Counted> v;
        for (int i = 0; i < 50; ++i)
            v.append(Counted(i));
        EXPECT_EQ(Counted::iLive, 50);

        Vec<Counted> copy(v);
        Vec<Counted> assigned(3);
        assigned.append(Counted(-1));
        assigned = copy;
        EXPECT_EQ(Counted::iLive, 150);

        Vec<Counted> moved(std::move(copy));
        EXPECT_EQ(Counted::iLive, 150);
        assigned = std::move(moved);
        EXPECT_EQ(Counted::iLive, 100);

        v.truncate(10);
        v.grow(5);
        v.reserve(100);
        EXPECT_EQ(Counted::iLive, 65);
        EXPECT_EQ(v[9].iValue, 9);
        EXPECT_EQ(v[14].iValue, 0);

        v.clear();
        EXPECT_EQ(v.capacity(), 0);
        EXPECT_EQ(v.data(), nullptr);
        EXPECT_EQ(Counted::iLive, 50);
    }
    EXPECT_EQ(Counted::iLive, 0);
}

// Elements that ask for more alignment than new gives start on a cache
// line however the storage grows, is copied or is moved.
TEST(VecTest, OverAlignedElementsStartOnACacheLine)
{
    struct alignas(32) Wide {
        int iValue;
    };
    auto onALine = [](const Vec<Wide>& aVec) { return reinterpret_cast<std::uintptr_t>(aVec.data()) % 64 == 0; };
    Vec<Wide> v;
    for (int i = 0; i < 100; ++i) {
        v.append(Wide {i});
        ASSERT_TRUE(onALine(v)) << i;
    }
    Vec<Wide> copy(v);
    EXPECT_TRUE(onALine(copy));
    EXPECT_EQ(copy[99].iValue, 99);
    Vec<Wide> moved(std::move(copy));
    EXPECT_TRUE(onALine(moved));
    moved.reserve(1000);
    EXPECT_TRUE(onALine(moved));
    EXPECT_EQ(moved[42].iValue, 42);
}
