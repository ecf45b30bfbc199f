#include "CAppsString.h"
#include "ErrorHandling.h"
#include "RaisedCode.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

QString q(const CAppsString& aText)
{
    return aText.toQString();
}

}

TEST(CAppsStringTest, ConstructionWidensAndConvertsExactly)
{
    EXPECT_EQ(CAppsString("a\xE9")[1], 0xE9);
    EXPECT_EQ(q(CAppsString("abcdef", 3)), "abc");
    EXPECT_TRUE(CAppsString(static_cast<const char*>(nullptr)).isEmpty());

    const TUint16 units[] = {0x20AC, 0xD83D, 0xDE00};
    const CAppsString wide(units, 3);
    EXPECT_EQ(CAppsString(wide.toQString()), wide);
    EXPECT_EQ(wide.toQString(), QString::fromUtf8("\u20AC\U0001F600"));

    EXPECT_EQ(q(CAppsString::fromInt(std::numeric_limits<TInt>::min())), "-2147483648");
    EXPECT_EQ(q(CAppsString::fromInt64(std::numeric_limits<TInt64>::min())), "-9223372036854775808");

    EXPECT_EQ(raisedCode([] { CAppsString("abc", -1); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([] { CAppsString(static_cast<const TUint16*>(nullptr), 2); }), EInvalidArgument);
}

TEST(CAppsStringTest, FindStaysInsideItsWindow)
{
    const CAppsString text("abcabc");
    EXPECT_EQ(text.find("bc", 2), 4);
    EXPECT_EQ(text.find("bc", 0, 2), -1);
    EXPECT_EQ(text.find("bc", 0, 3), 1);
    EXPECT_EQ(text.find("BC", 2, -1, EFalse), 4);
    EXPECT_EQ(text.find("abcabcx"), -1);
    EXPECT_EQ(text.find("c", 6), -1);
    EXPECT_EQ(text.find(""), -1);
    EXPECT_EQ(CAppsString().find("a", 99), -1);
    EXPECT_EQ(raisedCode([&] { text.find("a", -1); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { text.find("a", 7); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { text.find("a", 4, 3); }), EIndexOutOfBounds);

    EXPECT_EQ(text.findBackward("bc", 4), 1);
    EXPECT_EQ(text.findBackward("bc", 5, 1), -1);
    EXPECT_EQ(text.findBackward("bc", 2, 2), 1);
    EXPECT_EQ(text.findBackward("ABC", 5, -1, EFalse), 3);
    EXPECT_EQ(text.findBackward("a", -1), -1);
    EXPECT_EQ(text.findBackward("", 5), -1);
    EXPECT_EQ(CAppsString().findBackward("a", 99), -1);
    EXPECT_EQ(raisedCode([&] { text.findBackward("a", 6); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { text.findBackward("a", -2); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { text.findBackward("a", 1, 3); }), EIndexOutOfBounds);
}

TEST(CAppsStringTest, PrefixSuffixAndEquality)
{
    const CAppsString path("Data/Level.TXT");
    EXPECT_TRUE(path.startsWith(""));
    EXPECT_TRUE(path.endsWith(""));
    EXPECT_FALSE(path.startsWith("data/"));
    EXPECT_TRUE(path.endsWith(".txt", EFalse));
    EXPECT_FALSE(CAppsString("a").endsWith("ba"));

    const CAppsString upper(QString::fromUtf8("\u00C4B"));
    const CAppsString lower(QString::fromUtf8("\u00E4b"));
    EXPECT_TRUE(upper.equals(lower, EFalse));
    EXPECT_FALSE(upper.equalsIgnoringAsciiCase(lower));
    EXPECT_TRUE(CAppsString("Content-Type").equalsIgnoringAsciiCase("content-TYPE"));
    EXPECT_TRUE(CAppsString("ab") != CAppsString("abc"));
    EXPECT_LT(CAppsString("a").localeAwareCompare("b"), 0);
}

TEST(CAppsStringTest, EditingInPlace)
{
    CAppsString text(" \t a b \n");
    text.trim(ETrue, EFalse);
    EXPECT_EQ(q(text), "a b \n");
    text.trim(EFalse, ETrue);
    EXPECT_EQ(q(text), "a b");
    CAppsString blank("   ");
    blank.trim();
    EXPECT_TRUE(blank.isEmpty());

    CAppsString cased(QString::fromUtf8("ab\u00E4"));
    cased.toUpperCase();
    EXPECT_EQ(cased.toQString(), QString::fromUtf8("AB\u00C4"));
    cased.toLowerCase();
    EXPECT_EQ(cased.toQString(), QString::fromUtf8("ab\u00E4"));

    CAppsString word("ace");
    word.insert(1, "b");
    word.insert(3, "d");
    word.insert(5, "!");
    word.insert(0, word);
    EXPECT_EQ(q(word), "abcde!abcde!");
    EXPECT_EQ(raisedCode([&] { word.insert(-1, "x"); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { word.insert(13, "x"); }), EIndexOutOfBounds);
    EXPECT_EQ(word.length(), 12);
}

TEST(CAppsStringTest, RepeatAndJoin)
{
    CAppsString text("ab");
    text.setRepeated(text, 3);
    EXPECT_EQ(q(text), "ababab");
    text.setRepeated("x", 0);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(raisedCode([&] { text.setRepeated("x", -1); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { text.setRepeated("xx", std::numeric_limits<TInt>::max()); }), EInvalidArgument);

    Vec<CAppsString> parts;
    EXPECT_TRUE(CAppsString::join(parts, ", ").isEmpty());
    parts.append(CAppsString("a"));
    parts.append(CAppsString());
    parts.append(CAppsString("b"));
    EXPECT_EQ(q(CAppsString::join(parts, ", ")), "a, , b");
}

TEST(CAppsStringTest, NarrowKeepsLowBytesAndATerminator)
{
    const TUint16 units[] = {'A', 0x141, 0xFF};
    const Vec<char> narrow = CAppsString(units, 3).narrow();
    ASSERT_EQ(narrow.count(), 4);
    EXPECT_EQ(narrow[1], 'A');
    EXPECT_EQ(static_cast<unsigned char>(narrow[2]), 0xFF);
    EXPECT_EQ(narrow[3], 0);
    EXPECT_EQ(CAppsString().narrow().count(), 1);
}

TEST(CAppsStringTest, ParsingIntegers)
{
    TBool ok = EFalse;
    EXPECT_EQ(CAppsString(" -42 ").toInt(&ok), -42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CAppsString("v").toInt(&ok, 32), 31);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CAppsString("-2147483648").toInt(&ok), std::numeric_limits<TInt>::min());
    EXPECT_TRUE(ok);
    EXPECT_EQ(CAppsString("-9223372036854775808").toInt64(&ok), std::numeric_limits<TInt64>::min());
    EXPECT_TRUE(ok);

    const char* bad[] = {"", "  ", "+", "12x", "1 2", "2147483648", "w"};
    for (const char* text : bad) {
        ok = ETrue;
        EXPECT_EQ(CAppsString(text).toInt(&ok, text[0] == 'w' ? 32 : 10), 0) << text;
        EXPECT_FALSE(ok) << text;
    }
    ok = ETrue;
    EXPECT_EQ(CAppsString("9223372036854775808").toInt64(&ok), 0);
    EXPECT_FALSE(ok);
    for (TInt radix : {1, 33}) {
        ok = ETrue;
        EXPECT_EQ(CAppsString("1").toInt(&ok, radix), 0);
        EXPECT_FALSE(ok);
    }
}
