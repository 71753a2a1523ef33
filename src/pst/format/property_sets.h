#pragma once
// The property sets of named properties ([MS-OXPROPS] 1.3.2 "Commonly Used
// Property Sets"), as the GUIDs stand in a store's GUID stream: the first
// three fields little-endian.

#include <cstdint>

#include "pst/format/property_types.h"

namespace pst::format {

constexpr Guid makeGuid(uint32_t data1, uint16_t data2, uint16_t data3, uint8_t d0, uint8_t d1, uint8_t d2,
                        uint8_t d3, uint8_t d4, uint8_t d5, uint8_t d6, uint8_t d7) {
    return {uint8_t(data1), uint8_t(data1 >> 8), uint8_t(data1 >> 16), uint8_t(data1 >> 24),
            uint8_t(data2), uint8_t(data2 >> 8), uint8_t(data3), uint8_t(data3 >> 8),
            d0, d1, d2, d3, d4, d5, d6, d7};
}

// {000203xx-0000-0000-C000-000000000046} and {000620xx-...}: the MAPI family.
constexpr Guid mapiFamilyGuid(uint32_t data1) { return makeGuid(data1, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46); }

inline constexpr Guid PS_MAPI = mapiFamilyGuid(0x00020328);
inline constexpr Guid PS_PUBLIC_STRINGS = mapiFamilyGuid(0x00020329);
inline constexpr Guid PS_INTERNET_HEADERS = mapiFamilyGuid(0x00020386);
inline constexpr Guid PSETID_Appointment = mapiFamilyGuid(0x00062002);
inline constexpr Guid PSETID_Task = mapiFamilyGuid(0x00062003);
inline constexpr Guid PSETID_Address = mapiFamilyGuid(0x00062004);
inline constexpr Guid PSETID_Common = mapiFamilyGuid(0x00062008);
inline constexpr Guid PSETID_Log = mapiFamilyGuid(0x0006200A);
inline constexpr Guid PSETID_Note = mapiFamilyGuid(0x0006200E);
inline constexpr Guid PSETID_Meeting =
    makeGuid(0x6ED8DA90, 0x450B, 0x101B, 0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05);
inline constexpr Guid PSETID_CalendarAssistant =
    makeGuid(0x11000E07, 0xB51B, 0x40D6, 0xAF, 0x21, 0xCA, 0xA8, 0x5E, 0xDA, 0xB1, 0xD0);
inline constexpr Guid PSETID_Attachment =
    makeGuid(0x96357F7F, 0x59E1, 0x47D0, 0x99, 0xA7, 0x46, 0x51, 0x5C, 0x18, 0x3B, 0x54);

}  // namespace pst::format
