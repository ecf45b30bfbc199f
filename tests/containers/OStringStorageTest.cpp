#include "OString.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "RaisedCode.h"

namespace {

std::string text(const OString& aString)
{
    return aString.toQString().toStdString();
}

TBool isNull(const OString& aString)
{
    return aString.units() == nullptr && aString.length() == 0 && aString.capacity() == 0;
}

}

TEST(OStringStorage, CapacityFollowsTheGrowthRule)
{
    const struct {
        TInt length;
        TInt capacity;
    } cases[] = {{1, 10}, {8, 10}, {9, 10}, {10, 12}, {11, 13}, {100, 120}};
    for (const auto& c : cases)
        EXPECT_EQ(OString::filled('x', c.length).capacity(), c.capacity) << c.length;
}

TEST(OStringStorage, EmptyResultsHoldNoBuffer)
{
    OString whole("abc");
    EXPECT_TRUE(isNull(OString("")));
    EXPECT_TRUE(isNull(OString("abc", 3)));
    EXPECT_TRUE(isNull(OString("abc", -1)));
    EXPECT_TRUE(isNull(OString::fromQString(QString(""))));
    EXPECT_TRUE(isNull(OString(whole, 0, -1)));
    EXPECT_TRUE(isNull(OString(whole, 3)));
    whole.removeRange(0, 2);
    EXPECT_TRUE(isNull(whole));
    EXPECT_TRUE(OString().toQString().isNull());
}

TEST(OStringStorage, ConstructsFromRawText)
{
    EXPECT_EQ(text(OString("hello", 2)), "llo");
    const char latin1[] = {'c', 'a', 'f', char(0xE9), 0};
    EXPECT_EQ(OString(latin1).charAt(3), 0xE9);

    const TUint16 units[] = {'a', 0x20AC, 'b', 0};
    EXPECT_EQ(OString(units, 1).charAt(0), 0x20AC);
    EXPECT_EQ(OString(units, 1).length(), 2);
    EXPECT_EQ(OString(units, 0, 1).length(), 2);
    EXPECT_TRUE(isNull(OString(units, 2, 1)));

    const TUint8 bytes[] = {'x', 0xFF, 'y'};
    const OString fromBytes(bytes, 1, 2);
    EXPECT_EQ(fromBytes.charAt(0), 0xFF);
    EXPECT_EQ(fromBytes.units()[fromBytes.length()], 0) << "text is zero-terminated";
}

TEST(OStringStorage, SubstringsShareWholeTextAndCopyParts)
{
    const OString source("abcdefg");
    EXPECT_EQ(OString(source, 0, 6).units(), source.units());
    EXPECT_EQ(OString(source, 0).units(), source.units());
    const OString part(source, 2, 4);
    EXPECT_NE(part.units(), source.units());
    EXPECT_EQ(text(part), "cde");
    EXPECT_TRUE(isNull(OString(source, 7)));
    EXPECT_EQ(raisedCode([&] { OString(source, 3, 7); }), ERange);
    EXPECT_EQ(raisedCode([&] { OString(source, 4, 3); }), ERange);
}

TEST(OStringStorage, SteppedSubstringTakesEveryNthUnit)
{
    const OString source("abcdefg");
    EXPECT_EQ(text(OString(source, 0, 6, 2)), "aceg");
    EXPECT_EQ(text(OString(source, 1, 6, 2)), "bdf");
    EXPECT_EQ(text(OString(source, 2, 2, 5)), "c");
    EXPECT_EQ(OString(source, 0, 6, 1).units(), source.units());
    EXPECT_EQ(raisedCode([&] { OString(source, 0, 6, 0); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { OString(source, 0, 9, 2); }), ERange);
}

TEST(OStringStorage, FormatsNumbers)
{
    EXPECT_EQ(text(OString(0)), "0");
    EXPECT_EQ(text(OString(TInt64(LLONG_MIN))), "-9223372036854775808");
    EXPECT_EQ(text(OString::fromUnsigned(255, 16)), "ff");
    EXPECT_EQ(text(OString::fromUnsigned(0, 7)), "0");
    EXPECT_EQ(text(OString::fromUnsigned(UINT_MAX, 36)), "1z141z3");
    EXPECT_TRUE(isNull(OString::fromUnsigned(255, 1)));
}

TEST(OStringStorage, FillAndRepeatConstructors)
{
    EXPECT_EQ(text(OString::filled('z', 3)), "zzz");
    EXPECT_EQ(raisedCode([] { OString::filled('z', -1); }), EInvalidArgument);
    const OString ab("ab");
    EXPECT_EQ(text(OString::repeated(ab, 3)), "ababab");
    EXPECT_EQ(OString::repeated(ab, 1).units(), ab.units());
    EXPECT_TRUE(isNull(OString::repeated(ab, 0)));
    EXPECT_EQ(raisedCode([&] { OString::repeated(ab, -1); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { OString::repeated(ab, INT_MAX); }), EInvalidArgument);
}

TEST(OStringStorage, CopiesShareAndOutliveEachOther)
{
    OString* first = new OString("shared text");
    OString second(*first);
    OString third;
    third = second;
    EXPECT_EQ(second.units(), first->units());
    EXPECT_EQ(third.units(), first->units());
    const TUint16* before = third.units();
    third = *first;
    third = third;
    EXPECT_EQ(third.units(), before);
    delete first;
    EXPECT_EQ(text(second), "shared text");
    OString moved(std::move(second));
    EXPECT_TRUE(isNull(second));
    EXPECT_EQ(text(moved), "shared text");
}

TEST(OStringStorage, ConcatenationCopiesLeftAndSharesWhenOneSideIsEmpty)
{
    const OString left("ab");
    const OString right("cd");
    EXPECT_EQ(text(left + right), "abcd");
    EXPECT_EQ((OString() + right).units(), right.units());
    EXPECT_EQ((left + OString()).units(), left.units());
}

TEST(OStringStorage, ConvertsToAndFromQString)
{
    const QString original = QString::fromUtf16(u"A\u00E9\u20AC\xD83D\xDE00");
    const OString converted = OString::fromQString(original);
    EXPECT_EQ(converted.length(), 5);
    EXPECT_EQ(converted.charAt(3), 0xD83D);
    EXPECT_EQ(converted.toQString(), original);
}
