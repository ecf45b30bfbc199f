#include "OString.h"

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "RaisedCode.h"

namespace {

std::vector<std::string> pieces(const Vec<OString>& aPieces)
{
    std::vector<std::string> result;
    for (const OString& piece : aPieces)
        result.push_back(piece.toQString().toStdString());
    return result;
}

}

// The string natives check the search forms; these check the range edges.
TEST(OStringQuery, SearchesHonourInclusiveRanges)
{
    const OString s("abcab");
    EXPECT_EQ(s.indexOf("ab", 1, 4), 3);
    EXPECT_EQ(s.indexOf("ab", 1, 3), -1) << "a match must end within the range";
    EXPECT_EQ(s.indexOf(""), -1);
    EXPECT_EQ(s.indexOf("abcabc"), -1);
    EXPECT_EQ(s.indexOf(s, 0, 4, ETrue), 0);
    EXPECT_EQ(s.lastIndexOf("ab", 0, 3), 0);
    EXPECT_EQ(s.countOf(""), 0);
    EXPECT_EQ(s.countOf("abcabc"), 0);
    EXPECT_EQ(OString("aaaa").countOf("aa", 1), 1);
}

// Exact searches scan eight or sixteen positions at a time, comparing the
// first, second and last unit of the key; a small alphabet makes partial
// matches everywhere, including across the ends of the scanned blocks and
// of the range. Keys cut from the text itself make long keys match too.
TEST(OStringQuery, ExactSearchesAgreeWithAPlainSearch)
{
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round) {
        std::string text(random() % 100, ' ');
        for (char& c : text)
            c = static_cast<char>('a' + random() % 3);
        std::string sub(1 + random() % 20, ' ');
        for (char& c : sub)
            c = static_cast<char>('a' + random() % 3);
        if (round % 2 == 0 && text.size() > 1) {
            const std::size_t from = random() % (text.size() - 1);
            sub = text.substr(from, 1 + random() % std::min<std::size_t>(20, text.size() - from));
        }
        const int start = text.empty() ? 0 : static_cast<int>(random() % text.size());
        const int end = text.empty() ? -1 : start + static_cast<int>(random() % (text.size() - start));
        const std::string range = text.empty() ? "" : text.substr(start, end - start + 1);
        const std::size_t expected = range.find(sub);
        const OString string(text.c_str());
        EXPECT_EQ(string.indexOf(OString(sub.c_str()), start, end, ETrue),
                  expected == std::string::npos ? -1 : start + static_cast<int>(expected))
            << text << " " << sub << " " << start << ".." << end;
        int count = 0;
        for (std::size_t at = text.find(sub); at != std::string::npos; at = text.find(sub, at + sub.size()))
            ++count;
        EXPECT_EQ(string.countOf(OString(sub.c_str())), count) << text << " " << sub;
    }
}

TEST(OStringQuery, RangeChecksAcceptOnlyTheEmptyRangeOnEmptyText)
{
    const OString empty;
    EXPECT_EQ(empty.indexOf("a"), -1);
    EXPECT_EQ(empty.countOf("a"), 0);
    EXPECT_EQ(raisedCode([&] { empty.indexOf("a", 0, 0); }), ERange);
    const OString s("abc");
    EXPECT_EQ(s.indexOf("a", 0, -1), -1);
    EXPECT_EQ(raisedCode([&] { s.indexOf("a", -1, 1); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.indexOf("a", 2, 1); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.lastIndexOf("a", 0, 3); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.countOf("a", 3); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.compareRange("a", 1, 5); }), ERange);
    EXPECT_EQ(raisedCode([] { OString("ab").mostFrequentChar(0, -1); }), ERange);
}

TEST(OStringQuery, ComparesByFirstDifferenceThenLength)
{
    EXPECT_EQ(OString("abc").compareTo("abd"), -1);
    EXPECT_EQ(OString("ab").compareTo("abc"), -1);
    EXPECT_EQ(OString("").compareTo("xyz"), -3);
    EXPECT_EQ(OString("ABC").compareTo("abc", EFalse), 0);
    EXPECT_EQ(OString("ABC").compareTo("abc"), 'A' - 'a');
    EXPECT_EQ(OString("xxabc").compareTo("abc", 2), 0);
    EXPECT_EQ(OString("xxabc").compareRange("ab", 2, 3), 0);
    EXPECT_EQ(OString("xxabc").compareRange("", 1, 3), 3);
}

TEST(OStringQuery, EqualityAndAffixes)
{
    const OString s("Hello");
    EXPECT_TRUE(OString() == OString(""));
    EXPECT_FALSE(s.equals("Hell"));
    EXPECT_TRUE(s.equals("llo", 2));
    EXPECT_FALSE(s.regionEquals("ell", 1, 4));
    EXPECT_FALSE(s.regionEquals("x", 0, -1));
    EXPECT_FALSE(s.endsWith("Hello!"));
    EXPECT_FALSE(s.startsWith(""));
    EXPECT_FALSE(s.endsWith(""));
    EXPECT_FALSE(OString().startsWith("a"));
}

TEST(OStringQuery, MostFrequentCharPrefersEarliestOnTies)
{
    EXPECT_EQ(OString("abcbca").mostFrequentChar(), 'a');
    EXPECT_EQ(OString("xBbAa").mostFrequentChar(EFalse), 'b');
}

TEST(OStringQuery, SplitDropsEmptyPieces)
{
    using P = std::vector<std::string>;
    EXPECT_EQ(pieces(OString("a,,b,").split(",")), (P{"a", "b"}));
    EXPECT_EQ(pieces(OString(",a").split(",")), (P{"a"}));
    EXPECT_EQ(pieces(OString("one--two--three").split("--")), (P{"one", "two", "three"}));
    EXPECT_TRUE(OString("ab").split("abc").isEmpty());
    EXPECT_TRUE(OString().split("").isEmpty());
}

TEST(OStringQuery, ParseIntReadsLeadingDigits)
{
    EXPECT_EQ(OString::digitValue('7', 7), -1);
    EXPECT_EQ(OString::digitValue('Z', 36), 35);
    EXPECT_EQ(OString(" \t42abc").parseInt(10), 42);
    EXPECT_EQ(OString("4294967297").parseInt(10), 1) << "wraps in 32 bits";
    EXPECT_EQ(raisedCode([] { OString("z").parseInt(10); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString("-1").parseInt(10); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString("   ").parseInt(10); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString("1").parseInt(37); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([] { OString("1").parseInt(1); }), EInvalidArgument);
}

TEST(OStringQuery, ParseUnsigned64ReportsOverflowAndStrayUnits)
{
    TBool ok = ETrue;
    EXPECT_EQ(OString(" 18446744073709551615").parseUnsigned64(10, ok), ULLONG_MAX);
    EXPECT_TRUE(ok);
    EXPECT_EQ(OString("18446744073709551616").parseUnsigned64(10, ok), 1844674407370955161ULL);
    EXPECT_FALSE(ok);
    // This overflow wraps to a value above the previous one.
    EXPECT_EQ(OString("30000000000000000000").parseUnsigned64(10, ok), 3000000000000000000ULL);
    EXPECT_FALSE(ok);
    EXPECT_EQ(OString("12x").parseUnsigned64(10, ok), 12u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(OString("  ").parseUnsigned64(10, ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(raisedCode([&] { OString("1").parseUnsigned64(0, ok); }), EInvalidArgument);
}

TEST(OStringQuery, ParseDecimalAcceptsOneSign)
{
    EXPECT_EQ(OString("+5").parseDecimal(), 5);
    EXPECT_EQ(OString("+-0").parseDecimal(), 0);
    EXPECT_EQ(OString("-2147483648").parseDecimal(), INT_MIN);
    EXPECT_EQ(raisedCode([] { OString("-").parseDecimal(); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString("+-5").parseDecimal(); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString(" ").parseDecimal(); }), EDataFormat);
    EXPECT_EQ(raisedCode([] { OString().parseDecimal(); }), EDataFormat);
}
