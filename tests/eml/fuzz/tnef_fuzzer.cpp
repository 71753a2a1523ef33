// libFuzzer entry for winmail.dat, compressed RTF and iCalendar text: any bytes must give a
// message, a warning or nothing, never a crash or a hang.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "eml/calendar_event.h"
#include "eml/parse_context.h"
#include "eml/rtf_compressed.h"
#include "eml/rtf_text.h"
#include "eml/tnef_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    eml::Warnings warnings;
    eml::ParseContext context;
    context.warnings = &warnings;
    eml::readTnefMessage(bytes, context, 0);
    if (auto rtf = eml::decompressRtf(bytes)) eml::readRtf(*rtf);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    eml::readRtf(text);
    eml::readCalendar(text, warnings);
    return 0;
}
