// Depth conversion: values that a method takes by reference travel as
// chains of one-word cells, and a caller that holds a value at another
// depth than the method declares is bridged by adding or following cells.

#include "VirtualMachine.h"

#include "ErrorHandling.h"

namespace {

const TInt KMaxDifference = 3;
const char KNullPointer[] = "NULL pointer";

}

TUint32 VirtualMachine::depthConversion(TInt aDifference, TUint32 aValue, GcCode aCellCode)
{
    if (aDifference < -KMaxDifference || aDifference > KMaxDifference)
        return 0;
    TUint32 value = aValue;
    for (TInt i = 0; i < aDifference; ++i) {
        const TUint32 cell = iHeap.createArray(1, i == 0 ? aCellCode : GC_CODE_REF_CELL);
        iArena.setWord(cell, value);
        value = cell;
    }
    for (TInt i = 0; i > aDifference; --i) {
        if (value == 0)
            ErrorHandling::raise(ENullPointer, KNullPointer);
        value = iArena.word(value);
    }
    return value;
}
