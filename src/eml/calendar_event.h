#pragma once
// One meeting of an iCalendar invitation, reply or cancellation (RFC 5545),
// read with libical into plain values: what the meeting properties are
// made of.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eml/warnings.h"
#include "pst/property.h"

namespace eml {

// A date and time as the invitation writes it, in its own time zone.
struct WallTime {
    int year = 1601, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int dayOfWeek() const;  // 0 Sunday .. 6 Saturday
    // Minutes since 1601-01-01 00:00, and since midnight.
    int64_t minutesSince1601() const;
    int64_t dateMinutesSince1601() const { return minutesSince1601() - hour * 60 - minute; }
};

// A SYSTEMTIME as the time-zone structures hold it.
struct SystemTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// A time zone as Windows describes one (TZREG): biases in minutes, and the
// yearly change dates (day = which occurrence of dayOfWeek, 5 = the last).
struct ZoneRule {
    int32_t bias = 0;
    int32_t standardBias = 0;
    int32_t daylightBias = 0;
    SystemTime standardDate;
    SystemTime daylightDate;
};

struct Attendee {
    std::u16string name;
    std::u16string address;  // without "mailto:"
    std::string role;        // REQ-PARTICIPANT, OPT-PARTICIPANT, NON-PARTICIPANT, CHAIR
    std::string partstat;    // ACCEPTED, DECLINED, TENTATIVE, NEEDS-ACTION, ...
    std::string cutype;      // INDIVIDUAL, RESOURCE, ROOM, ...
    bool rsvp = false;
};

struct Recurrence {
    enum class Frequency { Daily, Weekly, Monthly, Yearly };
    Frequency frequency = Frequency::Daily;
    int interval = 1;
    std::vector<int> weekdays;  // 0 Sunday .. 6 Saturday
    int monthDay = 0;           // 1..31, -1 the last day, 0 none
    int nth = 0;                // with weekdays in a month: 1..4, -1 the last, 0 none
    int month = 0;              // yearly: 1..12
    int weekStart = 1;          // 0 Sunday .. 6 Saturday
    enum class End { Count, Until, Never };
    End end = End::Never;
    int occurrences = 0;        // for Count and Until
    WallTime lastOccurrence;    // for Count and Until
};

struct CalendarEvent {
    std::string method;  // REQUEST, CANCEL, REPLY, ...
    std::string uid;
    std::optional<int32_t> sequence;
    std::optional<pst::FileTime> stamp;
    pst::FileTime start, end;  // UTC
    WallTime localStart, localEnd;
    bool allDay = false;
    std::u16string timeZoneName;     // the TZID, empty for UTC and floating times
    std::optional<ZoneRule> zone;
    std::u16string summary, location, description;
    std::optional<Attendee> organizer;
    std::vector<Attendee> attendees;
    std::optional<int32_t> busyStatus;      // olFree 0, olTentative 1, olBusy 2, olOutOfOffice 3
    std::optional<int32_t> intendedStatus;
    std::optional<Recurrence> recurrence;
    std::vector<WallTime> exceptionDates;   // EXDATE, in the meeting's time zone
    std::optional<WallTime> recurrenceId;   // this is one instance of a series
    std::optional<int32_t> reminderMinutes;
    std::optional<int32_t> importance;
};

// The VEVENT of the series or single meeting (the first one without a
// RECURRENCE-ID, else the first); nullopt (with a warning) when the text is no
// calendar or the event has no start.
std::optional<CalendarEvent> readCalendar(std::string_view text, Warnings& warnings);

}  // namespace eml
