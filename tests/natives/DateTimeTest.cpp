#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "DateTime.h"
#include "DateTimeValues.h"
#include "NativeTestSupport.h"

using Vestra::DateTime;

namespace {

std::string text(const DateTime& aValue)
{
    return RecordingServices::text(aValue.toText());
}

// The message of what aAction raised, "" when it raised nothing.
template <typename Action>
std::string raisedText(Action aAction)
{
    if (raisedCode(aAction) == ENoError)
        return "";
    return RecordingServices::text(ErrorHandling::currentErrorText());
}

DateTime utc(TInt aDay, TInt aMonth, TInt aYear, TInt aHour, TInt aMinute, TInt aSecond)
{
    return DateTime::make(aDay, aMonth, aYear, aHour, aMinute, aSecond, DateTime::EUtc);
}

// A zone with an offset and daylight saving, so that local time and UTC
// differ; the process's zone is put back afterwards.
class InHelsinki : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* zone = std::getenv("TZ"))
            iZone = zone;
        setenv("TZ", "Europe/Helsinki", 1);
        tzset();
    }
    void TearDown() override
    {
        iZone ? setenv("TZ", iZone->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> iZone;
};

}

TEST(DateTime, MakeReportsTheFirstInvalidArgument)
{
    const struct {
        TInt fields[7];
        const char* what;
    } cases[] = {{{0, 13, 2010, 0, 0, 0, 0}, "month"}, {{0, 12, 2010, 0, 0, 0, 0}, "day"},
                 {{1, 13, -1, 0, 0, 0, 0}, "year"},    {{1, 1, 10000, 0, 0, 0, 0}, "year"},
                 {{1, 1, 2010, 24, 60, 0, 0}, "hour"}, {{1, 1, 2010, 0, 60, -1, 0}, "minute"},
                 {{1, 1, 2010, 0, 0, 60, 2}, "second"}, {{1, 1, 2010, 0, 0, 0, 2}, "timezone"}};
    for (const auto& c : cases) {
        const TInt* f = c.fields;
        EXPECT_EQ(raisedText([&] { DateTime::make(f[0], f[1], f[2], f[3], f[4], f[5], f[6]); }),
                  std::string("InvalidArgumentException: Invalid ") + c.what);
    }
    EXPECT_EQ(raisedCode([] { DateTime::make(1, 1, 9999, 23, 59, 59, 1); }), ENoError);
}

TEST(DateTime, TextPadsEveryField)
{
    EXPECT_EQ(text(DateTime::make(1, 1, 5, 0, 0, 0, DateTime::ELocalTime)), "0005-01-01 00:00:00");
    EXPECT_EQ(text(utc(5, 3, 2010, 7, 8, 9)), "2010-03-05 07:08:09Z");
    EXPECT_EQ(text(utc(31, 12, 999, 23, 59, 10)), "0999-12-31 23:59:10Z");
    EXPECT_EQ(text(utc(10, 10, 12, 10, 10, 10)), "0012-10-10 10:10:10Z");
}

TEST(DateTime, ArithmeticCrossesMonthAndYearEnds)
{
    DateTime value = utc(31, 12, 2009, 23, 30, 0);
    value.add(1, 0, 0, 0);
    EXPECT_EQ(text(value), "2010-01-01 23:30:00Z");
    value = utc(1, 1, 2010, 0, 0, 30);
    value.subtract(0, 0, 0, 90);
    EXPECT_EQ(text(value), "2009-12-31 23:59:00Z");
    value = utc(28, 2, 2012, 12, 0, 0);
    value.add(0, 24, 0, 0);
    EXPECT_EQ(text(value), "2012-02-29 12:00:00Z");
    value.add(0, 0, 24 * 60, 0);
    EXPECT_EQ(text(value), "2012-03-01 12:00:00Z");
    value = utc(31, 1, 2011, 0, 0, 0);
    value.subtract(-28, 1, 0, 0);
    EXPECT_EQ(text(value), "2011-02-27 23:00:00Z");

    // The sum of seconds wraps in 32 bits.
    value = utc(1, 1, 2000, 0, 0, 0);
    value.add(24856, 0, 0, 0);
    EXPECT_EQ(text(value), "1931-12-14 17:31:44Z");
    value = utc(1, 1, 2000, 0, 0, 0);
    value.subtract(0, 0, 0, -2147483647 - 1);
    EXPECT_EQ(text(value), "1931-12-13 20:45:52Z");
}

TEST(DateTime, SettersCheckTheirRangeAndKeepTheOtherFields)
{
    DateTime value = utc(5, 3, 2010, 7, 8, 9);
    for (auto setter : {&DateTime::setDay, &DateTime::setMonth, &DateTime::setHour, &DateTime::setMinute,
                        &DateTime::setSecond, &DateTime::setYear, &DateTime::setTimezone}) {
        EXPECT_EQ(raisedText([&] { (value.*setter)(-1); }), "InvalidArgumentException");
    }
    EXPECT_EQ(raisedCode([&] { value.setSecond(60); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { value.setMonth(13); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { value.setYear(10000); }), EInvalidArgument);
    EXPECT_EQ(raisedCode([&] { value.setTimezone(2); }), EInvalidArgument);
    EXPECT_EQ(text(value), "2010-03-05 07:08:09Z");

    value.setSecond(59);
    value.setMinute(0);
    value.setHour(23);
    value.setDay(31);
    value.setMonth(12);
    value.setYear(9999);
    EXPECT_EQ(text(value), "9999-12-31 23:00:59Z");
}

TEST(DateTime, ComparesDatesBeforeTimes)
{
    const DateTime base = utc(5, 3, 2010, 7, 8, 9);
    EXPECT_EQ(base.compare(utc(5, 3, 2010, 7, 8, 9)), 0);
    EXPECT_EQ(base.compare(utc(5, 3, 2010, 7, 8, 10)), -1);
    EXPECT_EQ(base.compare(utc(4, 3, 2010, 23, 59, 59)), 1);
    EXPECT_EQ(base.compare(utc(1, 4, 2010, 0, 0, 0)), -1);
    EXPECT_EQ(base.compare(utc(31, 12, 2009, 23, 0, 0)), 1);
    EXPECT_EQ(base.compareTimeTo(utc(1, 1, 2000, 7, 9, 0)), -1);
}

TEST_F(InHelsinki, TimezoneChangesKeepTheInstant)
{
    // Summer time: three hours ahead.
    DateTime summer = utc(1, 6, 2010, 22, 30, 0);
    DateTime local = summer;
    local.setTimezone(DateTime::ELocalTime);
    EXPECT_EQ(text(local), "2010-06-02 01:30:00");
    EXPECT_EQ(local.compare(summer), 0);
    EXPECT_EQ(summer.compare(local), 0);
    local.setTimezone(DateTime::ELocalTime);
    EXPECT_EQ(text(local), "2010-06-02 01:30:00");
    local.setTimezone(DateTime::EUtc);
    EXPECT_EQ(text(local), "2010-06-01 22:30:00Z");

    // Winter time, two hours ahead, back across the year's end.
    DateTime winter = DateTime::make(1, 1, 2010, 1, 0, 0, DateTime::ELocalTime);
    DateTime converted = winter;
    converted.setTimezone(DateTime::EUtc);
    EXPECT_EQ(text(converted), "2009-12-31 23:00:00Z");

    // The earlier local clock reading can be the later instant.
    const DateTime localMorning = DateTime::make(2, 6, 2010, 1, 0, 0, DateTime::ELocalTime);
    EXPECT_EQ(localMorning.compare(utc(1, 6, 2010, 21, 59, 59)), 1);
    EXPECT_EQ(utc(1, 6, 2010, 22, 0, 1).compare(localMorning), 1);
    EXPECT_EQ(utc(1, 6, 2010, 22, 0, 0).compare(localMorning), 0);
}

// 03:00 to 03:59 local time did not exist on 28 March 2010: the clocks went
// from 03:00 to 04:00. Adding counts real seconds; skipped times move on.
TEST_F(InHelsinki, DaylightSavingGap)
{
    DateTime value = DateTime::make(28, 3, 2010, 2, 30, 0, DateTime::ELocalTime);
    value.add(0, 1, 0, 0);
    EXPECT_EQ(text(value), "2010-03-28 04:30:00");
    EXPECT_EQ(text(DateTime::make(28, 3, 2010, 3, 30, 0, DateTime::ELocalTime)), "2010-03-28 04:30:00");
    value = DateTime::make(28, 3, 2010, 2, 30, 0, DateTime::ELocalTime);
    value.setHour(3);
    EXPECT_EQ(text(value), "2010-03-28 04:30:00");
    value.add(0, 0, 0, 1);
    EXPECT_EQ(text(value), "2010-03-28 04:30:01");
    EXPECT_EQ(text(DateTime::make(28, 3, 2010, 3, 30, 0, DateTime::EUtc)), "2010-03-28 03:30:00Z");
}

namespace {

class DateTimeNatives : public NativeTest {
protected:
    TUint32 dateTime(TInt aDay, TInt aMonth, TInt aYear, TInt aHour, TInt aMinute, TInt aSecond, TInt aTimezone)
    {
        return newDateTimeObject(machine.heap(),
                                 DateTime::make(aDay, aMonth, aYear, aHour, aMinute, aSecond, aTimezone));
    }
    std::string textOfObject(TUint32 aObject) { return text(dateTimeOf(machine.heap(), aObject)); }
};

}

TEST_F(DateTimeNatives, OnlyDateTimeObjectsAreAccepted)
{
    VMHeap& heap = machine.heap();
    const TUint32 forged = heap.createArray(1, GC_CODE_DATE_TIME);
    const TUint32 string = machine.newStringObject(OString("x"));
    const TUint32 real = dateTime(5, 3, 2010, 7, 8, 9, 1);
    for (TUint32 object : {forged, string, real + 4, 0x10000u}) {
        pushSlots(object, 30);
        EXPECT_EQ(raised(29, 19), EVMError) << object;
        EXPECT_EQ(errorText(), "VMException: Not a date-time");
        EXPECT_EQ(depth(), 2);
        machine.setTop(0);
    }
    EXPECT_EQ(machine.arena().word(forged), 0u);

    // A program may overwrite the word that says the object has no host
    // state; such an object is refused too.
    machine.arena().setWord(real, ENativeHostObject);
    push(real);
    EXPECT_EQ(raised(29, 7), EVMError);
    machine.setTop(0);

    push(0);
    EXPECT_EQ(raised(29, 21), ENullPointer);
    EXPECT_EQ(errorText(), "NullPointerException: NULL pointer");
    push(dateTime(5, 3, 2010, 7, 8, 9, 1));
    push(0);
    EXPECT_EQ(raised(29, 24), ENullPointer);
    EXPECT_EQ(depth(), 3);
    EXPECT_TRUE(markerIntact());
}

TEST_F(DateTimeNatives, FailingCallsChangeNothing)
{
    const TUint32 object = dateTime(5, 3, 2010, 7, 8, 9, 1);
    const TUint32 variable = machine.heap().createArray(1, GC_CODE_REF_CELL);
    machine.arena().setWord(variable, object);

    pushSlots(object, 60);
    EXPECT_EQ(raised(29, 19), EInvalidArgument);
    EXPECT_EQ(depth(), 2);
    EXPECT_EQ(textOfObject(object), "2010-03-05 07:08:09Z");
    machine.setTop(0);

    push(variable);
    pushSlots(0, 13, 2010, 0, 0, 0, 0);
    EXPECT_EQ(raised(29, 4), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Invalid month");
    EXPECT_EQ(depth(), 8);
    EXPECT_EQ(machine.arena().word(variable), object);
    EXPECT_TRUE(markerIntact());
}

// datetime.kasm shows that a copy changes alone.
TEST_F(DateTimeNatives, NewObjectsAreDistinct)
{
    const TUint32 source = dateTime(31, 12, 2009, 23, 30, 0, 1);
    const TUint32 variable = machine.heap().createArray(1, GC_CODE_REF_CELL);
    pushSlots(variable, source);
    call(29, 2);
    EXPECT_EQ(depth(), 0);
    EXPECT_NE(machine.arena().word(variable), source);

    // Equal values are distinct objects: identity and value disagree.
    const TUint32 same = dateTime(31, 12, 2009, 23, 30, 0, 1);
    for (TInt operation = 22; operation <= 29; ++operation) {
        pushSlots(source, same);
        call(29, operation);
    }
    EXPECT_EQ(depth(), 8);
    const TUint32 expected[] = {0, 1, 1, 0, 0, 1, 0, 1};
    for (TInt i = 0; i < 8; ++i)
        EXPECT_EQ(at(7 - i), expected[i]) << 22 + i;
}

TEST_F(DateTimeNatives, SystemNineAnswersACellWithACopy)
{
    const TUint32 source = dateTime(5, 3, 2010, 7, 8, 9, 1);
    push(source);
    call(32, 9);
    EXPECT_EQ(depth(), 1);
    EXPECT_TRUE(markerIntact());
    const TUint32 cell = at(0);
    VMHeap& heap = machine.heap();
    EXPECT_EQ(heap.field(cell - HeapEntry::KHeaderSize, HeapEntry::KGcCode), GC_CODE_REF_CELL);
    const TUint32 copy = machine.arena().word(cell);
    EXPECT_NE(copy, source);
    EXPECT_EQ(textOfObject(copy), "2010-03-05 07:08:09Z");

    // The collector keeps the copy through the cell.
    machine.garbageCollect();
    EXPECT_TRUE(heap.isReference(copy));

    push(0);
    EXPECT_EQ(raised(32, 9), ENullPointer);
    EXPECT_EQ(depth(), 2);
}
