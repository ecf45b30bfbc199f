// Math natives (group 26): the mathematical functions of ORaw, random
// numbers, minimum and maximum, and the constants. Fixed-point values take
// two slots; x is the value on top and y the value under it.

#include "VirtualMachine.h"

#include <algorithm>
#include <ctime>

#include "NativeGroups.h"
#include "ORaw.h"
#include "RandomGenerator.h"

namespace {

void applyToTop(VirtualMachine& aMachine, TInt64 (*aFunction)(TInt64 aValue))
{
    aMachine.setFixedOperand(0, aFunction(aMachine.fixedOperand(0)));
}

// Bytes compare as signed 8-bit values; the chosen one is stored
// sign-extended.
TUint32 chosenByte(VirtualMachine& aMachine, TBool aMaximum)
{
    const TInt8 left = static_cast<TInt8>(aMachine.operand(1));
    const TInt8 right = static_cast<TInt8>(aMachine.operand(0));
    return static_cast<TUint32>(static_cast<TInt32>(aMaximum ? std::max(left, right) : std::min(left, right)));
}

TUint32 chosenInt(VirtualMachine& aMachine, TBool aMaximum)
{
    const TInt32 left = aMachine.intOperand(1);
    const TInt32 right = aMachine.intOperand(0);
    return static_cast<TUint32>(aMaximum ? std::max(left, right) : std::min(left, right));
}

TInt64 chosenFixed(VirtualMachine& aMachine, TBool aMaximum)
{
    const TInt64 left = aMachine.fixedOperand(2);
    const TInt64 right = aMachine.fixedOperand(0);
    return aMaximum ? std::max(left, right) : std::min(left, right);
}

}

// Made at the first random operation, so that applications that never ask
// for one neither pay for its state nor read the clock.
RandomGenerator& VirtualMachine::randomGenerator()
{
    if (!iRandomGenerator)
        iRandomGenerator = std::make_unique<RandomGenerator>(static_cast<TUint32>(clock()));
    return *iRandomGenerator;
}

void VirtualMachine::mathNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        applyToTop(*this, ORaw::sin);
        break;
    case 2:
        applyToTop(*this, ORaw::cos);
        break;
    case 3:
        applyToTop(*this, ORaw::tan);
        break;
    case 4:
        applyToTop(*this, ORaw::asin);
        break;
    case 5:
        applyToTop(*this, ORaw::acos);
        break;
    case 6:
        applyToTop(*this, ORaw::atan);
        break;
    case 7:
        applyToTop(*this, ORaw::toDegrees);
        break;
    case 8:
        applyToTop(*this, ORaw::toRadians);
        break;
    case 9:
        applyToTop(*this, ORaw::sqrt);
        break;
    case 10:
        replaceOperandsWithFixed(4, ORaw::logBase(fixedOperand(2), fixedOperand(0)));
        break;
    case 11:
        applyToTop(*this, ORaw::ln);
        break;
    case 12: {
        const TInt32 first = intOperand(1);
        const TInt32 second = intOperand(0);
        replaceOperands(2, static_cast<TUint32>(randomGenerator().nextInt(first, second)));
        break;
    }
    case 13: {
        const TInt64 first = fixedOperand(2);
        const TInt64 second = fixedOperand(0);
        replaceOperandsWithFixed(4, randomGenerator().nextFixed(first, second));
        break;
    }
    case 14:
    case 17:
        replaceOperands(2, chosenByte(*this, aOperation == 17));
        break;
    case 15:
    case 18:
        replaceOperands(2, chosenInt(*this, aOperation == 18));
        break;
    case 16:
    case 19:
        replaceOperandsWithFixed(4, chosenFixed(*this, aOperation == 19));
        break;
    case 20:
        replaceOperandsWithFixed(0, ORaw::KE);
        break;
    case 21:
        replaceOperandsWithFixed(0, ORaw::KPi);
        break;
    case 22:
        replaceOperandsWithFixed(0, ORaw::KEpsilon);
        break;
    default:
        undefinedOperation(EGroupMath);
    }
}
