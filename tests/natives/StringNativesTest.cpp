// The String family (group 8): operand layouts, where results land, and
// that a failing call leaves operands and string as it found them.

#include <climits>
#include <string>
#include <vector>

#include "NativeTestSupport.h"
#include "OVector.h"

namespace {

const TInt KString = 8;

// Text becomes a new string value; a number (or a character) stays as it
// is, and 0 is the null reference.
struct Operand {
    Operand(TInt32 aNumber) : iNumber(aNumber) {}
    Operand(const char* aText) : iText(aText) {}
    const char* iText = nullptr;
    TInt32 iNumber = 0;
};
typedef std::vector<Operand> Operands;
typedef std::vector<std::string> Texts;

class StringNatives : public NativeTest {
protected:
    TUint32 value(const char* aText) { return machine.newStringValue(OString(aText)); }
    void pushAll(const Operands& aOperands)
    {
        for (const Operand& operand : aOperands)
            push(operand.iText ? value(operand.iText) : static_cast<TUint32>(operand.iNumber));
    }
    void start(const Operands& aOperands)
    {
        machine.setTop(0);
        pushAll(aOperands);
    }

    // The one result, which must have replaced all the operands.
    TUint32 result(TInt aOperation, const Operands& aOperands)
    {
        start(aOperands);
        call(KString, aOperation);
        EXPECT_EQ(depth(), 1) << "operation " << aOperation;
        return at(0);
    }
    std::string text(TInt aOperation, const Operands& aOperands) { return textOf(result(aOperation, aOperands)); }

    std::string edited(TUint32 aText, TInt aOperation, const Operands& aOperands)
    {
        machine.setTop(0);
        push(aText);
        pushAll(aOperands);
        call(KString, aOperation);
        EXPECT_EQ(depth(), 0) << "operation " << aOperation;
        return textOf(aText);
    }

    // The error code of a call that must leave its operands in place.
    TInt failure(TInt aOperation, const Operands& aOperands)
    {
        start(aOperands);
        const TInt code = raised(KString, aOperation);
        EXPECT_EQ(depth(), static_cast<TInt>(aOperands.size())) << "operation " << aOperation;
        return code;
    }

    // A second cell for the same string object.
    TUint32 sameObject(TUint32 aStringValue)
    {
        const TUint32 cell = machine.heap().createArray(1, GC_CODE_REF_CELL);
        machine.arena().setWord(cell, machine.arena().word(aStringValue));
        return cell;
    }

    TUint32 element(TUint32 aVectorCell, TInt aIndex)
    {
        return machine.arena().word(OWordVector(machine.heap(), machine.vectorOf(aVectorCell, 4)).elementAddress(aIndex));
    }
    Texts pieces(TUint32 aVectorCell)
    {
        Texts texts;
        for (TInt i = 0; i < OWordVector(machine.heap(), machine.vectorOf(aVectorCell, 4)).count(); ++i)
            texts.push_back(textOf(element(aVectorCell, i)));
        return texts;
    }
};

struct Case {
    TInt operation;
    Operands operands;
    TInt32 expected;
};

}

TEST_F(StringNatives, ReadingFormsTakeTheirOperandsInOrder)
{
    const Case cases[] = {
        {10, {"hello"}, 5}, {11, {""}, 1}, {12, {"abc", 1}, 'b'}, {14, {"abc"}, 'a'}, {15, {"abc"}, 'c'},
        {17, {"abcabc", "B", 2, -1}, 4}, {18, {"bca", "A", 0}, 2}, {18, {"bca", "A", 1}, -1},
        {19, {"abAB", "b", 2, 2, 1}, -1}, {20, {"abc", 'B'}, 1}, {21, {"abcb", 'b', 2, -1}, 3},
        {22, {"abc", 'B', 1}, -1}, {23, {"aBcB", 'B', 2, 2, 1}, 3}, {17, {"abc", "a", 0, 0}, -1},
        {24, {"abAB", "ab"}, 2}, {25, {"abab", "ab", 0, 3}, 0}, {26, {"abAB", "ab", 1}, 0},
        {31, {"aXbx", 'x', 0, 3, 0}, 1}, {36, {"aAaa", "aa"}, 2}, {38, {"aAaa", "aa", 1}, 1},
        {40, {"aAaa", 'A'}, 4}, {43, {"aAaa", 'a', 1, -1, 1}, 2}, {37, {"abc", "a", 0, 0}, 0},
        {-101, {"abcABC", 1, -1, "a"}, 3}, {-100, {"abcABC", 0, 6, "a", 1}, 0},
        {-99, {"abcABC", 0, 3, "a"}, 0}, {-98, {"abcABC", 0, -1, "A", 1}, 3},
        {32, {"aAb"}, 'a'}, {33, {"abbba", 3, -1}, 'b'}, {34, {"aAA", 1}, 'A'}, {35, {"xaAAb", 1, 3, 0}, 'a'},
        {44, {"Hello", "he"}, 1}, {45, {"Hello", "he", 1}, 0}, {46, {"Hello", "LO"}, 1}, {47, {"Hello", "LO", 1}, 0},
        {-118, {"abc", "abd", 1}, -1}, {-118, {"ABC", "abc", 0}, 0}, {-118, {"b", "abc", 1}, 1},
        {-117, {"xabc", "ABC", 1, -1, 0}, 0}, {-117, {"xabd", "abc", 1, 2, 1}, -1},
        {-116, {"a", "b"}, 0}, {-115, {"a", "b"}, 1}, {-114, {"a", "b"}, 1}, {-113, {"a", "a"}, 1},
        {-112, {"a", "b"}, 0}, {-111, {"a", "b"}, 0}, {-110, {"ABC", "abc"}, 1}, {-109, {"ABC", "abc", 1}, 0},
        {-108, {"xABc", "ab", 1, 2}, 1}, {-107, {"xABc", "ab", 1, 2, 1}, 0}, {-108, {"ab", "AB", 0, -1}, 1},
        {-120, {" -12x"}, -12}, {-119, {"-12", 10}, -12}, {-119, {"ff", 16}, 255},
        // Only the low 16 bits of a character count.
        {-127, {0x10000 + 'A'}, 'a'}, {-126, {'a'}, 'A'}, {-125, {'x'}, 1}, {-124, {0x10000 + '5'}, 1},
        {-123, {'\t'}, 1}, {-123, {'x'}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<TInt32>(result(c.operation, c.operands)), c.expected) << "operation " << c.operation;
}

TEST_F(StringNatives, LocateAnswersInBothSlots)
{
    for (auto [found, at] : {std::pair<const char*, TInt32>{"LL", 2}, {"x", 0}}) {
        start({"Hello", found});
        call(KString, 16);
        ASSERT_EQ(depth(), 2);
        EXPECT_EQ(intAt(1), at);
        EXPECT_EQ(intAt(0), at);
    }
}

TEST_F(StringNatives, FailuresLeaveTheOperands)
{
    const Case cases[] = {
        {10, {0}, ENullPointer}, {12, {"abc", 3}, EIndexOutOfBounds}, {15, {""}, EIndexOutOfBounds},
        // A negative start is refused whatever the count.
        {17, {"abc", "a", -1, -1}, ERange}, {17, {"abc", "a", 1, 3}, ERange},
        // Counts that carry the end past the largest integer.
        {17, {"abc", "a", 2, INT_MAX}, ERange}, {-106, {"abc", INT_MAX, INT_MAX}, ERange},
        {32, {""}, EDataFormat}, {-119, {"-12", 16}, EDataFormat}, {-119, {"1", 37}, EInvalidArgument},
        {-108, {"ab", "", 0, 1}, EInvalidArgument}, {49, {"ab", -1}, EInvalidArgument},
        {50, {"ab", ""}, EInvalidArgument},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failure(c.operation, c.operands), c.expected) << "operation " << c.operation;
    EXPECT_TRUE(markerIntact());
}

TEST_F(StringNatives, NewStrings)
{
    const TUint32 left = value("ab");
    start({});
    push(left);
    push(value("cd"));
    call(KString, 48);
    EXPECT_EQ(depth(), 1);
    EXPECT_EQ(textAt(0), "abcd");
    EXPECT_EQ(textOf(left), "ab");
    EXPECT_EQ(text(49, {"ab", 3}), "ababab");
    EXPECT_EQ(text(-106, {"hello", 1, 3}), "ell");
    EXPECT_EQ(text(-106, {"hello", 5, -1}), "");
    EXPECT_EQ(text(-122, {INT_MIN}), "-2147483648");
    EXPECT_EQ(text(-121, {-1, 16}), "ffffffff");
    EXPECT_EQ(text(-121, {255, 37}), "");
    // One level deeper: a new cell that holds the new string value.
    EXPECT_EQ(textOf(machine.arena().word(result(-103, {"hello", 3, -1}))), "lo");

    EXPECT_EQ(pieces(result(50, {"a,b", ","})), Texts({"a", "b"}));
    EXPECT_EQ(pieces(result(50, {"ab", ","})), Texts());
    EXPECT_EQ(pieces(result(51, {"aXbxxc", "x", 1})), Texts({"aXb", "c"}));
    EXPECT_EQ(pieces(result(52, {"aXbxc", 'x'})), Texts({"a", "b", "c"}));
    EXPECT_EQ(pieces(result(53, {"aXbxc", 'X', 1})), Texts({"a", "bxc"}));
    EXPECT_EQ(pieces(result(50, {",a,,b,", ","})), Texts({"a", "b"}));
    // Each piece is a string object of its own.
    const TUint32 vector = result(50, {"x y", " "});
    EXPECT_EQ(edited(element(vector, 0), 62, {"z"}), "xz");
    EXPECT_EQ(textOf(element(vector, 1)), "y");

    start({7});
    call(KString, -105);
    EXPECT_EQ(depth(), 1);
    EXPECT_EQ(intAt(0), 7);
}

// The vector of pieces is made at its final length before the pieces are
// made, and thousands of pieces grow the host table several times over:
// every piece must still land in its own element, readable through its
// handle.
TEST_F(StringNatives, SplitsALongTextIntoEveryPiece)
{
    std::string text;
    Texts expected;
    for (TInt i = 0; i < 3000; ++i) {
        text += std::to_string(i) + ",";
        expected.push_back(std::to_string(i));
    }
    EXPECT_EQ(pieces(result(52, {text.c_str(), ','})), expected);
}

TEST_F(StringNatives, ConstructionGivesTheCellANewObject)
{
    const TUint32 source = value("hello");
    const TUint32 target = value("old");
    const TUint32 oldObject = sameObject(target);
    start({});
    pushSlots(target, source);
    call(KString, 2);
    EXPECT_EQ(textOf(target), "hello");
    EXPECT_EQ(textOf(oldObject), "old");

    // A cell that holds no string object yet.
    const TUint32 fresh = machine.heap().createArray(1, GC_CODE_REF_CELL);
    EXPECT_EQ(edited(fresh, 1, {}), "");
    EXPECT_EQ(edited(fresh, 5, {0x10000 + 'x', 3}), "xxx");
    EXPECT_EQ(edited(fresh, 7, {"hello", 1, -1}), "ello");
    EXPECT_EQ(edited(fresh, 7, {"hello", 9, -1}), "");
    EXPECT_EQ(edited(fresh, 8, {"abcdef", 2}), "ace");
    EXPECT_EQ(edited(fresh, 9, {"abcdef", 1, 4, 2}), "bd");
    EXPECT_EQ(edited(fresh, 4, {"abc"}), "abc");
    EXPECT_EQ(failure(5, {0, 'x', -1}), ENullPointer);
}

TEST_F(StringNatives, EditsReachEveryReferenceToTheObjectOnly)
{
    const TUint32 text = value("abc");
    const TUint32 alias = sameObject(text);
    const TUint32 copy = machine.heap().createArray(1, GC_CODE_REF_CELL);
    start({});
    pushSlots(copy, text);
    call(KString, 2);

    EXPECT_EQ(edited(alias, 62, {"d"}), "abcd");
    EXPECT_EQ(textOf(text), "abcd");
    EXPECT_EQ(edited(text, -128, {}), "ABCD");
    EXPECT_EQ(textOf(alias), "ABCD");
    EXPECT_EQ(textOf(copy), "abc");

    // Appending a string to itself doubles it.
    start({});
    pushSlots(text, alias);
    call(KString, 62);
    EXPECT_EQ(textOf(text), "ABCDABCD");
}

TEST_F(StringNatives, EditFormsTakeTheirOperandsInOrder)
{
    struct Edit {
        TInt operation;
        const char* text;
        Operands operands;
        const char* expected;
    };
    const Edit edits[] = {
        {57, "ac", {"b", 1}, "abc"}, {58, "ac", {'b', 1}, "abc"}, {59, "ad", {"xbcx", 1, 2, 1}, "abcd"},
        {60, "b", {"a"}, "ab"}, {61, "b", {'a'}, "ab"}, {62, "a", {"b"}, "ab"}, {63, "a", {'b'}, "ab"},
        {64, "a", {"b"}, "ab"}, {65, "a", {0x10000 + 'b'}, "ab"}, {66, "ab", {2}, "abab"},
        {67, "hello", {1, 3, "X"}, "hXo"}, {68, "hello", {1, -1, 'i'}, "hi"},
        // Count 0 names the empty range at start 0.
        {67, "hi", {0, 0, "X"}, "hi"},
        {69, "aXbxcX", {"x", "--"}, "a--bxcX"}, {70, "aXbxcX", {"x", "--", 1}, "aXb--cX"},
        {71, "aXbxcX", {"x", '-'}, "a-bxcX"}, {73, "aXbxcX", {"x", 2, -1, "--"}, "aXb--cX"},
        {76, "aXbxcX", {"x", 0, 4, '-', 1}, "aXb-cX"}, {77, "aXbxcX", {"x", "--"}, "aXbxc--"},
        {80, "aXbxcX", {"x", '-', 1}, "aXb-cX"}, {83, "aXbxcX", {"x", 0, 4, '-'}, "aXb-cX"},
        {85, "aXbxcX", {"x", "--"}, "a--b--c--"}, {89, "aXbxcX", {"x", 1, 3, "--"}, "a--b--cX"},
        {90, "aXbxc", {"x", 0, -1, "-", 0}, "a-b-c"},
        {92, "aXbxcX", {"X", 0, -1, '-', 1}, "a-bxc-"},
        {-97, "aXbxcX", {1, -1, "x", "+"}, "a+b+c+"}, {-96, "a+b+c+", {0, 3, "+", "x", 1}, "axb+c+"},
        {93, "abc", {1}, "ac"}, {94, "abc", {1, -1}, "a"},
        {95, "aXbxcX", {"x"}, "abxcX"}, {96, "aXbxcX", {"x", 2, -1}, "aXbcX"}, {97, "aXbxcX", {"x", 1}, "aXbcX"},
        {99, "aXbxcX", {'x'}, "abxcX"}, {102, "aXbxcX", {'x', 0, 4, 1}, "aXbcX"},
        {103, "aXbxcX", {"x"}, "aXbxc"}, {106, "aXbxcX", {"x", 0, 5, 0}, "aXbcX"},
        {111, "aXbxcX", {"x"}, "abc"}, {116, "aXbxcX", {'x', 0, 4}, "abcX"},
        {119, "abc", {}, "bc"}, {120, "abc", {2}, "c"}, {121, "abc", {}, "ab"}, {122, "abc", {2}, "a"},
        {123, "abc", {}, ""}, {124, " a b ", {}, "a b "}, {125, " a b ", {}, " a b"},
        {126, " a \t b ", {}, "a b"}, {127, "AbC", {}, "abc"}, {-128, "AbC", {}, "ABC"},
        {-104, "ac", {1, 0, "b"}, "abc"}, {-104, "ac", {1, -1, "x"}, "ax"}, {-104, "ac", {0, 1, "yy"}, "yyc"},
        // Count 0 inserts units x to y of str, y inclusive; the other counts
        // replace and ignore x and y.
        {-102, "ad", {1, 2, "xbcx", 1, 0}, "abcd"}, {-102, "abcd", {7, 9, "Z", 1, 2}, "aZd"},
        {-102, "aZd", {0, 0, "Q", 2, -1}, "aZQ"},
    };
    for (const Edit& e : edits)
        EXPECT_EQ(edited(value(e.text), e.operation, e.operands), e.expected) << "operation " << e.operation;
}

TEST_F(StringNatives, FailedEditsLeaveTheString)
{
    const struct {
        TInt operation;
        Operands operands;
        TInt expected;
    } cases[] = {
        {57, {"x", 4}, EIndexOutOfBounds}, {67, {1, 0, "X"}, ERange}, {94, {0, 0}, ERange},
        {122, {4}, EInvalidArgument}, {-104, {4, 0, "b"}, EIndexOutOfBounds},
        {-102, {-1, 0, "x", 0, 1}, ERange}, {-102, {0, 0, "x", -1, 1}, ERange},
        {5, {'x', -1}, EInvalidArgument}, {8, {"", 0}, EInvalidArgument},
    };
    const TUint32 text = value("abc");
    for (const auto& c : cases) {
        start({});
        push(text);
        pushAll(c.operands);
        EXPECT_EQ(raised(KString, c.operation), c.expected) << "operation " << c.operation;
        EXPECT_EQ(depth(), static_cast<TInt>(c.operands.size()) + 1);
        EXPECT_EQ(textOf(text), "abc");
    }
}
