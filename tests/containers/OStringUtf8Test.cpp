#include "OString.h"

#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"

namespace {

std::vector<TUint8> bytesOf(const OString& aString)
{
    const Vec<TUint8> bytes = aString.toUtf8();
    return std::vector<TUint8>(bytes.begin(), bytes.end());
}

OString decode(std::initializer_list<TUint8> aBytes)
{
    const std::vector<TUint8> bytes(aBytes);
    return OString::fromUtf8(bytes.data(), static_cast<TInt>(bytes.size()));
}

TBool rejects(std::initializer_list<TUint8> aBytes)
{
    try {
        decode(aBytes);
    } catch (const ErrorHandlingException&) {
        return ErrorHandling::currentErrorCode() == EDataFormat;
    }
    return EFalse;
}

OString unit(TUint16 aUnit)
{
    return OString::filled(aUnit, 1);
}

}

TEST(OStringUtf8, EncodesEachUnitByItsWidth)
{
    EXPECT_EQ(bytesOf(unit(0x41)), (std::vector<TUint8>{0x41}));
    EXPECT_EQ(bytesOf(unit(0x80)), (std::vector<TUint8>{0xC2, 0x80}));
    EXPECT_EQ(bytesOf(unit(0x7FF)), (std::vector<TUint8>{0xDF, 0xBF}));
    EXPECT_EQ(bytesOf(unit(0x800)), (std::vector<TUint8>{0xE0, 0xA0, 0x80}));
    EXPECT_EQ(bytesOf(unit(0xFFFF)), (std::vector<TUint8>{0xEF, 0xBF, 0xBF}));
    // Surrogates are encoded one by one, never paired.
    EXPECT_EQ(bytesOf(unit(0xD83D)), (std::vector<TUint8>{0xED, 0xA0, 0xBD}));
    EXPECT_TRUE(bytesOf(OString()).empty());
}

TEST(OStringUtf8, DecodesWellFormedSequences)
{
    EXPECT_EQ(decode({0xC2, 0x80}).charAt(0), 0x80);
    EXPECT_EQ(decode({0xDF, 0xBF}).charAt(0), 0x7FF);
    EXPECT_EQ(decode({0xE0, 0xA0, 0x80}).charAt(0), 0x800);
    EXPECT_EQ(decode({0xED, 0x9F, 0xBF}).charAt(0), 0xD7FF);
    EXPECT_EQ(decode({0xEE, 0x80, 0x80}).charAt(0), 0xE000);
    // Beyond 0xFFFF only the low 16 bits remain.
    EXPECT_EQ(decode({0xF0, 0x90, 0x80, 0x80}).charAt(0), 0x0000);
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98, 0x80}).charAt(0), 0xF600);
    EXPECT_EQ(decode({0xF4, 0x8F, 0xBF, 0xBF}).charAt(0), 0xFFFF);

    const OString mixed = decode({'A', 0xE2, 0x82, 0xAC, 'B'});
    EXPECT_EQ(mixed.length(), 3);
    EXPECT_EQ(mixed.charAt(1), 0x20AC);
    EXPECT_EQ(mixed.charAt(2), 'B');
    EXPECT_TRUE(decode({}).isEmpty());
}

TEST(OStringUtf8, RejectsMalformedSequences)
{
    EXPECT_TRUE(rejects({0x80}));                   // lone continuation
    EXPECT_TRUE(rejects({0xC0, 0x80}));             // overlong lead
    EXPECT_TRUE(rejects({0xE0, 0x9F, 0x80}));       // overlong three-byte
    EXPECT_TRUE(rejects({0xED, 0xA0, 0x80}));       // surrogate range
    EXPECT_TRUE(rejects({0xF0, 0x8F, 0xBF, 0xBF})); // overlong four-byte
    EXPECT_TRUE(rejects({0xF4, 0x90, 0x80, 0x80})); // past 0x10FFFF
    EXPECT_TRUE(rejects({0xF5, 0x80, 0x80, 0x80}));
    EXPECT_TRUE(rejects({0xE2, 0x28, 0xA1}));       // bad second byte
    EXPECT_TRUE(rejects({0xE2, 0x82, 0x41}));       // bad third byte
    EXPECT_TRUE(rejects({0xE2}));                   // truncated
    EXPECT_TRUE(rejects({0xF0, 0x9F, 0x98}));
}

TEST(OStringUtf8, RoundTripsEveryNonSurrogateUnit)
{
    Vec<TUint16> units;
    for (TInt u = 1; u <= 0xFFFF; ++u) {
        if (u < 0xD800 || u > 0xDFFF)
            units.append(static_cast<TUint16>(u));
    }
    const OString all(units.data(), 0, units.count() - 1);
    const OString back = OString::fromUtf8(all.toUtf8());
    EXPECT_TRUE(back == all);
}
