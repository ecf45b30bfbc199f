// Date-time objects in the arena, and the check that natives make before
// they write fields back through a reference that a program gave them.

#include "DateTimeValues.h"

#include "ErrorHandling.h"

using Vestra::DateTime;

namespace {

const TUint32 KDateTimeSize = 4 + 4 * DateTime::EFieldCount;
const char KNullPointer[] = "NULL pointer";
const char KNotADateTime[] = "Not a date-time";

}

void storeDateTime(const VMHeap& aHeap, TUint32 aObject, const DateTime& aValue)
{
    Arena& arena = aHeap.arena();
    for (TInt i = 0; i < DateTime::EFieldCount; ++i)
        arena.setWord(aObject + 4 + 4 * i, static_cast<TUint32>(aValue.field(static_cast<DateTime::TField>(i))));
}

TUint32 newDateTimeObject(VMHeap& aHeap, const DateTime& aValue)
{
    const TUint32 object = aHeap.createObject(KDateTimeSize, HeapEntry::KObjectKindNative, GC_CODE_DATE_TIME);
    storeDateTime(aHeap, object, aValue);
    return object;
}

TUint32 newDateTimeValue(VMHeap& aHeap, const DateTime& aValue)
{
    TUint32 cell = 0;
    const TUint32 object = aHeap.createObjectPair(KDateTimeSize, HeapEntry::KObjectKindNative, GC_CODE_DATE_TIME,
                                                  4, HeapEntry::KObjectKindRaw, GC_CODE_REF_CELL, cell);
    storeDateTime(aHeap, object, aValue);
    aHeap.arena().setWord(cell, object);
    return cell;
}

// Natives write the fields back through the reference they are given, so
// the reference must name a date-time entry of the size that natives make:
// a program can make raw arrays with the date-time code, and it can change
// word 0 of a real one.
DateTime dateTimeOf(const VMHeap& aHeap, TUint32 aObject)
{
    if (aObject == 0)
        ErrorHandling::raise(ENullPointer, KNullPointer);
    const TUint32 header = aObject - HeapEntry::KHeaderSize;
    const Arena& arena = aHeap.arena();
    if (!aHeap.isReference(aObject) || aHeap.field(header, HeapEntry::KGcCode) != GC_CODE_DATE_TIME
        || static_cast<TInt>(aHeap.field(header, HeapEntry::KObjectKind)) != HeapEntry::KObjectKindNative
        || aHeap.field(header, HeapEntry::KSize) < KDateTimeSize || arena.word(aObject) != ENativeNone)
        ErrorHandling::raise(EVMError, KNotADateTime);
    TInt32 fields[DateTime::EFieldCount];
    for (TInt i = 0; i < DateTime::EFieldCount; ++i)
        fields[i] = static_cast<TInt32>(arena.word(aObject + 4 + 4 * i));
    return DateTime(fields);
}
