#include <vector>

#include <gtest/gtest.h>

#include "ImageText.h"

namespace {

typedef std::vector<TUint16> Units;

Units decoded(const ImageFormat::Bytes& aBytes)
{
    const Vec<TUint16> units = ImageText::decode(aBytes);
    return Units(units.begin(), units.end());
}

}

TEST(ImageText, WellFormedSequences)
{
    EXPECT_EQ(decoded({}), Units());
    EXPECT_EQ(decoded({'m', 'a', 'i', 'n'}), Units({'m', 'a', 'i', 'n'}));
    EXPECT_EQ(decoded({0xC3, 0xA9}), Units({0xE9}));
    EXPECT_EQ(decoded({0xE2, 0x82, 0xAC, 'x'}), Units({0x20AC, 'x'}));
    // Above 0xFFFF only the low 16 bits remain.
    EXPECT_EQ(decoded({0xF0, 0x9F, 0x98, 0x80}), Units({0xF600}));
}

TEST(ImageText, LenientRulesOfTheImageFormat)
{
    // A continuation byte met as a lead takes one following byte.
    EXPECT_EQ(decoded({0x85, 0x81}), Units({(0x05 << 6) | 0x01}));
    // Overlong forms are not rejected.
    EXPECT_EQ(decoded({0xC0, 0x80}), Units({0x0000}));
    // A four-byte lead contributes none of its own bits.
    EXPECT_EQ(decoded({0xF7, 0x80, 0x80, 0x81}), Units({0x0001}));
    // Following bytes give their low six bits whatever they are.
    EXPECT_EQ(decoded({0xC1, 'A'}), Units({(0x01 << 6) | 0x01}));
    // A sequence cut off by the end yields one unit.
    EXPECT_EQ(decoded({'a', 0xC3}), Units({'a', 0x03 << 6}));
    EXPECT_EQ(decoded({0xE2}), Units({0x2000}));
    EXPECT_EQ(decoded({0xE2, 0x82}), Units({0x2080}));
    EXPECT_EQ(decoded({0xF0, 0x9F}), Units({0xF000}));
    EXPECT_EQ(decoded({0xF0, 0x9F, 0x98}), Units({0xF600}));
}
