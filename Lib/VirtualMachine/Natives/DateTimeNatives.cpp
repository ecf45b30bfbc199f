// DateTime natives (group 29). A date-time object is a native entry of
// eight words that lives wholly in the arena: word 0 says it has no host
// state, so the collector has nothing to finalise, and words 1 to 7 hold
// the fields in the order of Vestra::DateTime. Natives take a copy, let it
// compute and write the fields back.

#include "VirtualMachine.h"

#include "DateTime.h"
#include "ErrorHandling.h"
#include "NativeGroups.h"

using Vestra::DateTime;

namespace {

const TUint32 KDateTimeSize = 4 + 4 * DateTime::EFieldCount;
const char KNullPointer[] = "NULL pointer";
const char KNotADateTime[] = "Not a date-time";

// Codes 7 to 13 read these fields, in this order.
const DateTime::TField KReadFields[] = {
    DateTime::EDay, DateTime::EMonth, DateTime::EYear, DateTime::EHour,
    DateTime::EMinute, DateTime::ESecond, DateTime::ETimezone,
};

// Codes 14 to 20 set them.
void setField(DateTime& aValue, TInt aOperation, TInt aArgument)
{
    switch (aOperation) {
    case 14: aValue.setDay(aArgument); break;
    case 15: aValue.setMonth(aArgument); break;
    case 16: aValue.setYear(aArgument); break;
    case 17: aValue.setHour(aArgument); break;
    case 18: aValue.setMinute(aArgument); break;
    case 19: aValue.setSecond(aArgument); break;
    default: aValue.setTimezone(aArgument);
    }
}

void storeFields(Arena& aArena, TUint32 aObject, const DateTime& aValue)
{
    for (TInt i = 0; i < DateTime::EFieldCount; ++i)
        aArena.setWord(aObject + 4 + 4 * i, static_cast<TUint32>(aValue.field(static_cast<DateTime::TField>(i))));
}

// Codes 24 to 29: what each answers for the comparison -1, 0 and 1.
TBool comparisonHolds(TInt aOperation, TInt aComparison)
{
    switch (aOperation) {
    case 24: return aComparison == 0;
    case 25: return aComparison != 0;
    case 26: return aComparison < 0;
    case 27: return aComparison <= 0;
    case 28: return aComparison > 0;
    default: return aComparison >= 0;
    }
}

TUint32 boolean(TBool aValue)
{
    return aValue ? 1 : 0;
}

}

TUint32 VirtualMachine::newDateTimeObject(const DateTime& aValue)
{
    TUint32 object = iHeap.createObject(KDateTimeSize, HeapEntry::KObjectKindNative, GC_CODE_DATE_TIME);
    storeFields(iArena, object, aValue);
    return object;
}

TUint32 VirtualMachine::newDateTimeValue(const DateTime& aValue)
{
    TUint32 cell = 0;
    TUint32 object = iHeap.createObjectPair(KDateTimeSize, HeapEntry::KObjectKindNative, GC_CODE_DATE_TIME,
                                            4, HeapEntry::KObjectKindRaw, GC_CODE_REF_CELL, cell);
    storeFields(iArena, object, aValue);
    iArena.setWord(cell, object);
    return cell;
}

// Natives write the fields back through the reference they are given, so
// the reference must name a date-time entry of the size that natives make:
// a program can make raw arrays with the date-time code, and it can change
// word 0 of a real one.
DateTime VirtualMachine::dateTimeOf(TUint32 aObject)
{
    if (aObject == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    TUint32 header = aObject - HeapEntry::KHeaderSize;
    if (!iHeap.isReference(aObject) || iHeap.field(header, HeapEntry::KGcCode) != GC_CODE_DATE_TIME
        || static_cast<TInt>(iHeap.field(header, HeapEntry::KObjectKind)) != HeapEntry::KObjectKindNative
        || iHeap.field(header, HeapEntry::KSize) < KDateTimeSize || iArena.word(aObject) != ENativeNone)
        ErrorHandling::raise(EVMError, KNotADateTime);
    TInt32 fields[DateTime::EFieldCount];
    for (TInt i = 0; i < DateTime::EFieldCount; ++i)
        fields[i] = static_cast<TInt32>(iArena.word(aObject + 4 + 4 * i));
    return DateTime(fields);
}

void VirtualMachine::dateTimeNative(TInt aOperation)
{
    switch (aOperation) {
    case 1: {
        TUint32 target = referenceOperand(0);
        iArena.setWord(target, newDateTimeObject(DateTime::now()));
        popOperands(1);
        break;
    }
    case 2:
    case 3: {
        TUint32 target = referenceOperand(1);
        DateTime source = dateTimeOf(operand(0));
        iArena.setWord(target, newDateTimeObject(source));
        popOperands(2);
        break;
    }
    case 4: {
        TUint32 target = referenceOperand(7);
        DateTime value = DateTime::make(intOperand(6), intOperand(5), intOperand(4), intOperand(3), intOperand(2),
                                        intOperand(1), intOperand(0));
        iArena.setWord(target, newDateTimeObject(value));
        popOperands(8);
        break;
    }
    case 5:
    case 6: {
        TUint32 object = operand(4);
        DateTime value = dateTimeOf(object);
        if (aOperation == 5)
            value.add(intOperand(3), intOperand(2), intOperand(1), intOperand(0));
        else
            value.subtract(intOperand(3), intOperand(2), intOperand(1), intOperand(0));
        storeFields(iArena, object, value);
        popOperands(5);
        break;
    }
    case 7: case 8: case 9: case 10: case 11: case 12: case 13:
        replaceOperands(1, static_cast<TUint32>(dateTimeOf(operand(0)).field(KReadFields[aOperation - 7])));
        break;
    case 14: case 15: case 16: case 17: case 18: case 19: case 20: {
        TUint32 object = operand(1);
        DateTime value = dateTimeOf(object);
        setField(value, aOperation, intOperand(0));
        storeFields(iArena, object, value);
        popOperands(2);
        break;
    }
    case 21:
        replaceOperands(1, newStringValue(dateTimeOf(operand(0)).toText()));
        break;
    case 22:
        replaceOperands(2, boolean(referenceOperand(1) == operand(0)));
        break;
    case 23:
        replaceOperands(2, boolean(referenceOperand(1) != operand(0)));
        break;
    case 24: case 25: case 26: case 27: case 28: case 29: {
        DateTime first = dateTimeOf(operand(1));
        TInt comparison = first.compare(dateTimeOf(operand(0)));
        replaceOperands(2, boolean(comparisonHolds(aOperation, comparison)));
        break;
    }
    default:
        undefinedOperation(EGroupDateTime);
    }
}
