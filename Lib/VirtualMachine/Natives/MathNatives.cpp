// Math natives (group 26): the mathematical functions of ORaw, random
// numbers, minimum and maximum, and the constants. Fixed-point values take
// two slots; x is the value on top and y the value under it.

#include "VirtualMachine.h"

#include <algorithm>

#include "NativeFamily.h"
#include "ORaw.h"
#include "RandomGenerator.h"

namespace {

typedef TInt64 (*TFixedFunction)(TInt64 aValue);

// x becomes KFunction(x).
template <TFixedFunction KFunction>
void applyToTop(VirtualMachine& aMachine, TInt)
{
    aMachine.setFixedOperand(0, KFunction(aMachine.fixedOperand(0)));
}

// y, x: the logarithm of y to the base x.
void logBase(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(4, ORaw::logBase(aMachine.fixedOperand(2), aMachine.fixedOperand(0)));
}

// p, q: an int between them, both included.
void randomInt(VirtualMachine& aMachine, TInt)
{
    const TInt32 first = aMachine.intOperand(1);
    const TInt32 second = aMachine.intOperand(0);
    aMachine.replaceOperands(2, static_cast<TUint32>(aMachine.randomGenerator().nextInt(first, second)));
}

// y, x: a fixed-point value from the lower up to the higher.
void randomFixed(VirtualMachine& aMachine, TInt)
{
    const TInt64 first = aMachine.fixedOperand(2);
    const TInt64 second = aMachine.fixedOperand(0);
    aMachine.replaceOperandsWithFixed(4, aMachine.randomGenerator().nextFixed(first, second));
}

// The greater of two values when aMaximum, else the smaller.
TInt32 chosen(TInt32 aLeft, TInt32 aRight, TBool aMaximum)
{
    return aMaximum ? std::max(aLeft, aRight) : std::min(aLeft, aRight);
}

// Bytes compare as signed 8-bit values; the chosen one is stored
// sign-extended.
template <TBool KMaximum>
void chooseByte(VirtualMachine& aMachine, TInt)
{
    const TInt8 left = static_cast<TInt8>(aMachine.operand(1));
    const TInt8 right = static_cast<TInt8>(aMachine.operand(0));
    aMachine.replaceOperands(2, static_cast<TUint32>(chosen(left, right, KMaximum)));
}

template <TBool KMaximum>
void chooseInt(VirtualMachine& aMachine, TInt)
{
    const TInt32 left = aMachine.intOperand(1);
    const TInt32 right = aMachine.intOperand(0);
    aMachine.replaceOperands(2, static_cast<TUint32>(chosen(left, right, KMaximum)));
}

template <TBool KMaximum>
void chooseFixed(VirtualMachine& aMachine, TInt)
{
    const TInt64 left = aMachine.fixedOperand(2);
    const TInt64 right = aMachine.fixedOperand(0);
    aMachine.replaceOperandsWithFixed(4, KMaximum ? std::max(left, right) : std::min(left, right));
}

// Pushes a constant.
template <TInt64 KValue>
void push(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperandsWithFixed(0, KValue);
}

const NativeOperation KOperations[] = {
    {1, "sin", applyToTop<ORaw::sin>},
    {2, "cos", applyToTop<ORaw::cos>},
    {3, "tan", applyToTop<ORaw::tan>},
    {4, "asin", applyToTop<ORaw::asin>},
    {5, "acos", applyToTop<ORaw::acos>},
    {6, "atan", applyToTop<ORaw::atan>},
    {7, "toDegrees", applyToTop<ORaw::toDegrees>},
    {8, "toRadians", applyToTop<ORaw::toRadians>},
    {9, "sqrt", applyToTop<ORaw::sqrt>},
    {10, "logBase", logBase},
    {11, "ln", applyToTop<ORaw::ln>},
    {12, "randomInt", randomInt},
    {13, "randomFixed", randomFixed},
    {14, "minByte", chooseByte<EFalse>},
    {15, "minInt", chooseInt<EFalse>},
    {16, "minFixed", chooseFixed<EFalse>},
    {17, "maxByte", chooseByte<ETrue>},
    {18, "maxInt", chooseInt<ETrue>},
    {19, "maxFixed", chooseFixed<ETrue>},
    {20, "e", push<ORaw::KE>},
    {21, "pi", push<ORaw::KPi>},
    {22, "epsilon", push<ORaw::KEpsilon>},
};

}

extern const NativeFamily KMathFamily{"Math", "Math:", KOperations};

// Made at the first random operation, so that applications that never ask
// for one neither pay for its state nor read the clock.
RandomGenerator& VirtualMachine::randomGenerator()
{
    if (!iRandomGenerator)
        iRandomGenerator = std::make_unique<RandomGenerator>(RandomGenerator::launchSeed());
    return *iRandomGenerator;
}

void VirtualMachine::seedRandomGenerator(TUint32 aSeed)
{
    iRandomGenerator = std::make_unique<RandomGenerator>(aSeed);
}
