#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ORaw.h"
#include "RaisedCode.h"
#include "RecordingServices.h"

using ORaw::KEpsilon;
using ORaw::KMax;
using ORaw::KMin;
using ORaw::KOne;
using ORaw::KPi;
using ORaw::KTwoPiBound;

namespace {

const TInt64 KHalf = KOne / 2;

constexpr TInt64 fixed(TInt64 aInteger)
{
    return aInteger * KOne;
}

std::string text(TInt64 aValue, TInt aDecimals)
{
    return RecordingServices::text(ORaw::toString(aValue, aDecimals));
}

TInt64 parsed(const char* aText)
{
    return ORaw::parse(OString(aText));
}

// Within aSlack units of 2^-32 of aExpected.
::testing::AssertionResult near(TInt64 aValue, TInt64 aExpected, TInt64 aSlack)
{
    if (aValue >= aExpected - aSlack && aValue <= aExpected + aSlack)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << aValue << " is not within " << aSlack << " of " << aExpected;
}

}

TEST(ORaw, AdditionAndSubtractionSaturate)
{
    EXPECT_EQ(ORaw::add(fixed(2) + KHalf, fixed(-3)), -KHalf);
    EXPECT_EQ(ORaw::add(KMax, KEpsilon), KMax);
    EXPECT_EQ(ORaw::add(KMin, -KEpsilon), KMin);
    EXPECT_EQ(ORaw::add(KMax, KMin), -1);
    EXPECT_EQ(ORaw::subtract(fixed(1), fixed(3) + KHalf), fixed(-2) - KHalf);
    EXPECT_EQ(ORaw::subtract(KMin, KOne), KMin);
    EXPECT_EQ(ORaw::subtract(0, KMin), KMax);
    EXPECT_EQ(ORaw::subtract(-1, KMin), KMax);
    EXPECT_EQ(ORaw::subtract(KMax, -KOne), KMax);
}

TEST(ORaw, MultiplicationIsExactUpToTruncationTowardZero)
{
    EXPECT_EQ(ORaw::multiply(fixed(3) + KHalf, fixed(2)), fixed(7));
    EXPECT_EQ(ORaw::multiply(fixed(-3), KHalf), fixed(-1) - KHalf);
    EXPECT_EQ(ORaw::multiply(fixed(46340), fixed(46340)), fixed(2147395600));
    // Below the last fraction bit: toward zero on either side.
    EXPECT_EQ(ORaw::multiply(KEpsilon, KHalf), 0);
    EXPECT_EQ(ORaw::multiply(-KEpsilon, KHalf), 0);
    EXPECT_EQ(ORaw::multiply(fixed(-3) - 1, KHalf), fixed(-1) - KHalf);
    // Products wider than a double's mantissa keep every bit.
    EXPECT_EQ(ORaw::multiply(KMax, KEpsilon), 0x7FFFFFFF);
    EXPECT_EQ(ORaw::multiply(KMax - 1, KOne), KMax - 1);
    EXPECT_EQ(ORaw::multiply(fixed(0x10000) + 3, fixed(0x7FFF) + 5), fixed(2147418112) + 425981);
}

TEST(ORaw, MultiplicationSaturatesFromTheLimitOn)
{
    EXPECT_EQ(ORaw::multiply(fixed(65536), fixed(32768)), KMax);
    EXPECT_EQ(ORaw::multiply(fixed(-65536), fixed(32768)), KMin);
    EXPECT_EQ(ORaw::multiply(KMin, KMin), KMax);
    EXPECT_EQ(ORaw::multiply(KMin, KOne), KMin);
    EXPECT_EQ(ORaw::multiply(KMin, -KOne), KMax);
    EXPECT_EQ(ORaw::multiply(KMax, -KOne), -KMax);
}

// Against the product of the magnitudes, shifted and given its sign: every
// pair of values around zero, the units, the point where products start to
// saturate and the limits, and pairs drawn at random.
TEST(ORaw, MultiplicationAgreesWithTheProductOfTheMagnitudes)
{
    auto reference = [](TInt64 aLeft, TInt64 aRight) {
        auto magnitude = [](TInt64 aValue) {
            return aValue < 0 ? 0 - static_cast<TUint64>(aValue) : static_cast<TUint64>(aValue);
        };
        const unsigned __int128 product =
            (static_cast<unsigned __int128>(magnitude(aLeft)) * magnitude(aRight)) >> 32;
        const TBool negative = (aLeft < 0) != (aRight < 0);
        if (product > static_cast<unsigned __int128>(KMax))
            return negative ? KMin : KMax;
        return negative ? -static_cast<TInt64>(product) : static_cast<TInt64>(product);
    };
    std::vector<TInt64> values;
    for (TInt64 base : {TInt64(0), KOne, fixed(46341), fixed(65536), KMax / 2, KMax}) {
        // Wrapping, so that the steps past KMax give KMin and its negation.
        for (TUint64 step : {TUint64(0) - 1, TUint64(0), TUint64(1)}) {
            const TUint64 value = static_cast<TUint64>(base) + step;
            values.push_back(static_cast<TInt64>(value));
            values.push_back(static_cast<TInt64>(0 - value));
        }
    }
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 200; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        values.push_back(static_cast<TInt64>(state) >> (state % 48));
    }
    for (TInt64 left : values) {
        for (TInt64 right : values)
            ASSERT_EQ(ORaw::multiply(left, right), reference(left, right)) << left << " * " << right;
    }
}

TEST(ORaw, DivisionTruncatesAndRefusesZero)
{
    EXPECT_EQ(ORaw::divide(fixed(7), fixed(2)), fixed(3) + KHalf);
    EXPECT_EQ(ORaw::divide(fixed(1), fixed(3)), 0x55555555);
    EXPECT_EQ(ORaw::divide(fixed(-1), fixed(3)), -0x55555555);
    EXPECT_EQ(ORaw::divide(KMax, KEpsilon), KMax);
    EXPECT_EQ(ORaw::divide(KMax, -KEpsilon), KMin);
    EXPECT_EQ(raisedCode([] { ORaw::divide(fixed(1), 0); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::divide(0, 0); }), EMath);
}

TEST(ORaw, TheLimitsActAsInfinities)
{
    EXPECT_EQ(ORaw::abs(KMin), KMax);
    EXPECT_EQ(ORaw::abs(-KEpsilon), KEpsilon);
    EXPECT_EQ(ORaw::negate(KMax), KMin);
    EXPECT_EQ(ORaw::negate(KMin), KMax);
    EXPECT_EQ(ORaw::negate(KMax - 1), KMin + 2);
    EXPECT_EQ(ORaw::negate(fixed(2) + KHalf), fixed(-3) + KHalf);
}

TEST(ORaw, RoundingToInts)
{
    // fixed.kasm rounds -2.5 all three ways.
    EXPECT_EQ(ORaw::round(fixed(-3) + KHalf + 1), -2);
    EXPECT_EQ(ORaw::round(fixed(2) + KHalf), 3);
    EXPECT_EQ(ORaw::round(fixed(2) + KHalf - 1), 2);
    EXPECT_EQ(ORaw::round(-KHalf), -1);
    EXPECT_EQ(ORaw::round(KMax), 2147483647);
    EXPECT_EQ(ORaw::round(KMin + KHalf + 1), -2147483647 - 1);
    EXPECT_EQ(ORaw::ceiling(fixed(3)), 3);
    EXPECT_EQ(ORaw::ceiling(fixed(3) + 1), 4);
    EXPECT_EQ(ORaw::ceiling(KMax), 2147483647);
    EXPECT_EQ(ORaw::floor(-KEpsilon), -1);
    EXPECT_EQ(ORaw::floor(KMin), -2147483647 - 1);
}

TEST(ORaw, ConversionFromDoubleTruncatesAndSaturates)
{
    EXPECT_EQ(ORaw::toFixed(1.5, 0), fixed(1) + KHalf);
    EXPECT_EQ(ORaw::toFixed(-0.3, 0), -1288490188);
    EXPECT_EQ(ORaw::toFixed(2147483648.0, 0), KMax);
    EXPECT_EQ(ORaw::toFixed(2147483647.75, 0), fixed(2147483647) + KHalf + KHalf / 2);
    EXPECT_EQ(ORaw::toFixed(-2147483648.0, 0), KMin);
    EXPECT_EQ(ORaw::toFixed(HUGE_VAL, 0), KMax);
    EXPECT_EQ(ORaw::toFixed(-HUGE_VAL, 0), KMin);
    EXPECT_EQ(raisedCode([] { ORaw::toFixed(0.0, 1); }), EMath);
    // An unflagged NaN has no value to truncate; the host gets 0.
    EXPECT_EQ(OFixed::fromDouble(std::nan("")).raw(), 0);
    EXPECT_EQ(ORaw::toDouble(fixed(-2) + KHalf), -1.5);
    EXPECT_EQ(ORaw::fromInt(-2147483647 - 1), KMin);
}

// NumberNatives.MathDomainErrorsLeaveTheArgument checks the other domain edges.
TEST(ORaw, FunctionsCheckTheirDomains)
{
    EXPECT_TRUE(near(ORaw::asin(KOne), KPi / 2, 2));
    EXPECT_TRUE(near(ORaw::acos(-KOne), KPi, 2));
    EXPECT_EQ(ORaw::sqrt(0), 0);
    EXPECT_EQ(ORaw::ln(KOne), 0);
    EXPECT_EQ(raisedCode([] { ORaw::ln(-KOne); }), EMath);
    EXPECT_EQ(ORaw::sin(0), 0);
    EXPECT_TRUE(near(ORaw::cos(KPi), -KOne, 2));
    EXPECT_TRUE(near(ORaw::atan(KOne), KPi / 4, 2));
    EXPECT_TRUE(near(ORaw::tan(KPi / 4), KOne, 2));
}

TEST(ORaw, LogarithmsToABase)
{
    EXPECT_TRUE(near(ORaw::logBase(fixed(8), fixed(2)), fixed(3), 8));
    EXPECT_EQ(raisedCode([] { ORaw::logBase(fixed(8), 0); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::logBase(fixed(8), -KOne); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::logBase(fixed(8), fixed(-2)); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::logBase(0, fixed(2)); }), EMath);
    // The base's logarithm is 0 in fixed point: still an error, not a crash.
    EXPECT_EQ(raisedCode([] { ORaw::logBase(fixed(8), KOne + KEpsilon); }), EMath);
}

TEST(ORaw, AngleConversionsKeepToOneTurn)
{
    EXPECT_EQ(ORaw::toDegrees(-KPi), -ORaw::toDegrees(KPi));
    EXPECT_EQ(raisedCode([] { ORaw::toDegrees(fixed(-6) - 0x487F0000); }), EMath);
    // Between the bound and the limit the bound is taken.
    EXPECT_EQ(ORaw::toDegrees(fixed(6) + 0x487EFFFF), ORaw::toDegrees(KTwoPiBound));
    EXPECT_LT(ORaw::toDegrees(KTwoPiBound), fixed(360) + KOne / 1000);
    EXPECT_TRUE(near(ORaw::toRadians(fixed(360)), 2 * KPi, 1 << 10));
    EXPECT_EQ(ORaw::toRadians(fixed(-180)), -ORaw::toRadians(fixed(180)));
    EXPECT_EQ(raisedCode([] { ORaw::toRadians(fixed(360) + KEpsilon); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::toRadians(fixed(-361)); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::toRadians(KMin); }), EMath);
}

TEST(ORaw, Powers)
{
    EXPECT_EQ(ORaw::pow(fixed(-2), fixed(3)), fixed(-8));
    EXPECT_EQ(ORaw::pow(fixed(-2), fixed(-1)), -KHalf);
    EXPECT_EQ(ORaw::pow(fixed(-2), fixed(2)), fixed(4));
    EXPECT_EQ(ORaw::pow(fixed(4), KHalf), fixed(2));
    EXPECT_EQ(ORaw::pow(fixed(2), fixed(-1)), KHalf);
    EXPECT_EQ(ORaw::pow(0, 0), KOne);
    EXPECT_EQ(ORaw::pow(KMin, 0), KOne);
    EXPECT_EQ(ORaw::pow(0, fixed(2)), 0);
    EXPECT_EQ(raisedCode([] { ORaw::pow(fixed(-2), KHalf); }), EMath);
    EXPECT_EQ(raisedCode([] { ORaw::pow(0, -KOne); }), EMath);
    EXPECT_EQ(ORaw::pow(fixed(2), fixed(40)), KMax);
    EXPECT_EQ(ORaw::pow(fixed(-2), fixed(41)), KMin);
    EXPECT_EQ(ORaw::pow(fixed(2), fixed(-40)), 0);
    EXPECT_EQ(ORaw::pow(KHalf, fixed(-40)), KMax);
}

TEST(ORaw, TextWithAllDigits)
{
    EXPECT_EQ(text(fixed(1) + KHalf, -1), "1.5");
    EXPECT_EQ(text(fixed(3), -1), "3.0");
    EXPECT_EQ(text(0, -1), "0.0");
    EXPECT_EQ(text(fixed(-3) + KHalf, -1), "-2.5");
    EXPECT_EQ(text(KMax, -1), "2147483647.99999999976716935634613037109375");
    EXPECT_EQ(raisedCode([] { ORaw::toString(KOne, -2); }), EInvalidArgument);
}

TEST(ORaw, TextRoundsItsLastDigit)
{
    EXPECT_EQ(text(fixed(2) + KHalf, 0), "3");
    EXPECT_EQ(text(fixed(-3) + KHalf, 0), "-3");
    EXPECT_EQ(text(fixed(2) + KHalf - 1, 0), "2");
    EXPECT_EQ(text(parsed("9.96"), 1), "10.0");
    EXPECT_EQ(text(fixed(1) + KOne / 4, 1), "1.3");
    EXPECT_EQ(text(parsed("-0.001"), 2), "-0.00");
    EXPECT_EQ(text(fixed(7), 3), "7.000");
    // The largest whole number takes no carry: its digits stay nines.
    EXPECT_EQ(text(KMax, 0), "2147483647");
    EXPECT_EQ(text(KMax, 2), "2147483647.99");
    EXPECT_EQ(text(KMin + 1, 2), "-2147483647.99");
}

TEST(ORaw, TextBeyondTheLastFractionBit)
{
    EXPECT_EQ(text(KEpsilon, 32), "0.00000000023283064365386962890625");
    EXPECT_EQ(text(KHalf, 40), "0.5000000000000000000000000000000000000000");
    EXPECT_EQ(text(KHalf, 5000).size(), 5002u);
    // Far too long to be made: refused before anything is allocated.
    EXPECT_EQ(raisedCode([] { ORaw::toString(KOne, std::numeric_limits<TInt>::max()); }), EInvalidArgument);
}

TEST(ORaw, ParsingSignsAndIntegerParts)
{
    EXPECT_EQ(parsed("  -12.5"), fixed(-13) + KHalf);
    EXPECT_EQ(parsed("+-3"), fixed(-3));
    EXPECT_EQ(parsed("+++7"), fixed(7));
    EXPECT_EQ(parsed("\t 7"), fixed(7));
    EXPECT_EQ(parsed("12abc"), fixed(12));
    EXPECT_EQ(parsed("12,5"), fixed(12));
    EXPECT_EQ(parsed("1.5xyz"), fixed(1) + KHalf);
    EXPECT_EQ(parsed("2147483647.5"), fixed(2147483647) + KHalf);
    EXPECT_EQ(parsed("2147483648"), KMax);
    EXPECT_EQ(parsed("3000000000"), KMax);
    EXPECT_EQ(parsed("-3000000000"), KMin);
    EXPECT_EQ(parsed("-2147483648"), KMin);
    EXPECT_EQ(parsed("99999999999999999999999.5"), KMax);
    for (const char* bad : {"", "   ", ".", ".5", "12.", "12.x", "-", "--3", "-+3", "+", "x1", " + 1"})
        EXPECT_EQ(raisedCode([&] { parsed(bad); }), EDataFormat) << '"' << bad << '"';
}

TEST(ORaw, ParsingTruncatesTheFraction)
{
    EXPECT_EQ(parsed("0.1"), 429496729);
    EXPECT_EQ(parsed("-0.1"), -429496729);
    EXPECT_EQ(parsed("0.5"), KHalf);
    EXPECT_EQ(parsed("0.4294967295"), 1844674406);
    // The digit that would take the numerator past 32 bits ends the fraction.
    EXPECT_EQ(parsed("0.4294967296"), 1844674404);
    EXPECT_EQ(parsed("0.42949672951"), 1844674406);
    EXPECT_EQ(parsed("0.99999999999"), 4294967291);
    EXPECT_EQ(parsed("0.00000000000000000000001"), 0);
    EXPECT_EQ(parsed("1.0000000000000000000000000000000000000000009"), KOne);
    EXPECT_EQ(parsed("0.00000000023283064365386962890625"), 0);
    EXPECT_EQ(parsed("0.0000000002328306437"), KEpsilon);
}

TEST(ORaw, OFixedIsTheRawWordAsAValue)
{
    const OFixed half(KHalf);
    EXPECT_EQ((OFixed::fromInt(3) * half).raw(), fixed(1) + KHalf);
    EXPECT_EQ((OFixed(KMax) + half).raw(), KMax);
    EXPECT_EQ((-OFixed(KMin)).raw(), KMax);
    EXPECT_LT(OFixed(0x80000000), OFixed(KOne));
    EXPECT_EQ(OFixed::fromDouble(-0.5).toDouble(), -0.5);
}
