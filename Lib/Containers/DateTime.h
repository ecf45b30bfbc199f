#ifndef KELVO_DATETIME_H
#define KELVO_DATETIME_H

// The project's headers come before Qt's (see OString.h).
#include "GCObject.h"
#include "OString.h"
#include "Types.h"

#include <QDateTime>

namespace Vestra {

// A calendar date and time of day, kept broken down the way applications
// see it, with a flag for local time or UTC. Every calculation builds Qt's
// date-time value from the fields, lets Qt compute and reads the fields
// back, so calendars, time zones and daylight saving are the platform's.
//
// The fields are not trusted: a value read back from the VM heap may hold
// anything a program wrote there. Qt then reports an invalid date or time
// (fields 0 or -1), and nothing worse happens.
class DateTime : public GCObject {
public:
    enum TTimezone {
        ELocalTime = 0,
        EUtc = 1
    };

    // The fields in the order in which they are stored.
    enum TField {
        ETimezone,
        EDay,
        EMonth,
        EYear,
        EHour,
        EMinute,
        ESecond,
        EFieldCount
    };

    // Takes the fields as they are, unchecked.
    explicit DateTime(const TInt32 (&aFields)[EFieldCount]);

    // The current local date and time, to the second.
    static DateTime now();
    // The local date and time, to the second, of the moment aMillis
    // milliseconds after the epoch.
    static DateTime at(TInt64 aMillis);
    // Checks the arguments in this order and raises code 6 with the first
    // failing message: year, month, day, hour, minute, second, timezone.
    static DateTime make(TInt aDay, TInt aMonth, TInt aYear, TInt aHour, TInt aMinute, TInt aSecond,
                         TInt aTimezone);

    TInt32 field(TField aField) const { return iFields[aField]; }
    TInt getTimezone() const { return iFields[ETimezone]; }
    TInt getDay() const { return iFields[EDay]; }
    TInt getMonth() const { return iFields[EMonth]; }
    TInt getYear() const { return iFields[EYear]; }
    TInt getHour() const { return iFields[EHour]; }
    TInt getMinute() const { return iFields[EMinute]; }
    TInt getSecond() const { return iFields[ESecond]; }

    // The total is summed in 32 bits and wraps, as it always has.
    void add(TInt aDays, TInt aHours, TInt aMinutes, TInt aSeconds);
    void subtract(TInt aDays, TInt aHours, TInt aMinutes, TInt aSeconds);

    // A value outside the field's range raises code 6 without a message.
    // A day the month does not have leaves whatever Qt reads back from the
    // invalid date.
    void setDay(TInt aDay);
    void setMonth(TInt aMonth);
    void setYear(TInt aYear);
    void setHour(TInt aHour);
    void setMinute(TInt aMinute);
    void setSecond(TInt aSecond);
    // Expresses the same instant in the other zone.
    void setTimezone(TInt aTimezone);

    // The time of day alone: -1, 0 or 1. Both must be in the same zone.
    TInt compareTimeTo(const DateTime& aOther) const;
    // The instants: -1, 0 or 1; aOther is converted to this zone first.
    TInt compare(const DateTime& aOther) const;

    // "YYYY-MM-DD hh:mm:ss", with "Z" appended for UTC.
    OString toText() const;

private:
    DateTime() = default;
    QDate date() const;
    QTime time() const;
    QDateTime platformValue(const QDate& aDate, const QTime& aTime) const;
    void readBack(const QDateTime& aValue);
    void addSeconds(TInt32 aSeconds);

    TInt32 iFields[EFieldCount] = {};
};

}

#endif
