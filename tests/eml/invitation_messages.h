#pragma once
// Invitations, replies and cancellations structured as the mail clients
// that send most of them write them: Outlook (multipart/alternative with a
// Windows time zone and an Outlook UID) and Thunderbird/Google (an Olson
// time zone, an invite.ics copy attached).

#include <string>

namespace eml::test {

inline const std::string kOutlookUid =
    "040000008200E00074C5B7101A82E00800000000B0F7A2D4E8ADDC01000000000000000010000000A1B2C3D4E5F60718293A4B5C6D7E8F90";

inline std::string outlookRequest() {
    return "From: \"Anna Berg\" <anna.berg@example.com>\r\n"
           "To: \"Bob Lang\" <bob@example.org>, \"Carla Diaz\" <carla@example.org>\r\n"
           "Subject: Budget review\r\n"
           "Date: Mon, 2 Mar 2026 10:00:00 +0100\r\n"
           "Message-ID: <req-1@mail.example.com>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/alternative; boundary=\"_000_alt\"\r\n"
           "\r\n"
           "--_000_alt\r\n"
           "Content-Type: text/plain; charset=\"utf-8\"\r\n"
           "\r\n"
           "Let us go through the budget.\r\n"
           "\r\n"
           "--_000_alt\r\n"
           "Content-Type: text/html; charset=\"utf-8\"\r\n"
           "\r\n"
           "<html><body><p>Let us go through the budget.</p></body></html>\r\n"
           "--_000_alt\r\n"
           "Content-Type: text/calendar; charset=\"utf-8\"; method=REQUEST\r\n"
           "Content-Transfer-Encoding: 7bit\r\n"
           "\r\n"
           "BEGIN:VCALENDAR\r\n"
           "METHOD:REQUEST\r\n"
           "PRODID:Microsoft Exchange Server 2010\r\n"
           "VERSION:2.0\r\n"
           "BEGIN:VTIMEZONE\r\n"
           "TZID:W. Europe Standard Time\r\n"
           "BEGIN:STANDARD\r\n"
           "DTSTART:16010101T030000\r\n"
           "TZOFFSETFROM:+0200\r\n"
           "TZOFFSETTO:+0100\r\n"
           "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=10\r\n"
           "END:STANDARD\r\n"
           "BEGIN:DAYLIGHT\r\n"
           "DTSTART:16010101T020000\r\n"
           "TZOFFSETFROM:+0100\r\n"
           "TZOFFSETTO:+0200\r\n"
           "RRULE:FREQ=YEARLY;INTERVAL=1;BYDAY=-1SU;BYMONTH=3\r\n"
           "END:DAYLIGHT\r\n"
           "END:VTIMEZONE\r\n"
           "BEGIN:VEVENT\r\n"
           "ORGANIZER;CN=Anna Berg:mailto:anna.berg@example.com\r\n"
           "ATTENDEE;ROLE=REQ-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE;CN=Bob Lang:mailto:bob@example.org\r\n"
           "ATTENDEE;ROLE=OPT-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE;CN=Carla Diaz:mailto:carla@example.org\r\n"
           "ATTENDEE;CUTYPE=RESOURCE;ROLE=NON-PARTICIPANT;CN=Room 4.12:mailto:room412@example.com\r\n"
           "DESCRIPTION;LANGUAGE=en-US:Let us go through the budget.\\n\r\n"
           "UID:" + kOutlookUid + "\r\n"
           "SUMMARY;LANGUAGE=en-US:Budget review\r\n"
           "DTSTART;TZID=W. Europe Standard Time:20260310T140000\r\n"
           "DTEND;TZID=W. Europe Standard Time:20260310T153000\r\n"
           "CLASS:PUBLIC\r\n"
           "PRIORITY:5\r\n"
           "DTSTAMP:20260302T090000Z\r\n"
           "TRANSP:OPAQUE\r\n"
           "STATUS:CONFIRMED\r\n"
           "SEQUENCE:0\r\n"
           "LOCATION;LANGUAGE=en-US:Room 4.12\r\n"
           "X-MICROSOFT-CDO-APPT-SEQUENCE:0\r\n"
           "X-MICROSOFT-CDO-BUSYSTATUS:TENTATIVE\r\n"
           "X-MICROSOFT-CDO-INTENDEDSTATUS:BUSY\r\n"
           "X-MICROSOFT-CDO-ALLDAYEVENT:FALSE\r\n"
           "X-MICROSOFT-CDO-IMPORTANCE:1\r\n"
           "BEGIN:VALARM\r\n"
           "DESCRIPTION:REMINDER\r\n"
           "TRIGGER;RELATED=START:-PT15M\r\n"
           "ACTION:DISPLAY\r\n"
           "END:VALARM\r\n"
           "END:VEVENT\r\n"
           "END:VCALENDAR\r\n"
           "\r\n"
           "--_000_alt--\r\n";
}

inline const char* kBerlinZone =
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\n"
    "TZOFFSETFROM:+0100\r\n"
    "TZOFFSETTO:+0200\r\n"
    "TZNAME:CEST\r\n"
    "DTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
    "END:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\n"
    "TZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0100\r\n"
    "TZNAME:CET\r\n"
    "DTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

// A Thunderbird/Google-style message: the calendar inside the alternative,
// its copy attached as invite.ics. `method` and `event` (the VEVENT's own
// lines) vary per test.
inline std::string thunderbirdMessage(const std::string& subject, const std::string& method, const std::string& event,
                                      const std::string& from = "\"Anna Berg\" <anna.berg@example.com>",
                                      const std::string& to = "bob@example.org") {
    std::string calendar = "BEGIN:VCALENDAR\r\nPRODID:-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN\r\n"
                           "VERSION:2.0\r\nMETHOD:" + method + "\r\n" + kBerlinZone +
                           "BEGIN:VEVENT\r\n" + event + "END:VEVENT\r\nEND:VCALENDAR\r\n";
    return "From: " + from + "\r\n"
           "To: " + to + "\r\n"
           "Subject: " + subject + "\r\n"
           "Date: Mon, 2 Mar 2026 10:00:00 +0100\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"mixed\"\r\n"
           "\r\n"
           "--mixed\r\n"
           "Content-Type: multipart/alternative; boundary=\"alt\"\r\n"
           "\r\n"
           "--alt\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "\r\n"
           + subject + "\r\n"
           "--alt\r\n"
           "Content-Type: text/calendar; charset=UTF-8; method=" + method + "\r\n"
           "\r\n"
           + calendar +
           "--alt--\r\n"
           "\r\n"
           "--mixed\r\n"
           "Content-Type: application/ics; name=\"invite.ics\"\r\n"
           "Content-Disposition: attachment; filename=\"invite.ics\"\r\n"
           "\r\n"
           + calendar +
           "--mixed--\r\n";
}

inline std::string thunderbirdEvent(const std::string& rrule, const std::string& extra = "") {
    return "UID:6f1c2c3e-2b5a-4d8e-9a51-1c2d3e4f5a6b@example.com\r\n"
           "SUMMARY:Team sync\r\n"
           "ORGANIZER;CN=Anna Berg:mailto:anna.berg@example.com\r\n"
           "ATTENDEE;RSVP=TRUE;PARTSTAT=NEEDS-ACTION;ROLE=REQ-PARTICIPANT:mailto:bob@example.org\r\n"
           "DTSTART;TZID=Europe/Berlin:20260309T090000\r\n"
           "DTEND;TZID=Europe/Berlin:20260309T100000\r\n"
           "DTSTAMP:20260302T090000Z\r\n"
           "SEQUENCE:2\r\n"
           "LOCATION:Video call\r\n" +
           (rrule.empty() ? std::string() : "RRULE:" + rrule + "\r\n") + extra;
}

}  // namespace eml::test
