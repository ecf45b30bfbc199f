#include "OString.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "HostMemory.h"
#include "RaisedCode.h"

namespace {

std::string text(const OString& aString)
{
    return aString.toQString().toStdString();
}

// Applies aEdit to a fresh "hello world" and returns the result.
std::string edited(const std::function<void(OString&)>& aEdit)
{
    OString s("hello world");
    aEdit(s);
    return text(s);
}

}

TEST(OStringEdit, EditsThroughOneSharerLeaveTheOthersUnchanged)
{
    const std::function<void(OString&)> edits[] = {
        [](OString& s) { s.setCharAt(0, 'J'); },
        [](OString& s) { s.removeRange(1, 2); },
        [](OString& s) { s.removeAll("l"); },
        [](OString& s) { s.replaceRange(0, 0, "HH"); },
        [](OString& s) { s.replaceAll("o", "0"); },
        [](OString& s) { s.insertTo(5, "!!", 0, 1); },
        [](OString& s) { s.append(s); },
        [](OString& s) { s.append(OString("!")); },
        [](OString& s) { s.append(TUint16('!')); },
        [](OString& s) { s.repeat(2); },
        [](OString& s) { s.toUpperCase(); },
        [](OString& s) { s.trim(); s.removeTail(1); },
    };
    for (const auto& edit : edits) {
        const OString original("hello world");
        OString copy(original);
        edit(copy);
        EXPECT_EQ(text(original), "hello world");
        EXPECT_NE(copy.units(), original.units());
    }
}

TEST(OStringEdit, UnsharedEditsStayInPlaceWhileTheyFit)
{
    OString s("abc");
    const TUint16* buffer = s.units();
    s.setCharAt(0, 'x');
    s.append("defg");
    s.replaceRange(1, 1, "BB");
    s.insertTo(0, "<", 0, 0);
    EXPECT_EQ(text(s), "<xBBcdefg");
    EXPECT_EQ(s.units(), buffer);
    s.append("1");
    EXPECT_EQ(s.capacity(), 10);
    s.append(TUint16('2'));
    EXPECT_EQ(s.capacity(), 13);
    EXPECT_EQ(text(s), "<xBBcdefg12");
    EXPECT_EQ(s.units()[s.length()], 0);
}

// A full buffer that the string owns alone is resized where it lies rather
// than replaced: the host must be charged for the resized buffer only, and
// a growth that the limit refuses must leave the text whole and usable.
TEST(OStringEdit, GrowingAnUnsharedBufferKeepsHostMemoryCounted)
{
    // Held throughout, so that a count released twice would show.
    const OString ballast = OString::filled('b', 1000);
    const TUint64 before = HostMemory::inUse();
    {
        OString s;
        std::string expected;
        for (TInt i = 0; i < 5000; ++i) {
            s.append(TUint16('0' + i % 10));
            expected += static_cast<char>('0' + i % 10);
        }
        s.append(OString("end"));
        expected += "end";
        EXPECT_EQ(text(s), expected);
        EXPECT_EQ(s.units()[s.length()], 0);
        EXPECT_LT(HostMemory::inUse() - before, TUint64(3) * s.capacity());
    }
    EXPECT_EQ(HostMemory::inUse(), before);

    OString full("a");
    while (full.length() < full.capacity())
        full.append(TUint16('a'));
    const TUint64 room = 8;
    const TUint64 filler = HostMemory::KLimit - HostMemory::inUse() - room;
    HostMemory::charge(filler);
    EXPECT_EQ(raisedCode([&] { full.append(TUint16('b')); }), EVMError);
    HostMemory::release(filler);
    EXPECT_EQ(text(full), std::string(10, 'a'));
    full.append(TUint16('b'));
    EXPECT_EQ(text(full), std::string(10, 'a') + "b");
}

TEST(OStringEdit, DeletionShrinksBufferThatLostMoreThanHalf)
{
    OString s = OString::filled('a', 100);
    const TUint16* buffer = s.units();
    s.removeRange(0, 38);
    EXPECT_EQ(s.length(), 61);
    EXPECT_EQ(s.units(), buffer);
    s.removeCharAt(0);
    EXPECT_EQ(s.length(), 60);
    EXPECT_NE(s.units(), buffer);
    EXPECT_EQ(s.capacity(), 72);
}

TEST(OStringEdit, UnchangedTextKeepsTheSharedBuffer)
{
    const OString original("a b");
    OString copy(original);
    copy.setCharAt(1, ' ');
    copy.trim();
    copy.repeat(1);
    copy.replaceAll("x", "y");
    EXPECT_EQ(copy.units(), original.units());
}

// The string natives check each edit's result; these check what only the
// string itself shows: occurrences that do not overlap, shared buffers and
// the error of each bad range.
TEST(OStringEdit, RemovesAndReplacesOccurrencesWithoutOverlap)
{
    EXPECT_EQ(edited([](OString& s) { s.removeLast("l", 0, 4); }), "helo world");
    EXPECT_EQ(edited([](OString& s) { s.replaceAll("l", "LL"); }), "heLLLLo worLLd");
    EXPECT_EQ(edited([](OString& s) { s.replaceAll("ll", "_"); }), "he_o world");
    EXPECT_EQ(edited([](OString& s) { s.replaceAll("o", "0", 0, 5); }), "hell0 world");
    EXPECT_EQ(edited([](OString& s) { s.replaceRange(0, -1, "x"); }), "hello world");
    EXPECT_EQ(edited([](OString& s) { s.insertTo(99, "", 0, -1); }), "hello world");
    OString a("aaaaa");
    a.removeAll("aa");
    EXPECT_EQ(text(a), "a");
    a.removeAll("a");
    EXPECT_TRUE(a.units() == nullptr);
}

TEST(OStringEdit, BadRangesRaiseAndLeaveTheText)
{
    OString s("abc");
    EXPECT_EQ(raisedCode([&] { s.removeRange(0, -1); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.removeRange(1, 3); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.removeCharAt(3); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { s.removeHead(4); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { s.replaceRange(0, -1, OString()); }), ERange);
    EXPECT_EQ(raisedCode([&] { s.insertTo(4, "x", 0, 0); }), EIndexOutOfBounds);
    EXPECT_EQ(raisedCode([&] { s.insertTo(0, "x", 0, 1); }), ERange);
    EXPECT_EQ(text(s), "abc");
}

TEST(OStringEdit, EditsOfEmptyTextShareTheirSource)
{
    const OString replacement("new");
    OString s("old");
    s.replaceRange(0, 2, replacement);
    EXPECT_EQ(s.units(), replacement.units());
    const OString source("source");
    OString empty;
    empty.append(source);
    EXPECT_EQ(empty.units(), source.units());
    OString piece;
    piece.insertTo(0, source, 1, 2);
    EXPECT_EQ(text(piece), "ou");
}

TEST(OStringEdit, ReplacementAndInsertionMayBeTheStringItself)
{
    OString s("abc");
    s.replaceRange(1, 1, s);
    EXPECT_EQ(text(s), "aabcc");
    s.replaceAll("a", s);
    EXPECT_EQ(text(s), "aabccaabccbcc");
    OString t("abcd");
    t.insert(1, t, 2);
    EXPECT_EQ(text(t), "acdbcd");
    t.append(t);
    EXPECT_EQ(text(t), "acdbcdacdbcd");
}

TEST(OStringEdit, RepeatsInPlaceWhenItFits)
{
    OString s("ab");
    const TUint16* buffer = s.units();
    s.repeat(5);
    EXPECT_EQ(text(s), "ababababab");
    EXPECT_EQ(s.units(), buffer);
    s.repeat(2);
    EXPECT_EQ(s.length(), 20);
    EXPECT_EQ(s.capacity(), 24);
    s.repeat(0);
    EXPECT_TRUE(s.units() == nullptr);
    EXPECT_EQ(raisedCode([&] { s.repeat(-1); }), EInvalidArgument);
}

TEST(OStringEdit, MapsCasePerUnit)
{
    const TUint16 units[] = {'a', 0xDF, 0xD83D, 0xE9, 'Z'};
    OString s(units, 0, 4);
    s.toUpperCase();
    EXPECT_EQ(s.length(), 5);
    EXPECT_EQ(s.charAt(0), 'A');
    EXPECT_EQ(s.charAt(1), 0xDF) << "sharp s has no one-unit upper case";
    EXPECT_EQ(s.charAt(2), 0xD83D);
    EXPECT_EQ(s.charAt(3), 0xC9);
    s.toLowerCase();
    EXPECT_EQ(s.charAt(4), 'z');
}

// A run of whitespace inside the text keeps its first unit.
TEST(OStringEdit, TrimsWhitespace)
{
    OString tabFirst("x\t  y");
    tabFirst.trim();
    EXPECT_EQ(text(tabFirst), "x\ty");
    OString blank("   ");
    blank.trim();
    EXPECT_TRUE(blank.units() == nullptr);

    OString ends("  a  b  ");
    ends.trimEnd();
    EXPECT_EQ(text(ends), "  a  b");
    ends.trimStart();
    EXPECT_EQ(text(ends), "a  b");
}
