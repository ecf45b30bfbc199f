// Fixed natives (group 11): the fixed-point numbers of ORaw on the stack.
// A value takes two slots, the low word below the high word; a reference
// is one slot holding the address of a value in memory (a variable or a
// field). Below, x is the value on top and y the value under it.

#include "VirtualMachine.h"

#include <functional>

#include "NativeFamily.h"
#include "ORaw.h"

namespace {

typedef TInt64 (*TFixedOperator)(TInt64 aLeft, TInt64 aRight);
typedef TInt64 (*TFixedFunction)(TInt64 aValue);
typedef TInt (*TFixedToInt)(TInt64 aValue);

// ref: the value it refers to.
void load(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(1, aMachine.fixedAt(aMachine.referenceOperand(0)));
}

// The low byte of the slot, signed.
void fromByte(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(1, ORaw::fromInt(static_cast<TInt8>(aMachine.operand(0))));
}

void fromInt(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(1, ORaw::fromInt(aMachine.intOperand(0)));
}

void parse(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(1, ORaw::parse(aMachine.stringOf(aMachine.operand(0))));
}

// x becomes KFunction(x).
template <TFixedFunction KFunction>
void applyToTop(VirtualMachine& aMachine, TInt)
{
    aMachine.setFixedOperand(0, KFunction(aMachine.fixedOperand(0)));
}

// y, x: KOperator(y, x).
template <TFixedOperator KOperator>
void combine(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(4, KOperator(aMachine.fixedOperand(2), aMachine.fixedOperand(0)));
}

// The value that the slot at aDepth refers to becomes aOperator(itself,
// aRight); that slot and everything above it are removed.
void updateReferenced(VirtualMachine& aMachine, TInt aDepth, TFixedOperator aOperator, TInt64 aRight)
{
    const TUint32 address = aMachine.referenceOperand(aDepth);
    aMachine.setFixedAt(address, aOperator(aMachine.fixedAt(address), aRight));
    aMachine.popOperands(aDepth + 1);
}

// ref, x: the referenced value becomes KOperator(itself, x).
template <TFixedOperator KOperator>
void combineIntoReferenced(VirtualMachine& aMachine, TInt)
{
    updateReferenced(aMachine, 2, KOperator, aMachine.fixedOperand(0));
}

// ref: the referenced value goes up or down by one.
template <TFixedOperator KOperator>
void stepReferenced(VirtualMachine& aMachine, TInt)
{
    updateReferenced(aMachine, 0, KOperator, ORaw::KOne);
}

// y, x: 1 or 0.
template <typename Comparison>
void compare(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(4, Comparison()(aMachine.fixedOperand(2), aMachine.fixedOperand(0)) ? 1 : 0);
}

// ref, digits: the referenced value as decimal text.
void decimalTextWithDecimals(VirtualMachine& aMachine, TInt)
{
    const OString text = ORaw::toString(aMachine.fixedAt(aMachine.referenceOperand(1)), aMachine.intOperand(0));
    aMachine.replaceOperands(2, aMachine.newStringValue(text));
}

// ref: with as many digits as the value has.
void decimalText(VirtualMachine& aMachine, TInt)
{
    const OString text = ORaw::toString(aMachine.fixedAt(aMachine.referenceOperand(0)), -1);
    aMachine.replaceOperands(1, aMachine.newStringValue(text));
}

// x: an int in place of its two slots.
template <TFixedToInt KConversion>
void toInt(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, static_cast<TUint32>(KConversion(aMachine.fixedOperand(0))));
}

// Pushes a constant.
template <TInt64 KValue>
void push(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(0, KValue);
}

const NativeOperation KOperations[] = {
    {1, "load", load},
    {2, "fromByte", fromByte},
    {3, "fromInt", fromInt},
    {4, "parse", parse},
    {5, "absolute", applyToTop<ORaw::abs>},
    {6, "negate", applyToTop<ORaw::negate>},
    {7, "add", combine<ORaw::add>},
    {8, "subtract", combine<ORaw::subtract>},
    {9, "multiply", combine<ORaw::multiply>},
    {10, "divide", combine<ORaw::divide>},
    {11, "power", combine<ORaw::pow>},
    {12, "addAssign", combineIntoReferenced<ORaw::add>},
    {13, "subtractAssign", combineIntoReferenced<ORaw::subtract>},
    {14, "multiplyAssign", combineIntoReferenced<ORaw::multiply>},
    {15, "divideAssign", combineIntoReferenced<ORaw::divide>},
    {16, "increment", stepReferenced<ORaw::add>},
    {17, "decrement", stepReferenced<ORaw::subtract>},
    {18, "equal", compare<std::equal_to<TInt64>>},
    {19, "notEqual", compare<std::not_equal_to<TInt64>>},
    {20, "less", compare<std::less<TInt64>>},
    {21, "lessOrEqual", compare<std::less_equal<TInt64>>},
    {22, "greater", compare<std::greater<TInt64>>},
    {23, "greaterOrEqual", compare<std::greater_equal<TInt64>>},
    {24, "textWithDecimals", decimalTextWithDecimals},
    {25, "text", decimalText},
    {26, "round", toInt<ORaw::round>},
    {27, "ceiling", toInt<ORaw::ceiling>},
    {28, "floor", toInt<ORaw::floor>},
    {29, "minimum", push<ORaw::KMin>},
    {30, "maximum", push<ORaw::KMax>},
};

}

extern const NativeFamily KFixedFamily{"Fixed", "Fixed:", KOperations};
