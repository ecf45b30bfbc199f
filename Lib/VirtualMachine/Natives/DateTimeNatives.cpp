// DateTime natives (group 29). Natives take a copy of a date-time object's
// fields (DateTimeValues.h), let it compute and write the fields back.

#include "VirtualMachine.h"

#include <functional>

#include "DateTime.h"
#include "DateTimeValues.h"
#include "NativeFamily.h"

using Vestra::DateTime;

namespace {

TUint32 boolean(TBool aValue)
{
    return aValue ? 1 : 0;
}

// The target reference receives a new object and the operands go.
void storeNew(VirtualMachine& aMachine, TUint32 aTarget, const DateTime& aValue, TInt aOperandCount)
{
    aMachine.arena().setWord(aTarget, newDateTimeObject(aMachine.heap(), aValue));
    aMachine.popOperands(aOperandCount);
}

// ref: the current local time, by the host's clock.
void setNow(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(0);
    storeNew(aMachine, target, aMachine.services()->localDateTime(), 1);
}

// Codes 2 and 3: ref, date-time.
void copy(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(1);
    const DateTime source = dateTimeOf(aMachine.heap(), aMachine.operand(0));
    storeNew(aMachine, target, source, 2);
}

// ref, day, month, year, hour, minute, second, time zone.
void setFields(VirtualMachine& aMachine, TInt)
{
    const TUint32 target = aMachine.referenceOperand(7);
    const DateTime value = DateTime::make(aMachine.intOperand(6), aMachine.intOperand(5), aMachine.intOperand(4),
                                          aMachine.intOperand(3), aMachine.intOperand(2), aMachine.intOperand(1),
                                          aMachine.intOperand(0));
    storeNew(aMachine, target, value, 8);
}

// Codes 5 (add) and 6 (subtract): date-time, days, hours, minutes,
// seconds; the object itself changes.
void shift(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 object = aMachine.operand(4);
    DateTime value = dateTimeOf(aMachine.heap(), object);
    const TInt days = aMachine.intOperand(3);
    const TInt hours = aMachine.intOperand(2);
    const TInt minutes = aMachine.intOperand(1);
    const TInt seconds = aMachine.intOperand(0);
    if (aOperation == 5)
        value.add(days, hours, minutes, seconds);
    else
        value.subtract(days, hours, minutes, seconds);
    storeDateTime(aMachine.heap(), object, value);
    aMachine.popOperands(5);
}

// Codes 7 to 13 read these fields, in this order.
const DateTime::TField KReadFields[] = {
    DateTime::EDay, DateTime::EMonth, DateTime::EYear, DateTime::EHour,
    DateTime::EMinute, DateTime::ESecond, DateTime::ETimezone,
};

void field(VirtualMachine& aMachine, TInt aOperation)
{
    const DateTime value = dateTimeOf(aMachine.heap(), aMachine.operand(0));
    aMachine.replaceOperands(1, static_cast<TUint32>(value.field(KReadFields[aOperation - 7])));
}

// The setters of codes 14 to 20, in code order; each checks its argument
// as DateTime::make does.
void (*const KSetters[])(DateTime& aDateTime, TInt aValue) = {
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setDay(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setMonth(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setYear(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setHour(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setMinute(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setSecond(aValue); },
    [](DateTime& aDateTime, TInt aValue) { aDateTime.setTimezone(aValue); },
};

// date-time, value.
void setField(VirtualMachine& aMachine, TInt aOperation)
{
    const TUint32 object = aMachine.operand(1);
    DateTime value = dateTimeOf(aMachine.heap(), object);
    KSetters[aOperation - 14](value, aMachine.intOperand(0));
    storeDateTime(aMachine.heap(), object, value);
    aMachine.popOperands(2);
}

void text(VirtualMachine& aMachine, TInt)
{
    const DateTime value = dateTimeOf(aMachine.heap(), aMachine.operand(0));
    aMachine.replaceOperands(1, aMachine.newStringValue(value.toText()));
}

// Codes 22 and 23 compare the references, not the values; the first must
// not be null.
void sameObject(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, boolean(aMachine.referenceOperand(1) == aMachine.operand(0)));
}

void otherObject(VirtualMachine& aMachine, TInt)
{
    aMachine.replaceOperands(2, boolean(aMachine.referenceOperand(1) != aMachine.operand(0)));
}

// date-time, date-time: 1 or 0 for how the first compares with the
// second.
template <typename Comparison>
void compare(VirtualMachine& aMachine, TInt)
{
    const DateTime first = dateTimeOf(aMachine.heap(), aMachine.operand(1));
    const TInt comparison = first.compare(dateTimeOf(aMachine.heap(), aMachine.operand(0)));
    aMachine.replaceOperands(2, boolean(Comparison()(comparison, 0)));
}

const NativeOperation KOperations[] = {
    {1, "setNow", setNow},
    {2, "copy", copy},
    {3, "copy2", copy},
    {4, "setFields", setFields},
    {5, "add", shift},
    {6, "subtract", shift},
    {7, "day", field},
    {8, "month", field},
    {9, "year", field},
    {10, "hour", field},
    {11, "minute", field},
    {12, "second", field},
    {13, "timezone", field},
    {14, "setDay", setField},
    {15, "setMonth", setField},
    {16, "setYear", setField},
    {17, "setHour", setField},
    {18, "setMinute", setField},
    {19, "setSecond", setField},
    {20, "setTimezone", setField},
    {21, "text", text},
    {22, "sameObject", sameObject},
    {23, "otherObject", otherObject},
    {24, "equal", compare<std::equal_to<TInt>>},
    {25, "notEqual", compare<std::not_equal_to<TInt>>},
    {26, "before", compare<std::less<TInt>>},
    {27, "beforeOrEqual", compare<std::less_equal<TInt>>},
    {28, "after", compare<std::greater<TInt>>},
    {29, "afterOrEqual", compare<std::greater_equal<TInt>>},
};

}

extern const NativeFamily KDateTimeFamily{"DateTime", "DateTime:", KOperations};
