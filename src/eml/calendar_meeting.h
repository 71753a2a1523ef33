#pragma once
// A meeting request, cancellation or reply read from its text/calendar part
// becomes the meeting object Outlook makes of it ([MS-OXCICAL] 2.1.3,
// [MS-OXOCAL] 2.2): its class, the appointment and meeting properties,
// the organizer and attendees.

#include <optional>
#include <string>

#include "eml/calendar_event.h"
#include "pst/message_content.h"

namespace eml {

struct CalendarPart {
    CalendarEvent event;
    pst::Bytes original;        // the part as sent (PidLidInboundICalStream)
    bool onlyPart = false;      // the message had no other part (PidLidSingleBodyICal)
};

// IPM.Schedule.Meeting.Request, .Canceled or .Resp.Pos/Neg/Tent; nullopt for
// methods that make no meeting message (PUBLISH, COUNTER, ...).
std::optional<std::u16string> meetingClass(const CalendarEvent& event);

// Sets the class and the meeting's properties on a message whose envelope
// and recipients are read already.
void applyMeeting(const CalendarPart& calendar, pst::MessageContent& out);

}  // namespace eml
