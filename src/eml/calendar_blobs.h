#pragma once
// The binary structures of a meeting: the recurrence pattern
// (PidLidAppointmentRecur, [MS-OXOCAL] 2.2.1.44), the time zone
// (PidLidTimeZoneStruct 2.2.1.39, TZDEFINITION 2.2.1.41) and the global
// object id ([MS-OXOCAL] 2.2.1.27, from the UID as [MS-OXCICAL] 2.1.3.1.1.20.26 says).

#include <optional>
#include <string>

#include "eml/calendar_event.h"
#include "pst/property.h"

namespace eml {

// The AppointmentRecurrencePattern of a series that starts and ends at
// these local times.
pst::Bytes appointmentRecurrence(const Recurrence& recurrence, const WallTime& start, const WallTime& end,
                                 const std::vector<WallTime>& deletedDates);

// PidLidRecurrenceType: 1 daily, 2 weekly, 3 monthly, 4 yearly.
int32_t recurrenceType(const Recurrence& recurrence);

pst::Bytes timeZoneStruct(const ZoneRule& zone);
// One rule, in force now; `recurring` marks it as the series' own too.
pst::Bytes timeZoneDefinition(const std::u16string& keyName, const ZoneRule& zone, bool recurring);

// An Outlook UID is the id's hex text; any other is wrapped as "vCal-Uid".
// `instance` is the date of one instance of a series (zero for the series).
pst::Bytes globalObjectId(const std::string& uid, const std::optional<WallTime>& instance);
// The same id without the instance date.
pst::Bytes cleanGlobalObjectId(pst::Bytes id);

}  // namespace eml
