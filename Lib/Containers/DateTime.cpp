#include "DateTime.h"

#include <cstdio>

#include "ErrorHandling.h"

namespace Vestra {

namespace {

const TInt KSecondsPerDay = 86400;
const TInt KSecondsPerHour = 3600;
const TInt KSecondsPerMinute = 60;

void checkArgument(TBool aValid, const char* aMessage)
{
    if (!aValid)
        ErrorHandling::raise(EInvalidArgument, aMessage);
}

void checkRange(TInt aValue, TInt aFirst, TInt aLast)
{
    if (aValue < aFirst || aValue > aLast)
        ErrorHandling::raise(EInvalidArgument);
}

// Applications add whole days as seconds in 32 bits; a sum that overflows
// wraps instead of being refused, so the arithmetic is done unsigned.
TInt32 totalSeconds(TInt aDays, TInt aHours, TInt aMinutes, TInt aSeconds)
{
    TUint32 total = static_cast<TUint32>(aDays) * KSecondsPerDay + static_cast<TUint32>(aHours) * KSecondsPerHour
        + static_cast<TUint32>(aMinutes) * KSecondsPerMinute + static_cast<TUint32>(aSeconds);
    return static_cast<TInt32>(total);
}

TInt compareNumbers(TInt aFirst, TInt aSecond)
{
    return aFirst < aSecond ? -1 : (aFirst > aSecond ? 1 : 0);
}

// The first pair that differs decides.
TInt compareFields(TInt aFirst1, TInt aFirst2, TInt aSecond1, TInt aSecond2, TInt aThird1, TInt aThird2)
{
    TInt result = compareNumbers(aFirst1, aFirst2);
    if (result == 0)
        result = compareNumbers(aSecond1, aSecond2);
    if (result == 0)
        result = compareNumbers(aThird1, aThird2);
    return result;
}

// The zeros that pad a number to aWidth digits. The rule goes by value, so
// a negative number, which only a broken value holds, is padded as if it
// had one digit.
const char* padding(TInt aValue, TInt aWidth)
{
    static const char KZeros[] = "000";
    TInt digits = aValue < 10 ? 1 : (aValue < 100 ? 2 : (aValue < 1000 ? 3 : 4));
    return digits >= aWidth ? "" : KZeros + (3 - (aWidth - digits));
}

}

DateTime::DateTime(const TInt32 (&aFields)[EFieldCount])
{
    for (TInt i = 0; i < EFieldCount; ++i)
        iFields[i] = aFields[i];
}

DateTime DateTime::now()
{
    DateTime value;
    value.iFields[ETimezone] = ELocalTime;
    value.readBack(QDateTime::currentDateTime());
    return value;
}

DateTime DateTime::at(TInt64 aMillis)
{
    DateTime value;
    value.iFields[ETimezone] = ELocalTime;
    value.readBack(QDateTime::fromMSecsSinceEpoch(aMillis));
    return value;
}

DateTime DateTime::make(TInt aDay, TInt aMonth, TInt aYear, TInt aHour, TInt aMinute, TInt aSecond,
                        TInt aTimezone)
{
    checkArgument(aYear >= 0 && aYear <= 9999, "Invalid year");
    checkArgument(aMonth >= 1 && aMonth <= 12, "Invalid month");
    checkArgument(aDay >= 1 && aDay <= 31, "Invalid day");
    checkArgument(aHour >= 0 && aHour <= 23, "Invalid hour");
    checkArgument(aMinute >= 0 && aMinute <= 59, "Invalid minute");
    checkArgument(aSecond >= 0 && aSecond <= 59, "Invalid second");
    checkArgument(aTimezone == ELocalTime || aTimezone == EUtc, "Invalid timezone");
    DateTime value;
    value.iFields[ETimezone] = aTimezone;
    value.readBack(value.platformValue(QDate(aYear, aMonth, aDay), QTime(aHour, aMinute, aSecond)));
    return value;
}

void DateTime::add(TInt aDays, TInt aHours, TInt aMinutes, TInt aSeconds)
{
    addSeconds(totalSeconds(aDays, aHours, aMinutes, aSeconds));
}

void DateTime::subtract(TInt aDays, TInt aHours, TInt aMinutes, TInt aSeconds)
{
    addSeconds(static_cast<TInt32>(0u - static_cast<TUint32>(totalSeconds(aDays, aHours, aMinutes, aSeconds))));
}

void DateTime::addSeconds(TInt32 aSeconds)
{
    readBack(platformValue(date(), time()).addSecs(aSeconds));
}

void DateTime::setDay(TInt aDay)
{
    checkRange(aDay, 1, 31);
    readBack(platformValue(QDate(getYear(), getMonth(), aDay), time()));
}

void DateTime::setMonth(TInt aMonth)
{
    checkRange(aMonth, 1, 12);
    readBack(platformValue(QDate(getYear(), aMonth, getDay()), time()));
}

void DateTime::setYear(TInt aYear)
{
    checkRange(aYear, 0, 9999);
    readBack(platformValue(QDate(aYear, getMonth(), getDay()), time()));
}

void DateTime::setHour(TInt aHour)
{
    checkRange(aHour, 0, 23);
    readBack(platformValue(date(), QTime(aHour, getMinute(), getSecond())));
}

void DateTime::setMinute(TInt aMinute)
{
    checkRange(aMinute, 0, 59);
    readBack(platformValue(date(), QTime(getHour(), aMinute, getSecond())));
}

void DateTime::setSecond(TInt aSecond)
{
    checkRange(aSecond, 0, 59);
    readBack(platformValue(date(), QTime(getHour(), getMinute(), aSecond)));
}

void DateTime::setTimezone(TInt aTimezone)
{
    checkRange(aTimezone, ELocalTime, EUtc);
    if (aTimezone == getTimezone())
        return;
    QDateTime value = platformValue(date(), time());
    readBack(aTimezone == EUtc ? value.toUTC() : value.toLocalTime());
    iFields[ETimezone] = aTimezone;
}

TInt DateTime::compareTimeTo(const DateTime& aOther) const
{
    if (getTimezone() != aOther.getTimezone())
        ErrorHandling::raise(EAssertionFailed, "this->getTimezone() == dt.getTimezone()");
    return compareFields(getHour(), aOther.getHour(), getMinute(), aOther.getMinute(), getSecond(),
                         aOther.getSecond());
}

// Values in different zones are compared as instants, in this value's zone.
TInt DateTime::compare(const DateTime& aOther) const
{
    if (getTimezone() != aOther.getTimezone()) {
        DateTime other(aOther);
        other.setTimezone(getTimezone());
        return compare(other);
    }
    TInt byDate = compareFields(getYear(), aOther.getYear(), getMonth(), aOther.getMonth(), getDay(),
                                aOther.getDay());
    return byDate != 0 ? byDate : compareTimeTo(aOther);
}

OString DateTime::toText() const
{
    char text[128];
    std::snprintf(text, sizeof text, "%s%d-%s%d-%s%d %s%d:%s%d:%s%d%s", padding(getYear(), 4), getYear(),
                  padding(getMonth(), 2), getMonth(), padding(getDay(), 2), getDay(), padding(getHour(), 2),
                  getHour(), padding(getMinute(), 2), getMinute(), padding(getSecond(), 2), getSecond(),
                  getTimezone() == EUtc ? "Z" : "");
    return OString(text);
}

QDate DateTime::date() const
{
    return QDate(getYear(), getMonth(), getDay());
}

QTime DateTime::time() const
{
    return QTime(getHour(), getMinute(), getSecond());
}

// Any timezone but UTC is local time, as Qt is told. A local clock time
// that the change to summer time skips does not exist, and Qt answers an
// invalid value whose fields read back as -1; such a time is read as the
// same clock time an hour on, where the clocks went.
QDateTime DateTime::platformValue(const QDate& aDate, const QTime& aTime) const
{
    if (getTimezone() == EUtc)
        return QDateTime(aDate, aTime, Qt::UTC);
    QDateTime value(aDate, aTime, Qt::LocalTime);
    if (!value.isValid() && aDate.isValid() && aTime.isValid()) {
        const QDateTime later = QDateTime(aDate, aTime, Qt::UTC).addSecs(KSecondsPerHour);
        value = QDateTime(later.date(), later.time(), Qt::LocalTime);
    }
    return value;
}

void DateTime::readBack(const QDateTime& aValue)
{
    QDate date = aValue.date();
    QTime time = aValue.time();
    iFields[EDay] = date.day();
    iFields[EMonth] = date.month();
    iFields[EYear] = date.year();
    iFields[EHour] = time.hour();
    iFields[EMinute] = time.minute();
    iFields[ESecond] = time.second();
}

}
