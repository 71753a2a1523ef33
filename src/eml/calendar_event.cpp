#include "eml/calendar_event.h"

#include <ctime>
#include <memory>
#include <mutex>

#include <libical/ical.h>

#include "eml/charset.h"

namespace eml {

namespace {

int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int64_t>(era) * 146097 + doe - 719468;  // since 1970-01-01
}

constexpr int64_t kDays1601To1970 = 134774;

pst::FileTime fileTimeOfUnix(int64_t seconds) {
    return {static_cast<uint64_t>(std::max<int64_t>(0, seconds + kDays1601To1970 * 86400)) * 10000000ULL};
}

// Outlook's calendar spans 1601 to 4500; the pattern's minutes must fit 32 bits.
constexpr int kLastYear = 4500;
// Series longer than this are kept only in the original part.
constexpr int kMaxOccurrences = 50000;

WallTime wallOf(const icaltimetype& t) {
    WallTime w;
    w.year = t.year;
    w.month = t.month;
    w.day = t.day;
    if (!t.is_date) {
        w.hour = t.hour;
        w.minute = t.minute;
        w.second = t.second;
    }
    return w;
}

WallTime wallOfMinutes(int64_t minutesSince1601) {
    // Civil date from days since 1970 (the inverse of daysFromCivil).
    int64_t days = minutesSince1601 / 1440 - kDays1601To1970;
    int64_t minutes = minutesSince1601 % 1440;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    WallTime w;
    w.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    w.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    w.year = static_cast<int>(yoe + era * 400 + (w.month <= 2));
    w.hour = static_cast<int>(minutes / 60);
    w.minute = static_cast<int>(minutes % 60);
    return w;
}

// When a TZREG change date falls in `year`, in the local time it is given in.
int64_t changeMinutes(const SystemTime& change, int year) {
    WallTime first;
    first.year = year;
    first.month = change.month;
    first.day = 1;
    int day = 1 + (change.dayOfWeek - first.dayOfWeek() + 7) % 7 + 7 * (std::max<int>(1, change.day) - 1);
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int length = lengths[(change.month - 1) % 12] + (change.month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0));
    while (day > length) day -= 7;
    first.day = day;
    first.hour = change.hour;
    first.minute = change.minute;
    return first.minutesSince1601();
}

bool inDaylightTime(const WallTime& local, const ZoneRule& zone) {
    if (zone.daylightDate.month < 1 || zone.daylightDate.month > 12 || zone.standardDate.month < 1 ||
        zone.standardDate.month > 12)
        return false;
    int64_t at = local.minutesSince1601();
    int64_t daylight = changeMinutes(zone.daylightDate, local.year);
    int64_t standard = changeMinutes(zone.standardDate, local.year);
    return daylight < standard ? (at >= daylight && at < standard) : (at >= daylight || at < standard);
}

// UTC = local time + bias ([MS-OXOCAL] 2.2.1.39).
int64_t utcMinutesOf(const WallTime& local, const ZoneRule& zone) {
    return local.minutesSince1601() + zone.bias + (inDaylightTime(local, zone) ? zone.daylightBias : zone.standardBias);
}

WallTime localOf(const WallTime& utc, const ZoneRule& zone) {
    int64_t at = utc.minutesSince1601();
    WallTime local = wallOfMinutes(at - zone.bias - zone.standardBias);
    if (inDaylightTime(local, zone)) local = wallOfMinutes(at - zone.bias - zone.daylightBias);
    local.second = utc.second;
    return local;
}

std::string text(const char* s) { return s ? std::string(s) : std::string(); }
std::u16string text16(const char* s) { return utf8ToUtf16(text(s)); }

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string parameter(icalproperty* p, const char* name) {
    char* value = icalproperty_get_parameter_as_string_r(p, name);
    std::string out = text(value);
    free(value);
    return out;
}

std::u16string withoutMailto(std::string value) {
    if (upper(value.substr(0, 7)) == "MAILTO:") value = value.substr(7);
    return utf8ToUtf16(value);
}

std::optional<std::string> xProperty(icalcomponent* component, const char* name) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY))
        if (upper(text(icalproperty_get_x_name(p))) == name) return text(icalproperty_get_x(p));
    return std::nullopt;
}

std::optional<int32_t> busyStatusOf(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    std::string v = upper(*value);
    if (v == "FREE") return 0;
    if (v == "TENTATIVE") return 1;
    if (v == "BUSY") return 2;
    if (v == "OOF") return 3;
    if (v == "WORKINGELSEWHERE") return 4;
    return std::nullopt;
}

// UTC of a time written in the process's own zone (floating times and dates).
pst::FileTime localToUtc(const icaltimetype& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    if (!t.is_date) {
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_sec = t.second;
    }
    tm.tm_isdst = -1;
    return fileTimeOfUnix(static_cast<int64_t>(std::mktime(&tm)));
}

// The zone's own rule converts without libical expanding every change of
// the zone since its first observance (from 1601 in Outlook's invitations).
pst::FileTime utcOf(icaltimetype t, const std::optional<ZoneRule>& rule = std::nullopt) {
    if (t.is_date || (!t.zone && !icaltime_is_utc(t))) return localToUtc(t);
    if (!icaltime_is_utc(t) && rule) {
        int64_t minutes = utcMinutesOf(wallOf(t), *rule);
        return {static_cast<uint64_t>(std::max<int64_t>(0, minutes * 60 + t.second)) * 10000000ULL};
    }
    icaltimetype utc = icaltime_is_utc(t) ? t : icaltime_convert_to_zone(t, icaltimezone_get_utc_timezone());
    return fileTimeOfUnix(daysFromCivil(utc.year, utc.month, utc.day) * 86400 + utc.hour * 3600 + utc.minute * 60 +
                          utc.second);
}

Attendee attendeeOf(icalproperty* p, const char* address) {
    Attendee a;
    a.address = withoutMailto(text(address));
    a.name = utf8ToUtf16(parameter(p, "CN"));
    a.role = upper(parameter(p, "ROLE"));
    a.partstat = upper(parameter(p, "PARTSTAT"));
    a.cutype = upper(parameter(p, "CUTYPE"));
    a.rsvp = upper(parameter(p, "RSVP")) == "TRUE";
    return a;
}

// The yearly change of a STANDARD or DAYLIGHT sub-component.
SystemTime changeDate(icalcomponent* observance) {
    SystemTime st;
    icaltimetype start = icalcomponent_get_dtstart(observance);
    st.month = static_cast<uint16_t>(start.month);
    st.hour = static_cast<uint16_t>(start.hour);
    st.minute = static_cast<uint16_t>(start.minute);
    st.second = static_cast<uint16_t>(start.second);
    st.dayOfWeek = static_cast<uint16_t>(icaltime_day_of_week(start) - 1);
    int nth = (start.day - 1) / 7 + 1;
    if (start.day + 7 > icaltime_days_in_month(start.month, start.year)) nth = 5;
    st.day = static_cast<uint16_t>(nth);
    if (icalproperty* rule = icalcomponent_get_first_property(observance, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype r = icalproperty_get_rrule(rule);
        if (r.by_month[0] != ICAL_RECURRENCE_ARRAY_MAX) st.month = static_cast<uint16_t>(icalrecurrencetype_month_month(r.by_month[0]));
        if (r.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX) {
            st.dayOfWeek = static_cast<uint16_t>(icalrecurrencetype_day_day_of_week(r.by_day[0]) - 1);
            int position = icalrecurrencetype_day_position(r.by_day[0]);
            st.day = static_cast<uint16_t>(position < 0 || position > 4 ? 5 : position == 0 ? nth : position);
        }
    }
    return st;
}

// The zone's rule in force: the newest STANDARD and DAYLIGHT observances.
std::optional<ZoneRule> zoneRuleOf(icalcomponent* vtimezone) {
    if (!vtimezone) return std::nullopt;
    icalcomponent* standard = nullptr;
    icalcomponent* daylight = nullptr;
    auto newest = [](icalcomponent* current, icalcomponent* candidate) {
        if (!current) return candidate;
        icaltimetype a = icalcomponent_get_dtstart(current), b = icalcomponent_get_dtstart(candidate);
        return icaltime_compare(b, a) > 0 ? candidate : current;
    };
    for (icalcomponent* c = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        if (icalcomponent_isa(c) == ICAL_XSTANDARD_COMPONENT) standard = newest(standard, c);
        else if (icalcomponent_isa(c) == ICAL_XDAYLIGHT_COMPONENT) daylight = newest(daylight, c);
    }
    if (!standard && !daylight) return std::nullopt;
    auto offsetTo = [](icalcomponent* c) {
        icalproperty* p = icalcomponent_get_first_property(c, ICAL_TZOFFSETTO_PROPERTY);
        return p ? icalproperty_get_tzoffsetto(p) / 60 : 0;
    };
    ZoneRule rule;
    // Without a rule for summer time the zone keeps one offset all year.
    if (!standard || !daylight) {
        rule.bias = -offsetTo(standard ? standard : daylight);
        return rule;
    }
    // A daylight rule older than the standard one has been given up.
    if (icaltime_compare(icalcomponent_get_dtstart(daylight), icalcomponent_get_dtstart(standard)) < 0 &&
        !icalcomponent_get_first_property(daylight, ICAL_RRULE_PROPERTY)) {
        rule.bias = -offsetTo(standard);
        return rule;
    }
    rule.bias = -offsetTo(standard);
    rule.daylightBias = -(offsetTo(daylight) - offsetTo(standard));
    rule.standardDate = changeDate(standard);
    rule.daylightDate = changeDate(daylight);
    return rule;
}

std::optional<Recurrence> recurrenceOf(icalrecurrencetype r, const icaltimetype& start,
                                       const std::optional<ZoneRule>& zone, Warnings& warnings) {
    Recurrence out;
    if (start.year < 1601 || start.year > kLastYear) return std::nullopt;
    out.interval = std::max<short>(1, r.interval);
    out.weekStart = r.week_start == ICAL_NO_WEEKDAY ? 1 : r.week_start - 1;
    int positions = 0;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        out.weekdays.push_back(icalrecurrencetype_day_day_of_week(r.by_day[i]) - 1);
        if (int position = icalrecurrencetype_day_position(r.by_day[i])) {
            if (positions && position != out.nth) return std::nullopt;
            out.nth = position;
            ++positions;
        }
    }
    if (r.by_set_pos[0] != ICAL_RECURRENCE_ARRAY_MAX) out.nth = r.by_set_pos[0];
    if (out.nth < -1 || out.nth > 4) out.nth = out.nth < 0 ? -1 : 4;
    if (r.by_month_day[0] != ICAL_RECURRENCE_ARRAY_MAX) {
        if (r.by_month_day[1] != ICAL_RECURRENCE_ARRAY_MAX) return std::nullopt;
        out.monthDay = r.by_month_day[0] < 0 ? -1 : r.by_month_day[0];
    }
    if (r.by_month[0] != ICAL_RECURRENCE_ARRAY_MAX) {
        if (r.by_month[1] != ICAL_RECURRENCE_ARRAY_MAX) return std::nullopt;
        out.month = icalrecurrencetype_month_month(r.by_month[0]);
    }
    switch (r.freq) {
        case ICAL_DAILY_RECURRENCE:
            // "Every weekday" is a weekly rule to Outlook.
            out.frequency = out.weekdays.empty() ? Recurrence::Frequency::Daily : Recurrence::Frequency::Weekly;
            if (!out.weekdays.empty() && out.interval != 1) return std::nullopt;
            break;
        case ICAL_WEEKLY_RECURRENCE:
            out.frequency = Recurrence::Frequency::Weekly;
            if (out.nth) return std::nullopt;
            if (out.weekdays.empty()) out.weekdays.push_back(icaltime_day_of_week(start) - 1);
            break;
        case ICAL_MONTHLY_RECURRENCE:
        case ICAL_YEARLY_RECURRENCE:
            out.frequency = r.freq == ICAL_MONTHLY_RECURRENCE ? Recurrence::Frequency::Monthly : Recurrence::Frequency::Yearly;
            if (!out.weekdays.empty() && !out.nth) return std::nullopt;
            if (out.weekdays.empty() && !out.monthDay) out.monthDay = start.day;
            if (out.frequency == Recurrence::Frequency::Yearly && !out.month) out.month = start.month;
            break;
        default:
            warnings.add("a meeting repeating more often than daily keeps its rule only in the original invitation");
            return std::nullopt;
    }

    if (r.count > 0) out.end = Recurrence::End::Count;
    else if (!icaltime_is_null_time(r.until)) out.end = Recurrence::End::Until;
    if (out.end != Recurrence::End::Never) {
        icaltimetype floating = start;
        floating.zone = nullptr;
        if (!icaltime_is_null_time(r.until)) {
            // Compared in the meeting's own time, as Outlook stores the end date.
            if (icaltime_is_utc(r.until) && zone && !r.until.is_date) {
                WallTime local = localOf(wallOf(r.until), *zone);
                r.until.year = local.year;
                r.until.month = local.month;
                r.until.day = local.day;
                r.until.hour = local.hour;
                r.until.minute = local.minute;
            }
            r.until.zone = nullptr;
        }
        std::unique_ptr<icalrecur_iterator, decltype(&icalrecur_iterator_free)> it(icalrecur_iterator_new(r, floating),
                                                                                   icalrecur_iterator_free);
        if (!it) return std::nullopt;
        for (icaltimetype t = icalrecur_iterator_next(it.get()); !icaltime_is_null_time(t);
             t = icalrecur_iterator_next(it.get())) {
            if (++out.occurrences > kMaxOccurrences || t.year > kLastYear) return std::nullopt;
            out.lastOccurrence = wallOf(t);
        }
        if (out.occurrences == 0) return std::nullopt;
    }
    return out;
}

}  // namespace

int WallTime::dayOfWeek() const { return static_cast<int>(((daysFromCivil(year, month, day) % 7) + 11) % 7); }

int64_t WallTime::minutesSince1601() const {
    return (daysFromCivil(year, month, day) + kDays1601To1970) * 1440 + hour * 60 + minute;
}

std::optional<CalendarEvent> readCalendar(std::string_view calendarText, Warnings& warnings) {
    // A malformed calendar is a warning here, never the end of the process.
    static std::once_flag nonFatal;
    std::call_once(nonFatal, [] { icalerror_set_errors_are_fatal(0); });
    std::string copy(calendarText);
    std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> root(icalparser_parse_string(copy.c_str()),
                                                                       icalcomponent_free);
    if (!root) {
        warnings.add("the calendar part could not be read; it is kept as an attachment");
        return std::nullopt;
    }
    // The series (or single meeting) rather than one of its changed instances.
    icalcomponent* event = nullptr;
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
        event = root.get();
    } else {
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT)) {
            if (!event) event = c;
            if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
                event = c;
                break;
            }
        }
    }
    if (!event) return std::nullopt;
    icaltimetype start = icalcomponent_get_dtstart(event);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
        warnings.add("the meeting in the calendar part has no start; the part is kept as an attachment");
        return std::nullopt;
    }

    CalendarEvent out;
    if (icalproperty* method = icalcomponent_get_first_property(root.get(), ICAL_METHOD_PROPERTY))
        out.method = upper(text(icalproperty_get_value_as_string(method)));
    out.uid = text(icalcomponent_get_uid(event));
    if (auto cdo = xProperty(event, "X-MICROSOFT-CDO-APPT-SEQUENCE")) out.sequence = std::atoi(cdo->c_str());
    else if (icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY)) out.sequence = icalcomponent_get_sequence(event);
    icaltimetype stamp = icalcomponent_get_dtstamp(event);
    if (!icaltime_is_null_time(stamp)) out.stamp = utcOf(stamp);

    icaltimetype end = icalcomponent_get_dtend(event);
    if (icaltime_is_null_time(end) || icaltime_compare(end, start) < 0) {
        end = start;
        if (start.is_date) icaltime_adjust(&end, 1, 0, 0, 0);
    }
    out.allDay = start.is_date;
    if (auto allDay = xProperty(event, "X-MICROSOFT-CDO-ALLDAYEVENT")) out.allDay = out.allDay || upper(*allDay) == "TRUE";
    if (icaltime_is_utc(start)) {
        out.timeZoneName = u"UTC";
        out.zone = ZoneRule{};
    } else if (start.zone) {
        icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        icalparameter* tzid = dtstart ? icalproperty_get_first_parameter(dtstart, ICAL_TZID_PARAMETER) : nullptr;
        out.timeZoneName = text16(tzid ? icalparameter_get_tzid(tzid)
                                       : icaltimezone_get_tzid(const_cast<icaltimezone*>(start.zone)));
        out.zone = zoneRuleOf(icaltimezone_get_component(const_cast<icaltimezone*>(start.zone)));
    }
    out.start = utcOf(start, out.zone);
    // DTEND is in the zone of DTSTART in every invitation seen; another zone
    // is left to libical.
    out.end = end.zone == start.zone ? utcOf(end, out.zone) : utcOf(end);
    out.localStart = wallOf(start);
    out.localEnd = wallOf(end);

    out.summary = text16(icalcomponent_get_summary(event));
    out.location = text16(icalcomponent_get_location(event));
    out.description = text16(icalcomponent_get_description(event));
    if (icalproperty* organizer = icalcomponent_get_first_property(event, ICAL_ORGANIZER_PROPERTY))
        out.organizer = attendeeOf(organizer, icalproperty_get_organizer(organizer));
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_ATTENDEE_PROPERTY))
        out.attendees.push_back(attendeeOf(p, icalproperty_get_attendee(p)));

    out.busyStatus = busyStatusOf(xProperty(event, "X-MICROSOFT-CDO-BUSYSTATUS"));
    out.intendedStatus = busyStatusOf(xProperty(event, "X-MICROSOFT-CDO-INTENDEDSTATUS"));
    if (!out.intendedStatus) {
        if (icalproperty* transp = icalcomponent_get_first_property(event, ICAL_TRANSP_PROPERTY))
            out.intendedStatus = upper(text(icalproperty_get_value_as_string(transp))) == "TRANSPARENT" ? 0 : 2;
    }
    if (auto importance = xProperty(event, "X-MICROSOFT-CDO-IMPORTANCE")) out.importance = std::atoi(importance->c_str());

    if (icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY)) {
        out.recurrence = recurrenceOf(icalproperty_get_rrule(rrule), start, out.zone, warnings);
        if (!out.recurrence) warnings.add("the meeting's recurrence rule is kept only in the original invitation");
    }
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        icaltimetype ex = icalproperty_get_exdate(p);
        if (icaltime_is_null_time(ex)) continue;
        WallTime date = wallOf(ex);
        if (icaltime_is_utc(ex) && !ex.is_date && out.zone) date = localOf(date, *out.zone);
        out.exceptionDates.push_back(date);
    }
    icaltimetype recurrenceId = icalcomponent_get_recurrenceid(event);
    if (!icaltime_is_null_time(recurrenceId)) out.recurrenceId = wallOf(recurrenceId);

    if (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT)) {
        if (icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY)) {
            icaltriggertype t = icalproperty_get_trigger(trigger);
            if (icaltime_is_null_time(t.time)) out.reminderMinutes = std::max(0, -icaldurationtype_as_int(t.duration) / 60);
        }
    }
    return out;
}

}  // namespace eml
