#include "eml/calendar_meeting.h"

#include <cstdio>

#include "eml/addresses.h"
#include "eml/calendar_blobs.h"
#include "eml/charset.h"
#include "pst/format/property_tags.h"
#include "pst/format/property_sets.h"

namespace eml {

using namespace pst::tags;
using pst::PropType;
using pst::format::PSETID_Appointment;
using pst::format::PSETID_Common;
using pst::format::PSETID_Meeting;

namespace {

// PSETID_Appointment ([MS-OXOCAL] 2.2.1)
constexpr uint32_t PidLidAppointmentSequence = 0x8201, PidLidBusyStatus = 0x8205, PidLidLocation = 0x8208,
                   PidLidAppointmentStartWhole = 0x820D, PidLidAppointmentEndWhole = 0x820E,
                   PidLidAppointmentDuration = 0x8213, PidLidAppointmentSubType = 0x8215,
                   PidLidAppointmentRecur = 0x8216, PidLidAppointmentStateFlags = 0x8217,
                   PidLidResponseStatus = 0x8218, PidLidRecurring = 0x8223, PidLidIntendedBusyStatus = 0x8224,
                   PidLidRecurrenceType = 0x8231, PidLidRecurrencePattern = 0x8232, PidLidTimeZoneStruct = 0x8233,
                   PidLidTimeZoneDescription = 0x8234, PidLidClipStart = 0x8235, PidLidClipEnd = 0x8236,
                   PidLidAllAttendeesString = 0x8238, PidLidToAttendeesString = 0x823B,
                   PidLidCcAttendeesString = 0x823C, PidLidAppointmentTimeZoneDefinitionStartDisplay = 0x825E,
                   PidLidAppointmentTimeZoneDefinitionEndDisplay = 0x825F,
                   PidLidAppointmentTimeZoneDefinitionRecur = 0x8260, PidLidInboundICalStream = 0x827A,
                   PidLidSingleBodyICal = 0x827B;
// PSETID_Meeting
constexpr uint32_t PidLidAttendeeCriticalChange = 0x0001, PidLidWhere = 0x0002, PidLidGlobalObjectId = 0x0003,
                   PidLidIsRecurring = 0x0005, PidLidIsException = 0x000A, PidLidOwnerCriticalChange = 0x001A,
                   PidLidCleanGlobalObjectId = 0x0023, PidLidAppointmentMessageClass = 0x0024,
                   PidLidMeetingType = 0x0026;
// PSETID_Common
constexpr uint32_t PidLidReminderDelta = 0x8501, PidLidReminderSet = 0x8503, PidLidCommonStart = 0x8516,
                   PidLidCommonEnd = 0x8517;

constexpr int32_t respNotResponded = 5, respNone = 0, respTentative = 2, respAccepted = 3, respDeclined = 4;
constexpr int32_t asfMeeting = 0x1, asfReceived = 0x2, asfCanceled = 0x4;
constexpr int32_t mtgRequest = 0x1, mtgFull = 0x10000;
constexpr int32_t olTentative = 1, olBusy = 2, olFree = 0;

void setLid(pst::MessageContent& out, const pst::Guid& set, uint32_t lid, PropType type, pst::PropValue value) {
    out.setNamed(pst::NamedPropertyName::byLid(set, lid), type, std::move(value));
}

std::u16string lower(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}

bool isResource(const Attendee& a) {
    return a.cutype == "RESOURCE" || a.cutype == "ROOM" || a.role == "NON-PARTICIPANT";
}
int32_t recipientTypeOf(const Attendee& a) {
    // [MS-OXOCAL] 2.2.4.10.7 and the ROLE parameter ([MS-OXCICAL] 2.1.3.1.1.20.2.4)
    if (isResource(a)) return MAPI_BCC;
    return a.role == "OPT-PARTICIPANT" ? MAPI_CC : MAPI_TO;
}
std::u16string shownName(const Attendee& a) { return a.name.empty() ? a.address : a.name; }

std::u16string joined(const std::vector<std::u16string>& names) {
    std::u16string out;
    for (const auto& n : names) {
        if (!out.empty()) out += u"; ";
        out += n;
    }
    return out;
}

const pst::Property* findIn(const std::vector<pst::Property>& props, pst::PropTag tag) {
    for (const auto& p : props)
        if (p.tag == tag) return &p;
    return nullptr;
}

const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* kNth[] = {"", "first", "second", "third", "fourth"};

// PidLidRecurrencePattern: the series in words, as the reading pane shows it.
std::u16string describe(const Recurrence& r, const WallTime& start, const WallTime& end) {
    std::string days;
    for (size_t i = 0; i < r.weekdays.size(); ++i) {
        if (i) days += i + 1 == r.weekdays.size() ? " and " : ", ";
        days += kDayNames[r.weekdays[i] % 7];
    }
    std::string every;
    auto unit = [&](const char* one, const char* many) {
        return r.interval == 1 ? std::string("every ") + one : "every " + std::to_string(r.interval) + " " + many;
    };
    std::string which = r.nth < 0 ? "last" : r.nth > 0 ? kNth[r.nth] : "";
    switch (r.frequency) {
        case Recurrence::Frequency::Daily: every = unit("day", "days"); break;
        case Recurrence::Frequency::Weekly: every = unit("week", "weeks") + " on " + days; break;
        case Recurrence::Frequency::Monthly:
            every = r.weekdays.empty() ? "day " + (r.monthDay < 0 ? std::string("last") : std::to_string(r.monthDay)) +
                                             " of " + unit("month", "months")
                                       : "the " + which + " " + days + " of " + unit("month", "months");
            break;
        case Recurrence::Frequency::Yearly: {
            static const char* months[] = {"", "January", "February", "March", "April", "May", "June", "July",
                                           "August", "September", "October", "November", "December"};
            std::string month = months[std::clamp(r.month, 0, 12)];
            every = r.weekdays.empty() ? "every " + month + " " + std::to_string(r.monthDay)
                                       : "the " + which + " " + days + " of " + month;
            break;
        }
    }
    char range[96];
    std::snprintf(range, sizeof range, " effective %d-%02d-%02d", start.year, start.month, start.day);
    std::string text = every + range;
    if (r.end != Recurrence::End::Never) {
        std::snprintf(range, sizeof range, " until %d-%02d-%02d", r.lastOccurrence.year, r.lastOccurrence.month,
                      r.lastOccurrence.day);
        text += range;
    }
    std::snprintf(range, sizeof range, " from %02d:%02d to %02d:%02d", start.hour, start.minute, end.hour, end.minute);
    return utf8ToUtf16(text + range);
}

}  // namespace

std::optional<std::u16string> meetingClass(const CalendarEvent& event) {
    // [MS-OXCICAL] 2.1.3.1.1.1 METHOD
    if (event.method == "REQUEST") return u"IPM.Schedule.Meeting.Request";
    if (event.method == "CANCEL") return u"IPM.Schedule.Meeting.Canceled";
    if (event.method == "REPLY") {
        std::string status = event.attendees.empty() ? std::string() : event.attendees.front().partstat;
        if (status == "ACCEPTED") return u"IPM.Schedule.Meeting.Resp.Pos";
        if (status == "DECLINED") return u"IPM.Schedule.Meeting.Resp.Neg";
        return u"IPM.Schedule.Meeting.Resp.Tent";
    }
    return std::nullopt;
}

void applyMeeting(const CalendarPart& calendar, pst::MessageContent& out) {
    const CalendarEvent& e = calendar.event;
    auto meetingClassName = meetingClass(e);
    if (!meetingClassName) return;
    out.set(PR_MESSAGE_CLASS_W, *meetingClassName);
    const bool request = e.method == "REQUEST", cancel = e.method == "CANCEL", reply = e.method == "REPLY";

    // Times ([MS-OXOCAL] 2.2.1.5, 2.2.1.6, 2.2.1.7; [MS-OXCICAL] 2.1.3.1.1.20.8, .10)
    setLid(out, PSETID_Appointment, PidLidAppointmentStartWhole, PropType::SysTime, e.start);
    setLid(out, PSETID_Appointment, PidLidAppointmentEndWhole, PropType::SysTime, e.end);
    setLid(out, PSETID_Common, PidLidCommonStart, PropType::SysTime, e.start);
    setLid(out, PSETID_Common, PidLidCommonEnd, PropType::SysTime, e.end);
    out.set(PR_START_DATE, e.start);
    out.set(PR_END_DATE, e.end);
    int64_t minutes = (static_cast<int64_t>(e.end.value) - static_cast<int64_t>(e.start.value)) / 600000000LL;
    setLid(out, PSETID_Appointment, PidLidAppointmentDuration, PropType::Int32, static_cast<int32_t>(minutes));
    setLid(out, PSETID_Appointment, PidLidAppointmentSubType, PropType::Boolean, e.allDay);
    if (!e.location.empty() || !reply) {
        setLid(out, PSETID_Appointment, PidLidLocation, PropType::Unicode, e.location);
        setLid(out, PSETID_Meeting, PidLidWhere, PropType::Unicode, e.location);
    }

    // State ([MS-OXOCAL] 2.2.1.2, 2.2.1.3, 2.2.1.10, 2.2.1.11, 2.2.6.5)
    int32_t state = asfMeeting | asfReceived | (cancel ? asfCanceled : 0);
    setLid(out, PSETID_Appointment, PidLidAppointmentStateFlags, PropType::Int32, state);
    int32_t intended = e.intendedStatus.value_or(e.busyStatus.value_or(olBusy));
    if (!reply) {
        setLid(out, PSETID_Appointment, PidLidResponseStatus, PropType::Int32, respNotResponded);
        setLid(out, PSETID_Appointment, PidLidBusyStatus, PropType::Int32, cancel ? olFree : olTentative);
        setLid(out, PSETID_Appointment, PidLidIntendedBusyStatus, PropType::Int32, intended);
    } else {
        setLid(out, PSETID_Appointment, PidLidResponseStatus, PropType::Int32, respNone);
    }
    if (request) {
        int32_t type = e.sequence.value_or(0) > 0 ? mtgFull : mtgRequest;
        setLid(out, PSETID_Meeting, PidLidMeetingType, PropType::Int32, type);
        setLid(out, PSETID_Meeting, PidLidAppointmentMessageClass, PropType::Unicode, std::u16string(u"IPM.Appointment"));
        bool rsvp = e.attendees.empty();
        for (const auto& a : e.attendees) rsvp = rsvp || a.rsvp;
        out.set(PR_RESPONSE_REQUESTED, rsvp);
    }
    if (e.sequence) setLid(out, PSETID_Appointment, PidLidAppointmentSequence, PropType::Int32, *e.sequence);
    if (e.stamp) {
        // [MS-OXCICAL] 2.1.3.1.1.20.9 DTSTAMP
        uint32_t lid = reply ? PidLidAttendeeCriticalChange : PidLidOwnerCriticalChange;
        setLid(out, PSETID_Meeting, lid, PropType::SysTime, *e.stamp);
    }
    if (e.importance && *e.importance >= 0 && *e.importance <= 2) out.set(PR_IMPORTANCE, *e.importance);

    // Identity ([MS-OXOCAL] 2.2.1.27, 2.2.1.28; [MS-OXCICAL] 2.1.3.1.1.20.26)
    if (!e.uid.empty()) {
        pst::Bytes id = globalObjectId(e.uid, e.recurrenceId);
        setLid(out, PSETID_Meeting, PidLidCleanGlobalObjectId, PropType::Binary, cleanGlobalObjectId(id));
        setLid(out, PSETID_Meeting, PidLidGlobalObjectId, PropType::Binary, std::move(id));
    }

    // Series ([MS-OXOCAL] 2.2.1.12, 2.2.1.13, 2.2.1.44)
    const bool recurring = e.recurrence.has_value() && !e.recurrenceId;
    setLid(out, PSETID_Appointment, PidLidRecurring, PropType::Boolean, recurring);
    setLid(out, PSETID_Meeting, PidLidIsRecurring, PropType::Boolean, recurring || e.recurrenceId.has_value());
    setLid(out, PSETID_Meeting, PidLidIsException, PropType::Boolean, e.recurrenceId.has_value());
    if (recurring) {
        const Recurrence& r = *e.recurrence;
        setLid(out, PSETID_Appointment, PidLidAppointmentRecur, PropType::Binary,
               appointmentRecurrence(r, e.localStart, e.localEnd, e.exceptionDates));
        setLid(out, PSETID_Appointment, PidLidRecurrenceType, PropType::Int32, recurrenceType(r));
        setLid(out, PSETID_Appointment, PidLidRecurrencePattern, PropType::Unicode, describe(r, e.localStart, e.localEnd));
    } else {
        setLid(out, PSETID_Appointment, PidLidRecurrenceType, PropType::Int32, int32_t(0));
        setLid(out, PSETID_Appointment, PidLidClipStart, PropType::SysTime, e.start);
        setLid(out, PSETID_Appointment, PidLidClipEnd, PropType::SysTime, e.end);
    }

    // Time zone ([MS-OXCICAL] 2.1.3.1.1.20.10.1; [MS-OXOCAL] 2.2.1.39, 2.2.1.41)
    if (e.zone) {
        pst::Bytes definition = timeZoneDefinition(e.timeZoneName, *e.zone, false);
        setLid(out, PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionStartDisplay, PropType::Binary, definition);
        setLid(out, PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionEndDisplay, PropType::Binary, definition);
        setLid(out, PSETID_Appointment, PidLidTimeZoneDescription, PropType::Unicode, e.timeZoneName);
        if (recurring) {
            setLid(out, PSETID_Appointment, PidLidTimeZoneStruct, PropType::Binary, timeZoneStruct(*e.zone));
            setLid(out, PSETID_Appointment, PidLidAppointmentTimeZoneDefinitionRecur, PropType::Binary,
                   timeZoneDefinition(e.timeZoneName, *e.zone, true));
        }
    }

    if (e.reminderMinutes && !reply) {
        setLid(out, PSETID_Common, PidLidReminderSet, PropType::Boolean, true);
        setLid(out, PSETID_Common, PidLidReminderDelta, PropType::Int32, *e.reminderMinutes);
    }

    // The original part ([MS-OXCICAL] 2.1.3.4.1, 2.1.3.4.2)
    setLid(out, PSETID_Appointment, PidLidInboundICalStream, PropType::Binary, calendar.original);
    if (calendar.onlyPart) setLid(out, PSETID_Appointment, PidLidSingleBodyICal, PropType::Boolean, true);

    // Organizer: the meeting is sent on the organizer's behalf.
    if (e.organizer && !e.organizer->address.empty() && !reply) {
        Mailbox organizer{e.organizer->name, e.organizer->address};
        out.set(PR_SENT_REPRESENTING_NAME_W, organizer.shown());
        out.set(PR_SENT_REPRESENTING_ADDRTYPE_W, std::u16string(u"SMTP"));
        out.set(PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, organizer.address);
        out.set(PR_SENT_REPRESENTING_SMTP_ADDRESS_W, organizer.address);
        out.set(PR_SENT_REPRESENTING_ENTRYID, oneOffEntryId(organizer));
        out.set(PR_SENT_REPRESENTING_SEARCH_KEY, searchKey(organizer));
    }

    // Attendees ([MS-OXOCAL] 2.2.1.16-2.2.1.18; recipient rows 2.2.4.10)
    std::vector<std::u16string> to, cc, all;
    for (const auto& a : e.attendees) {
        if (e.organizer && lower(a.address) == lower(e.organizer->address)) continue;
        all.push_back(shownName(a));
        if (isResource(a)) continue;
        (recipientTypeOf(a) == MAPI_CC ? cc : to).push_back(shownName(a));
    }
    if (!reply) {
        setLid(out, PSETID_Appointment, PidLidToAttendeesString, PropType::Unicode, joined(to));
        setLid(out, PSETID_Appointment, PidLidCcAttendeesString, PropType::Unicode, joined(cc));
        setLid(out, PSETID_Appointment, PidLidAllAttendeesString, PropType::Unicode, joined(all));
        for (const auto& a : e.attendees) {
            if (a.address.empty()) continue;
            bool listed = false;
            for (const auto& row : out.recipients) {
                auto* address = findIn(row.props, PR_EMAIL_ADDRESS_W);
                if (address && lower(std::get<std::u16string>(address->value)) == lower(a.address)) listed = true;
            }
            if (!listed) out.recipients.push_back(recipientRow(Mailbox{a.name, a.address}, recipientTypeOf(a)));
        }
    } else if (!e.attendees.empty()) {
        // The reply's own answer, on the row of the attendee who gave it.
        const Attendee& who = e.attendees.front();
        int32_t status = who.partstat == "ACCEPTED" ? respAccepted
                         : who.partstat == "DECLINED" ? respDeclined
                         : who.partstat == "TENTATIVE" ? respTentative : respNone;
        for (auto& row : out.recipients) {
            auto* address = findIn(row.props, PR_EMAIL_ADDRESS_W);
            if (address && lower(std::get<std::u16string>(address->value)) == lower(who.address))
                row.props.push_back({PR_RECIPIENT_TRACKSTATUS, status});
        }
    }
}

}  // namespace eml
