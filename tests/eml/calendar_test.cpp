// Invitations, replies and cancellations read as the meeting objects
// Outlook makes of them. Each check names the section it rests on.

#include <gtest/gtest.h>

#include <chrono>

#include "eml_test_support.h"
#include "invitation_messages.h"
#include "pst/format/property_sets.h"

namespace eml::test {
namespace {

using namespace pst::tags;
using namespace std::chrono;
using pst::format::PSETID_Appointment;
using pst::format::PSETID_Common;
using pst::format::PSETID_Meeting;

const pst::PropValue* named(const pst::MessageContent& m, const pst::Guid& set, uint32_t lid) {
    return m.findNamed(pst::NamedPropertyName::byLid(set, lid));
}
template <class T>
T namedValue(const pst::MessageContent& m, const pst::Guid& set, uint32_t lid) {
    auto* v = named(m, set, lid);
    if (!v) {
        ADD_FAILURE() << "no named property 0x" << std::hex << lid;
        return T{};
    }
    return std::get<T>(*v);
}

// Independent of the parser: the calendar arithmetic of <chrono>.
int64_t minutesSince1601(int y, unsigned m, unsigned d, int hour = 0, int minute = 0) {
    auto days = (sys_days{year{y} / month{m} / day{d}} - sys_days{year{1601} / January / day{1}}).count();
    return days * 1440 + hour * 60 + minute;
}
pst::FileTime utc(int y, unsigned m, unsigned d, int hour, int minute) {
    return {static_cast<uint64_t>(minutesSince1601(y, m, d, hour, minute)) * 600000000ULL};
}

// Little-endian fields, for comparing structures field by field.
struct Fields {
    pst::Bytes bytes;
    Fields& u16(uint32_t v) { for (int i = 0; i < 2; ++i) bytes.push_back(uint8_t(v >> (8 * i))); return *this; }
    Fields& u32(uint32_t v) { for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i))); return *this; }
    Fields& systemTime(uint16_t y, uint16_t mo, uint16_t dow, uint16_t d, uint16_t h) {
        return u16(y).u16(mo).u16(dow).u16(d).u16(h).u16(0).u16(0).u16(0);
    }
};

pst::Bytes hexBytes(const std::string& hex) {
    pst::Bytes out;
    for (size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const pst::RecipientRow* row(const pst::MessageContent& m, const std::string& address) {
    for (const auto& r : m.recipients)
        if (text(r, PR_EMAIL_ADDRESS_W) == address) return &r;
    return nullptr;
}

TEST(Invitation, OutlookRequestValueByValue) {
    auto result = parseText(outlookRequest());
    const auto& m = result.message;
    // [MS-OXCICAL] 2.1.3.1.1.1: METHOD:REQUEST gives a meeting request.
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Request");
    // [MS-OXCICAL] 2.1.3.1.1.20.10, .8: DTSTART/DTEND in their zone, stored
    // in UTC ([MS-OXOCAL] 2.2.1.5, 2.2.1.6); March 10 is still winter time.
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Appointment, 0x820D), utc(2026, 3, 10, 13, 0));
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Appointment, 0x820E), utc(2026, 3, 10, 14, 30));
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Common, 0x8516), utc(2026, 3, 10, 13, 0));  // PidLidCommonStart
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Common, 0x8517), utc(2026, 3, 10, 14, 30));
    EXPECT_EQ(prop<pst::FileTime>(m.props, pst::makeTag(0x0060, pst::PropType::SysTime)), utc(2026, 3, 10, 13, 0));
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8213), 90);       // PidLidAppointmentDuration
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x8215), false);       // PidLidAppointmentSubType
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Appointment, 0x8208), u"Room 4.12");  // PidLidLocation
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Meeting, 0x0002), u"Room 4.12");      // PidLidWhere
    // [MS-OXOCAL] 2.2.1.2, 2.2.1.3, 2.2.1.10, 2.2.1.11: a received request.
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8205), 1);  // busy: tentative until answered
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8224), 2);  // intended: busy
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8217), 0x3);  // asfMeeting | asfReceived
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8218), 5);  // respNotResponded
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Meeting, 0x0026), 1);      // PidLidMeetingType mtgRequest
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8201), 0);  // sequence, [MS-OXCICAL] 2.1.3.1.1.20.22
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Meeting, 0x0024), u"IPM.Appointment");
    EXPECT_EQ(prop<bool>(m.props, pst::makeTag(0x0063, pst::PropType::Boolean)), true);  // RSVP
    // [MS-OXCICAL] 2.1.3.1.1.20.9: DTSTAMP is the owner's critical change.
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Meeting, 0x001A), utc(2026, 3, 2, 9, 0));
    // [MS-OXCICAL] 2.1.3.1.1.20.26: an Outlook UID is the id's hex text.
    EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Meeting, 0x0003), hexBytes(kOutlookUid));
    EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Meeting, 0x0023), hexBytes(kOutlookUid));
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x8223), false);  // PidLidRecurring
    // [MS-OXOCAL] 2.2.1.41: TZDEFINITION of the start zone, one effective rule
    // (bias -60, daylight -60, last Sunday of October 03:00 / March 02:00).
    Fields zone;
    zone.bytes = {0x02, 0x01};
    std::u16string key = u"W. Europe Standard Time";
    zone.u16(6 + 2 * key.size()).u16(0x0002).u16(key.size());
    for (char16_t c : key) zone.u16(c);
    zone.u16(1);
    zone.bytes.push_back(0x02);
    zone.bytes.push_back(0x01);
    zone.u16(0x3E).u16(0x0002).systemTime(0, 0, 0, 0, 0);
    zone.u32(static_cast<uint32_t>(-60)).u32(0).u32(static_cast<uint32_t>(-60));
    zone.systemTime(0, 10, 0, 5, 3).systemTime(0, 3, 0, 5, 2);
    EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Appointment, 0x825E), zone.bytes);
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Appointment, 0x8234), u"W. Europe Standard Time");
    // [MS-OXCICAL] 2.1.3.4.1: the part as it came.
    auto original = namedValue<pst::Bytes>(m, PSETID_Appointment, 0x827A);
    EXPECT_EQ(bytesAsString(original).rfind("BEGIN:VCALENDAR", 0), 0u);
    EXPECT_FALSE(named(m, PSETID_Appointment, 0x827B));  // not the only part
    // The reminder of VALARM (PidLidReminderSet, PidLidReminderDelta).
    EXPECT_EQ(namedValue<bool>(m, PSETID_Common, 0x8503), true);
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Common, 0x8501), 15);

    // Organizer and attendees ([MS-OXOCAL] 2.2.4.10.7, 2.2.1.16-18).
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_NAME_W), "Anna Berg");
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_EMAIL_ADDRESS_W), "anna.berg@example.com");
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Appointment, 0x823B), u"Bob Lang");
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Appointment, 0x823C), u"Carla Diaz");
    EXPECT_EQ(namedValue<std::u16string>(m, PSETID_Appointment, 0x8238), u"Bob Lang; Carla Diaz; Room 4.12");
    ASSERT_EQ(m.recipients.size(), 3u);
    EXPECT_EQ(prop<int32_t>(row(m, "bob@example.org")->props, PR_RECIPIENT_TYPE), MAPI_TO);
    EXPECT_EQ(prop<int32_t>(row(m, "carla@example.org")->props, PR_RECIPIENT_TYPE), MAPI_TO);  // as the header says
    ASSERT_TRUE(row(m, "room412@example.com"));
    EXPECT_EQ(prop<int32_t>(row(m, "room412@example.com")->props, PR_RECIPIENT_TYPE), MAPI_BCC);

    // The body stays the message's; the calendar part is no attachment.
    EXPECT_EQ(text(m, PR_BODY_W), "Let us go through the budget.\r\n");
    EXPECT_TRUE(m.find(PR_HTML));
    EXPECT_TRUE(m.attachments.empty());
}

TEST(Invitation, SummerTimeAndTheChangeNightFollowTheZonesRule) {
    // [MS-OXOCAL] 2.2.1.39: UTC = local + bias + daylight bias in summer time;
    // W. Europe changes on the last Sunday of March at 02:00 local time.
    struct Case { std::string local; pst::FileTime want; };
    const Case cases[] = {
        {"20260715T140000", utc(2026, 7, 15, 12, 0)},
        {"20260329T013000", utc(2026, 3, 29, 0, 30)},   // just before the change
        {"20260329T030000", utc(2026, 3, 29, 1, 0)},    // just after it
        {"20261025T040000", utc(2026, 10, 25, 3, 0)},   // winter time again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.local);
        std::string message = outlookRequest();
        std::string start = "DTSTART;TZID=W. Europe Standard Time:";
        message.replace(message.find(start) + start.size(), 15, c.local);
        message.replace(message.find("DTEND;TZID=W. Europe Standard Time:") + 35, 15, c.local);
        auto m = parseText(message).message;
        EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Appointment, 0x820D), c.want);
    }
}

TEST(Invitation, WeeklySeriesGetsItsRecurrencePattern) {
    auto m = parseText(thunderbirdMessage(
                           "Team sync", "REQUEST",
                           thunderbirdEvent("FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20260415T070000Z",
                                            "EXDATE;TZID=Europe/Berlin:20260318T090000\r\n")))
                 .message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Request");
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x8223), true);  // PidLidRecurring
    EXPECT_EQ(namedValue<bool>(m, PSETID_Meeting, 0x0005), true);      // PidLidIsRecurring
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8231), 2);  // PidLidRecurrenceType weekly
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Meeting, 0x0026), 0x10000);  // sequence 2: a full update
    // [MS-OXOCAL] 2.2.1.44.1 RecurrencePattern and 2.2.1.44.3
    // AppointmentRecurrencePattern, in the meeting's local time.
    const int64_t start = minutesSince1601(2026, 3, 9);
    Fields want;
    want.u16(0x3004).u16(0x3004).u16(0x200B).u16(1).u16(0);
    want.u32(static_cast<uint32_t>(start % 10080));  // 2.2.1.44.1.1 WEEKLY: the week starts on Monday the 9th
    want.u32(1).u32(0).u32(0x02 | 0x08);             // every week, Monday and Wednesday
    want.u32(0x2021).u32(12).u32(1);                 // ends by date, 12 meetings, weeks start on Monday
    want.u32(1).u32(static_cast<uint32_t>(minutesSince1601(2026, 3, 18)));  // EXDATE: one deleted instance
    want.u32(0).u32(static_cast<uint32_t>(start)).u32(static_cast<uint32_t>(minutesSince1601(2026, 4, 15)));
    want.u32(0x3006).u32(0x3009).u32(540).u32(600).u16(0).u32(0).u32(0);
    EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Appointment, 0x8216), want.bytes);
    // [MS-OXOCAL] 2.2.1.39: the series' zone as TZREG (Berlin: -60, -60).
    Fields zone;
    zone.u32(static_cast<uint32_t>(-60)).u32(0).u32(static_cast<uint32_t>(-60));
    zone.u16(0).systemTime(0, 10, 0, 5, 3).u16(0).systemTime(0, 3, 0, 5, 2);
    EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Appointment, 0x8233), zone.bytes);
    EXPECT_TRUE(named(m, PSETID_Appointment, 0x8260));  // TZDEFINITION of the series
    // A third-party UID is wrapped ([MS-OXCICAL] 2.1.3.1.1.20.26).
    auto id = namedValue<pst::Bytes>(m, PSETID_Meeting, 0x0003);
    std::string uid = "6f1c2c3e-2b5a-4d8e-9a51-1c2d3e4f5a6b@example.com";
    ASSERT_EQ(id.size(), 40 + 12 + uid.size() + 1);
    EXPECT_EQ(id[36], 12 + uid.size() + 1);
    EXPECT_EQ(std::string(id.begin() + 40, id.begin() + 48), "vCal-Uid");
    EXPECT_EQ(std::string(id.begin() + 52, id.end() - 1), uid);
    // The attached copy stays a file (it has an attachment disposition).
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_LONG_FILENAME_W), "invite.ics");
}

TEST(Invitation, DailyMonthlyAndYearlyRules) {
    struct Case {
        std::string rule;
        uint16_t frequency, pattern;
        std::vector<uint32_t> periodAndSpecific;
        uint32_t firstDateTime, endType, count, endDate;
    };
    const uint32_t start = static_cast<uint32_t>(minutesSince1601(2026, 3, 9));
    const Case cases[] = {
        // every other day, five times: Mar 9, 11, 13, 15, 17 (2.2.1.44.1.1 DAILY)
        {"FREQ=DAILY;INTERVAL=2;COUNT=5", 0x200A, 0, {2880, 0}, start % 2880, 0x2022, 5,
         static_cast<uint32_t>(minutesSince1601(2026, 3, 17))},
        // second Tuesday of each month, three times (MONTHLY, MonthNth)
        {"FREQ=MONTHLY;BYDAY=2TU;COUNT=3", 0x200C, 3, {1, 0, 0x04, 2}, 0, 0x2022, 3,
         static_cast<uint32_t>(minutesSince1601(2026, 5, 12))},
        // the 20th of each month until June (MONTHLY, Month): Mar 20 .. Jun 20
        {"FREQ=MONTHLY;BYMONTHDAY=20;UNTIL=20260701T000000Z", 0x200C, 2, {1, 0, 20}, 0, 0x2021, 4,
         static_cast<uint32_t>(minutesSince1601(2026, 6, 20))},
        // every 10 March, no end (YEARLY: period 12, first date in March 1601)
        {"FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=10", 0x200D, 2, {12, 0, 10},
         static_cast<uint32_t>(minutesSince1601(1601, 3, 1)), 0x2023, 10, 0x5AE980DF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        auto m = parseText(thunderbirdMessage("Series", "REQUEST", thunderbirdEvent(c.rule))).message;
        Fields want;
        want.u16(0x3004).u16(0x3004).u16(c.frequency).u16(c.pattern).u16(0).u32(c.firstDateTime);
        for (uint32_t v : c.periodAndSpecific) want.u32(v);
        want.u32(c.endType).u32(c.count).u32(1).u32(0).u32(0).u32(start).u32(c.endDate);
        want.u32(0x3006).u32(0x3009).u32(540).u32(600).u16(0).u32(0).u32(0);
        EXPECT_EQ(namedValue<pst::Bytes>(m, PSETID_Appointment, 0x8216), want.bytes);
    }
}

TEST(Invitation, SeriesWithAChangedInstanceIsReadAsTheSeries) {
    // Outlook sends a series and its changed instances in one VCALENDAR; the
    // message is the series ([MS-OXCICAL] 2.1.3.1.1: one object per VEVENT
    // without RECURRENCE-ID).
    std::string event = thunderbirdEvent("FREQ=DAILY;COUNT=3");
    std::string changed = "UID:6f1c2c3e-2b5a-4d8e-9a51-1c2d3e4f5a6b@example.com\r\n"
                          "RECURRENCE-ID;TZID=Europe/Berlin:20260310T090000\r\n"
                          "DTSTART;TZID=Europe/Berlin:20260310T110000\r\n"
                          "DTEND;TZID=Europe/Berlin:20260310T120000\r\n"
                          "DTSTAMP:20260302T090000Z\r\nSUMMARY:Team sync (moved)\r\n";
    auto m = parseText(thunderbirdMessage("Team sync", "REQUEST", changed + "END:VEVENT\r\nBEGIN:VEVENT\r\n" + event))
                 .message;
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x8223), true);
    EXPECT_EQ(namedValue<bool>(m, PSETID_Meeting, 0x000A), false);  // PidLidIsException
    EXPECT_EQ(namedValue<pst::FileTime>(m, PSETID_Appointment, 0x820D), utc(2026, 3, 9, 8, 0));
}

TEST(Invitation, ReplyAndCancellation) {
    // [MS-OXCICAL] 2.1.3.1.1.1: a REPLY's class follows the attendee's PARTSTAT.
    std::string accepted = "UID:6f1c2c3e-2b5a-4d8e-9a51-1c2d3e4f5a6b@example.com\r\n"
                           "ORGANIZER;CN=Anna Berg:mailto:anna.berg@example.com\r\n"
                           "ATTENDEE;PARTSTAT=ACCEPTED;CN=Bob Lang:mailto:bob@example.org\r\n"
                           "DTSTART;TZID=Europe/Berlin:20260309T090000\r\n"
                           "DTEND;TZID=Europe/Berlin:20260309T100000\r\n"
                           "DTSTAMP:20260303T080000Z\r\n"
                           "SUMMARY:Team sync\r\n";
    auto reply = parseText(thunderbirdMessage("Accepted: Team sync", "REPLY", accepted, "\"Bob Lang\" <bob@example.org>",
                                              "anna.berg@example.com"))
                     .message;
    EXPECT_EQ(text(reply, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Resp.Pos");
    // [MS-OXCICAL] 2.1.3.1.1.20.9: a reply's DTSTAMP is the attendee's critical change.
    EXPECT_EQ(namedValue<pst::FileTime>(reply, PSETID_Meeting, 0x0001), utc(2026, 3, 3, 8, 0));
    EXPECT_FALSE(named(reply, PSETID_Meeting, 0x001A));
    EXPECT_EQ(namedValue<int32_t>(reply, PSETID_Appointment, 0x8218), 0);  // respNone
    EXPECT_EQ(text(reply, PR_SENT_REPRESENTING_NAME_W), "Bob Lang");       // the reply is the attendee's
    EXPECT_EQ(reply.recipients.size(), 1u);

    std::string declined = accepted;
    declined.replace(declined.find("ACCEPTED"), 8, "DECLINED");
    EXPECT_EQ(text(parseText(thunderbirdMessage("Declined", "REPLY", declined)).message, PR_MESSAGE_CLASS_W),
              "IPM.Schedule.Meeting.Resp.Neg");
    std::string tentative = accepted;
    tentative.replace(tentative.find("ACCEPTED"), 8, "TENTATIVE");
    EXPECT_EQ(text(parseText(thunderbirdMessage("Tentative", "REPLY", tentative)).message, PR_MESSAGE_CLASS_W),
              "IPM.Schedule.Meeting.Resp.Tent");

    auto cancel = parseText(thunderbirdMessage("Canceled: Team sync", "CANCEL",
                                               thunderbirdEvent("", "STATUS:CANCELLED\r\n")))
                      .message;
    EXPECT_EQ(text(cancel, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Canceled");
    EXPECT_EQ(namedValue<int32_t>(cancel, PSETID_Appointment, 0x8217), 0x7);  // asfCanceled too
    EXPECT_EQ(namedValue<int32_t>(cancel, PSETID_Appointment, 0x8205), 0);    // free
}

TEST(Invitation, CalendarOnlyMessageAndWhatStaysAFile) {
    // A message that is nothing but the calendar: DESCRIPTION is the body
    // ([MS-OXCICAL] 2.1.3.1.1.20.11) and PidLidSingleBodyICal is set (2.1.3.4.2).
    std::string only = "From: anna.berg@example.com\r\nTo: bob@example.org\r\nSubject: Lunch\r\n"
                       "Date: Mon, 2 Mar 2026 10:00:00 +0100\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text/calendar; method=REQUEST; charset=UTF-8\r\n\r\n"
                       "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\n"
                       "UID:lunch-1\r\nDTSTART;VALUE=DATE:20260312\r\nDTEND;VALUE=DATE:20260313\r\n"
                       "SUMMARY:Lunch\r\nDESCRIPTION:Bring\\nfood\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    auto m = parseText(only).message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Request");
    EXPECT_EQ(text(m, PR_BODY_W), "Bring\r\nfood");
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x827B), true);
    EXPECT_EQ(namedValue<bool>(m, PSETID_Appointment, 0x8215), true);  // all day
    EXPECT_EQ(namedValue<int32_t>(m, PSETID_Appointment, 0x8213), 1440);
    EXPECT_TRUE(m.attachments.empty());

    // PUBLISH makes no meeting message, and a calendar that cannot be read
    // makes none either: both stay files, nothing is lost.
    std::string publish = only;
    publish.replace(publish.find("method=REQUEST"), 14, "method=PUBLISH");
    publish.replace(publish.find("METHOD:REQUEST"), 14, "METHOD:PUBLISH");
    auto published = parseText(publish).message;
    EXPECT_EQ(text(published, PR_MESSAGE_CLASS_W), "IPM.Note");
    std::string broken = only;
    broken.replace(broken.find("DTSTART"), 7, "XTSTART");
    auto unreadable = parseText(broken);
    EXPECT_EQ(text(unreadable.message, PR_MESSAGE_CLASS_W), "IPM.Note");
    bool kept = !unreadable.message.attachments.empty() || text(unreadable.message, PR_BODY_W).find("BEGIN:VCALENDAR") != std::string::npos;
    EXPECT_TRUE(kept);
}

}  // namespace
}  // namespace eml::test
