// The group table of instruction 78: what the lookup by code relies on must
// hold for every family, and the tools' table of names must name exactly
// the operations that the machine runs.

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "DateTime.h"
#include "DateTimeValues.h"
#include "Hash.h"
#include "KeyEvent.h"
#include "NativeFamily.h"
#include "NativeGroups.h"
#include "NativeNames.h"
#include "NativeTestSupport.h"

TEST(NativeFamilies, EveryFamilyHasDistinctCodesAndNames)
{
    TInt families = 0;
    for (TInt group = 0; group < EGroupLimit; ++group) {
        const NativeFamily* family = NativeFamilies::family(group);
        if (!family)
            continue;
        ++families;
        SCOPED_TRACE(family->name);
        std::set<TInt> codes;
        std::set<std::string> names;
        for (const NativeOperation& operation : family->operations) {
            EXPECT_GE(operation.code, NativeFamilies::KLowestCode);
            EXPECT_LE(operation.code, NativeFamilies::KHighestCode);
            EXPECT_TRUE(codes.insert(operation.code).second) << "code " << operation.code << " twice";
            ASSERT_NE(operation.name, nullptr) << "code " << operation.code;
            EXPECT_STRNE(operation.name, "") << "code " << operation.code;
            EXPECT_TRUE(names.insert(operation.name).second) << operation.name << " twice";
            EXPECT_NE(operation.handler, nullptr) << operation.name;
            EXPECT_EQ(NativeFamilies::operation(group, operation.code), &operation) << operation.name;
        }
    }
    EXPECT_GT(families, 0);
}

// The assembler accepts a name only when the name table has it and the
// disassembler prints what the table says: a handler that the table lacks,
// names differently, or a name without a handler fails here.
TEST(NativeFamilies, TheNameTableNamesEveryHandlerAndNothingElse)
{
    for (TInt group = 0; group < 256; ++group) {
        const NativeFamily* family = NativeFamilies::family(group);
        const NativeNames::Family* named = NativeNames::family(group);
        ASSERT_EQ(family == nullptr, named == nullptr) << "group " << group;
        if (!family)
            continue;
        SCOPED_TRACE(family->name);
        EXPECT_STREQ(named->name, family->name);
        EXPECT_EQ(named->group, group);
        for (TInt code = NativeFamilies::KLowestCode; code <= NativeFamilies::KHighestCode; ++code) {
            const NativeOperation* operation = NativeFamilies::operation(group, code);
            const NativeNames::Operation* name = NativeNames::operation(group, code);
            ASSERT_EQ(operation == nullptr, name == nullptr) << "code " << code;
            if (operation) {
                EXPECT_STREQ(name->name, operation->name) << "code " << code;
            }
        }
        EXPECT_EQ(named->operations.size(), family->operations.size());
    }
}

// "native Group.name" must mean one operation.
TEST(NativeFamilies, FamilyNamesAreDistinct)
{
    std::set<std::string> names;
    for (const NativeNames::Family& family : NativeNames::families()) {
        EXPECT_TRUE(names.insert(family.name).second) << family.name << " twice";
        EXPECT_EQ(std::string(family.name).find('.'), std::string::npos) << family.name;
        EXPECT_EQ(NativeNames::findFamily(family.name), &family);
        for (const NativeNames::Operation& operation : family.operations)
            EXPECT_EQ(NativeNames::findOperation(family, operation.name), &operation) << operation.name;
    }
}

namespace {

// The deepest slot that a call reads, as depth below the top before it.
class DeepestRead : public VirtualMachine::MOperandWatcher {
public:
    void operandRead(TInt aDepth, VirtualMachine::TOperandUse) override { iDeepest = std::max(iDeepest, aDepth); }

    TInt iDeepest = -1;
};

// Operands that make an operation succeed where the default does not: one
// letter a slot, the lowest first; c is the address of a fresh four-word
// variable holding 1 (a long of 1 too), s a string, n the string "1.5", v
// an empty byte vector, r a fresh variable held as a root (a screen
// listener), d a date-time object, k and H variables holding a key event
// and a hash, 0 and 7 those numbers. An operation's own entry gives every
// slot; a family's gives the lowest, and its last letter stands for the
// rest. Without an entry the slots hold 0x80000000 and 0 in turn, which
// is 0.5 to the fixed-point operations.
const std::map<std::string, std::string> KOperands {
    {"Color", "c7"},
    {"Color.copy", "cc"},
    {"Size", "c7"},
    {"Size.copy", "cc"},
    {"Position", "c7"},
    {"Position.copy", "cc"},
    {"Rectangle", "c7"},
    {"Rectangle.copy", "cc"},
    {"Range", "c7"},
    {"Range.copy", "cc"},
    {"Long", "c"},
    {"String", "ss"},
    {"String.charAt", "s0"},
    {"String.startsWithCased", "ss0"},
    {"String.endsWithCased", "ss0"},
    {"String.charToLower", "7"},
    {"String.charToUpper", "7"},
    {"String.charIsLetter", "7"},
    {"String.charIsDigit", "7"},
    {"String.charIsSpace", "7"},
    {"Fixed.load", "c"},
    {"Fixed.parse", "n"},
    {"Fixed.addAssign", "ch0"},
    {"Fixed.subtractAssign", "ch0"},
    {"Fixed.multiplyAssign", "ch0"},
    {"Fixed.divideAssign", "ch0"},
    {"Fixed.increment", "c"},
    {"Fixed.decrement", "c"},
    {"Fixed.textWithDecimals", "c7"},
    {"Fixed.text", "c"},
    {"Debug", "s"},
    {"Screen.addListener", "c"},
    {"Screen.removeListener", "r"},
    {"Timer", "7"},
    {"Encoder.encode", "s"},
    {"Encoder.decode", "v"},
    {"Hash.create", "c7"},
    {"Hash.digestOf", "v7"},
    {"Hash.feed", "Hv"},
    {"Hash.digest", "H"},
    {"DateTime", "d7"},
    {"DateTime.setNow", "c"},
    {"DateTime.copy", "cd"},
    {"DateTime.copy2", "cd"},
    {"DateTime.setFields", "c7777770"},
    {"DateTime.setTimezone", "d0"},
    {"DateTime.sameObject", "dd"},
    {"DateTime.otherObject", "dd"},
    {"DateTime.equal", "dd"},
    {"DateTime.notEqual", "dd"},
    {"DateTime.before", "dd"},
    {"DateTime.beforeOrEqual", "dd"},
    {"DateTime.after", "dd"},
    {"DateTime.afterOrEqual", "dd"},
    {"KeyEvent", "k"},
    {"System.copyDateTime", "d"},
    {"System.requestAndExit", "s"},
    {"System.setApplicationObject", "0"},
};

// Operations that do not read their lowest operand: the Char operations
// write their result over it, and the timer object is the host's concern.
const std::set<std::string> KUnreadLowest {"Char.toLowerBelow", "Char.toUpperBelow", "Timer.start", "Timer.stop",
                                           "Timer.changeDelay"};

class NativeStackEffects : public NativeTest {
protected:
    static constexpr TUint32 KGuard = 0x6A6A6A6A;
    static constexpr TInt KGuards = 2;

    // A fresh variable whose first word is aObject.
    void pushHolding(TUint32 aObject)
    {
        const TUint32 variable = machine.heap().createArray(4, GC_CODE_PLAIN);
        machine.arena().setWord(variable, aObject);
        push(variable);
    }

    void pushOperands(const std::string& aFamily, const std::string& aName, TInt aTakes)
    {
        const auto own = KOperands.find(aName);
        const auto family = KOperands.find(aFamily);
        for (TInt i = 0; i < aTakes; ++i) {
            char kind = i % 2 == 0 ? 'h' : '0';
            if (own != KOperands.end())
                kind = own->second.at(static_cast<std::size_t>(i));
            else if (family != KOperands.end())
                kind = family->second[std::min<std::size_t>(static_cast<std::size_t>(i), family->second.size() - 1)];
            switch (kind) {
            case 'c':
                pushHolding(1);
                break;
            case 'n':
                pushString("1.5");
                break;
            case 'r': {
                const TUint32 listener = machine.heap().createArray(4, GC_CODE_PLAIN);
                machine.heap().addRoot(listener);
                push(listener);
                break;
            }
            case 'd':
                push(newDateTimeObject(machine.heap(),
                                       Vestra::DateTime::make(7, 7, 2007, 7, 7, 7, Vestra::DateTime::EUtc)));
                break;
            case 'k':
                pushHolding(machine.heap().createHostObject(24, GC_CODE_PLAIN,
                                                            new Vestra::KeyEvent(7, 7, 7, OString("k"))));
                break;
            case 'H':
                pushHolding(machine.heap().createHostObject(8, GC_CODE_HASH, new Hash(7)));
                break;
            case 'v':
                push(machine.newVectorValue(1, 0, EFalse));
                break;
            case 's':
                pushString("request");
                break;
            case '7':
                push(7);
                break;
            case 'h':
                push(0x80000000u);
                break;
            default:
                push(0);
                break;
            }
        }
    }
};

}

// The check of the stack in kelvo-asm follows a native by these counts: a
// count that differs from the handler lets it pass programs that break
// their stack, or refuse sound ones.
TEST_F(NativeStackEffects, EveryKnownEffectIsWhatTheHandlerDoes)
{
    TInt checked = 0;
    for (const NativeNames::Family& family : NativeNames::families()) {
        for (const NativeNames::Operation& operation : family.operations) {
            const std::string name = std::string(family.name) + "." + operation.name;
            SCOPED_TRACE(name);
            // The check of the stack needs both counts or neither.
            ASSERT_EQ(operation.takes == NativeNames::KUnknownEffect, operation.leaves == NativeNames::KUnknownEffect);
            if (operation.takes == NativeNames::KUnknownEffect)
                continue;
            ASSERT_LE(operation.takes, 16);
            ++checked;
            machine.setTop(0);
            for (TInt i = 0; i < KGuards; ++i)
                push(KGuard);
            pushOperands(family.name, name, operation.takes);
            const TInt below = depth() - operation.takes;
            DeepestRead watcher;
            machine.setOperandWatcher(&watcher);
            TBool returned = EFalse;
            TInt code = ENoError;
            try {
                code = raised(family.group, operation.code);
                returned = code == ENoError;
            } catch (const ApplicationExit&) {
            }
            machine.setOperandWatcher(nullptr);
            // An operation may leave an operand unread, but none reads below
            // its operands, and one that reads reads its lowest.
            EXPECT_LT(watcher.iDeepest, operation.takes);
            if (watcher.iDeepest >= 0 && operation.leaves != NativeNames::KNeverReturns && !KUnreadLowest.count(name)) {
                EXPECT_EQ(watcher.iDeepest, operation.takes - 1);
            }
            if (operation.leaves == NativeNames::KNeverReturns) {
                EXPECT_FALSE(returned);
                continue;
            }
            ASSERT_EQ(code, ENoError);
            EXPECT_EQ(depth(), below + operation.leaves);
            EXPECT_TRUE(markerIntact());
            for (TInt i = 1; i <= KGuards; ++i)
                EXPECT_EQ(machine.slot(i), KGuard);
        }
    }
    EXPECT_GT(checked, 0);
}
