#include <bit>
#include <chrono>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "ORaw.h"
#include "RandomGenerator.h"

namespace {

const TUint32 KSeed = 20240611;

// The standard library's MT19937 given the state that the 1998 seeding
// makes, so that it produces the same sequence as the machine's generator.
std::mt19937 reference(TUint32 aSeed)
{
    std::ostringstream state;
    TUint32 word = aSeed;
    for (int i = 0; i < 624; ++i) {
        state << word << ' ';
        word *= 69069u;
    }
    state << 624;
    std::mt19937 generator;
    std::istringstream input(state.str());
    input >> generator;
    return generator;
}

}

TEST(RandomGenerator, ProducesTheMersenneTwisterSequence)
{
    RandomGenerator generator(KSeed);
    std::mt19937 expected = reference(KSeed);
    // Past three regenerations of the state.
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(generator.next(), expected()) << "output " << i;
}

TEST(RandomGenerator, IntsCoverTheirBoundsInEitherOrder)
{
    RandomGenerator generator(KSeed);
    std::mt19937 expected = reference(KSeed);
    const TInt32 min = std::numeric_limits<TInt32>::min();
    const TInt32 max = std::numeric_limits<TInt32>::max();
    // The whole int range is a span of 2^32: the output itself, shifted.
    EXPECT_EQ(generator.nextInt(max, min), static_cast<TInt32>(expected() ^ 0x80000000u));
    EXPECT_EQ(generator.nextInt(5, 5), 5);
    expected();
    bool seen[5] = {};
    for (int i = 0; i < 500; ++i) {
        const TInt32 value = generator.nextInt(7, 3);
        ASSERT_GE(value, 3);
        ASSERT_LE(value, 7);
        seen[value - 3] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3] && seen[4]);
}

TEST(RandomGenerator, FixedValuesScaleTheOutputAsAFraction)
{
    RandomGenerator generator(KSeed);
    std::mt19937 expected = reference(KSeed);
    EXPECT_EQ(generator.nextFixed(0, ORaw::KOne), static_cast<TInt64>(expected()));
    EXPECT_EQ(generator.nextFixed(ORaw::KOne * 3, ORaw::KOne * 2), ORaw::KOne * 2 + expected());
    EXPECT_EQ(generator.nextFixed(-ORaw::KOne, -ORaw::KOne), -ORaw::KOne);
    const TInt64 low = -ORaw::KOne * 1000;
    const TInt64 high = ORaw::KOne / 2;
    for (int i = 0; i < 500; ++i) {
        const TInt64 value = generator.nextFixed(high, low);
        ASSERT_GE(value, low);
        ASSERT_LT(value, high);
    }
}

// The span from the minimum to the maximum does not fit: one value is
// drawn below zero, one above, and a third output picks between them.
TEST(RandomGenerator, FixedValuesOverTheWidestSpan)
{
    RandomGenerator generator(KSeed);
    std::mt19937 expected = reference(KSeed);
    bool seenNegative = false;
    bool seenPositive = false;
    for (int i = 0; i < 100; ++i) {
        const TInt64 below = ORaw::KMin + static_cast<TInt64>(expected()) * (TInt64(1) << 31);
        const TUint32 upper = expected();
        const TInt64 above = upper == 0 ? 0 : static_cast<TInt64>(upper) * (TInt64(1) << 31) - 1;
        const TInt64 value = expected() % 2 == 0 ? above : below;
        ASSERT_EQ(generator.nextFixed(ORaw::KMax, ORaw::KMin), value) << "draw " << i;
        (value < 0 ? seenNegative : seenPositive) = true;
    }
    EXPECT_TRUE(seenNegative && seenPositive);

    const TInt64 low = -ORaw::KOne * 1500000000;
    const TInt64 high = ORaw::KOne * 1500000000;
    for (int i = 0; i < 500; ++i) {
        const TInt64 value = generator.nextFixed(low, high);
        ASSERT_GE(value, low);
        ASSERT_LT(value, high);
    }
}

// Launches a moment apart must not start from seeds that differ in a few
// low bits, as the processor time alone would give.
TEST(RandomGenerator, LaunchSeedsAMomentApartAreUnrelated)
{
    const TUint32 first = RandomGenerator::launchSeed();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const TUint32 second = RandomGenerator::launchSeed();
    EXPECT_GE(std::popcount(first ^ second), 6);
}
