#ifndef KELVO_DATETIMEVALUES_H
#define KELVO_DATETIMEVALUES_H

#include "DateTime.h"
#include "Types.h"
#include "VMHeap.h"

// Date-time values: what DateTime natives take and make, and what System
// native 9 copies. A date-time object is a native entry of eight words that
// lives wholly in the arena: word 0 says it has no host state, so the
// collector has nothing to finalise, and words 1 to 7 hold the fields in
// the order of Vestra::DateTime.

// A new date-time object holding aValue.
TUint32 newDateTimeObject(VMHeap& aHeap, const Vestra::DateTime& aValue);
// A reference cell holding a new date-time object, as natives answer.
TUint32 newDateTimeValue(VMHeap& aHeap, const Vestra::DateTime& aValue);
// The value of a date-time object. Null raises code 1; anything that is
// not a date-time object raises a VM error.
Vestra::DateTime dateTimeOf(const VMHeap& aHeap, TUint32 aObject);
// Writes aValue's fields into an existing date-time object.
void storeDateTime(const VMHeap& aHeap, TUint32 aObject, const Vestra::DateTime& aValue);

#endif
