#pragma once
// The named properties a mail item read from an RFC 822 file carries
// ([MS-OXPROPS] 2.1 and 2.2: PidLid... by number, PidName... by name).

#include "pst/format/property_sets.h"
#include "pst/property.h"

namespace eml::named {

using pst::NamedPropertyName;
namespace sets = pst::format;

// PidNameKeywords: the categories.
inline const NamedPropertyName Keywords = NamedPropertyName::byName(sets::PS_PUBLIC_STRINGS, u"Keywords");
// PidNameContentClass: the Content-Class header.
inline const NamedPropertyName ContentClass = NamedPropertyName::byName(sets::PS_INTERNET_HEADERS, u"Content-Class");
// PidLidFlagRequest: the text of a follow-up flag.
inline const NamedPropertyName FlagRequest = NamedPropertyName::byLid(sets::PSETID_Common, 0x8530);
// PidLidSmartNoAttach: no attachment the reader would call one.
inline const NamedPropertyName SmartNoAttach = NamedPropertyName::byLid(sets::PSETID_Common, 0x8514);

}  // namespace eml::named
