#include "eml/calendar_blobs.h"

#include <algorithm>

namespace eml {

namespace {

void put16(pst::Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(pst::Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putSystemTime(pst::Bytes& out, const SystemTime& t) {
    for (uint16_t v : {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) put16(out, v);
}

// [MS-OXOCAL] 2.2.1.44.1: the frequency, pattern type and period fields.
constexpr uint16_t kDaily = 0x200A, kWeekly = 0x200B, kMonthly = 0x200C, kYearly = 0x200D;
constexpr uint16_t kPatternDay = 0, kPatternWeek = 1, kPatternMonth = 2, kPatternMonthNth = 3;
constexpr uint32_t kEndAfterDate = 0x2021, kEndAfterCount = 0x2022, kNeverEnd = 0x2023;
constexpr uint32_t kNoEndDate = 0x5AE980DF;  // 31 December 4500, in minutes

uint32_t weekdayMask(const std::vector<int>& days) {
    uint32_t mask = 0;
    for (int d : days) mask |= 1u << (d & 7);
    return mask;
}

// Minutes from 1601-01-01 to the first day of the month `months` after it.
int64_t monthStartMinutes(int64_t months) {
    WallTime w;
    w.year = static_cast<int>(1601 + months / 12);
    w.month = static_cast<int>(months % 12) + 1;
    return w.minutesSince1601();
}

const uint8_t kGlobalIdPrefix[16] = {0x04, 0x00, 0x00, 0x00, 0x82, 0x00, 0xE0, 0x00,
                                     0x74, 0xC5, 0xB7, 0x10, 0x1A, 0x82, 0xE0, 0x08};

std::optional<pst::Bytes> fromHex(const std::string& text) {
    if (text.size() % 2) return std::nullopt;
    pst::Bytes out;
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = std::isxdigit(static_cast<unsigned char>(text[i])) ? std::stoi(text.substr(i, 1), nullptr, 16) : -1;
        int lo = std::isxdigit(static_cast<unsigned char>(text[i + 1])) ? std::stoi(text.substr(i + 1, 1), nullptr, 16) : -1;
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

}  // namespace

int32_t recurrenceType(const Recurrence& r) {
    switch (r.frequency) {
        case Recurrence::Frequency::Daily: return 1;
        case Recurrence::Frequency::Weekly: return 2;
        case Recurrence::Frequency::Monthly: return 3;
        case Recurrence::Frequency::Yearly: return 4;
    }
    return 0;
}

pst::Bytes appointmentRecurrence(const Recurrence& r, const WallTime& start, const WallTime& end,
                                 const std::vector<WallTime>& deletedDates) {
    const int64_t startDate = start.dateMinutesSince1601();
    uint16_t frequency = kDaily, pattern = kPatternDay;
    uint32_t period = 0;
    int64_t firstDateTime = 0;
    pst::Bytes specific;
    switch (r.frequency) {
        case Recurrence::Frequency::Daily:
            period = static_cast<uint32_t>(r.interval) * 1440;
            firstDateTime = startDate % period;  // 2.2.1.44.1.1 DAILY
            break;
        case Recurrence::Frequency::Weekly: {
            frequency = kWeekly;
            pattern = kPatternWeek;
            period = static_cast<uint32_t>(r.interval);
            put32(specific, weekdayMask(r.weekdays));
            // 2.2.1.44.1.1 WEEKLY: from the first day of the week that holds
            // the start, modulo the period in minutes.
            int back = (start.dayOfWeek() - r.weekStart + 7) % 7;
            int64_t weekStart = startDate - back * 1440;
            firstDateTime = weekStart % (static_cast<int64_t>(period) * 10080);
            break;
        }
        case Recurrence::Frequency::Monthly:
        case Recurrence::Frequency::Yearly: {
            bool yearly = r.frequency == Recurrence::Frequency::Yearly;
            frequency = yearly ? kYearly : kMonthly;
            period = static_cast<uint32_t>(yearly ? 12 * r.interval : r.interval);
            if (!r.weekdays.empty()) {
                pattern = kPatternMonthNth;
                put32(specific, weekdayMask(r.weekdays));
                put32(specific, static_cast<uint32_t>(r.nth < 0 ? 5 : r.nth));
            } else {
                pattern = kPatternMonth;
                put32(specific, static_cast<uint32_t>(r.monthDay < 0 ? 31 : r.monthDay));
            }
            // 2.2.1.44.1.1 MONTHLY/YEARLY: the month of the start counted
            // from January 1601, modulo the period, as minutes.
            int64_t months = (start.year - 1601) * 12 + (start.month - 1);
            if (yearly && r.month) months = (start.year - 1601) * 12 + (r.month - 1);
            firstDateTime = monthStartMinutes(months % period);
            break;
        }
    }

    pst::Bytes out;
    put16(out, 0x3004);  // ReaderVersion
    put16(out, 0x3004);  // WriterVersion
    put16(out, frequency);
    put16(out, pattern);
    put16(out, 0);  // Gregorian
    put32(out, static_cast<uint32_t>(firstDateTime));
    put32(out, period);
    put32(out, 0);  // SlidingFlag
    out.insert(out.end(), specific.begin(), specific.end());
    uint32_t endType = r.end == Recurrence::End::Count ? kEndAfterCount
                       : r.end == Recurrence::End::Until ? kEndAfterDate : kNeverEnd;
    put32(out, endType);
    put32(out, r.end == Recurrence::End::Never ? 10 : static_cast<uint32_t>(r.occurrences));
    put32(out, static_cast<uint32_t>(r.weekStart));
    std::vector<uint32_t> deleted;
    for (const auto& d : deletedDates) deleted.push_back(static_cast<uint32_t>(d.dateMinutesSince1601()));
    std::sort(deleted.begin(), deleted.end());
    deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());
    put32(out, static_cast<uint32_t>(deleted.size()));
    for (uint32_t d : deleted) put32(out, d);
    put32(out, 0);  // ModifiedInstanceCount
    put32(out, static_cast<uint32_t>(startDate));
    put32(out, r.end == Recurrence::End::Never ? kNoEndDate
                                               : static_cast<uint32_t>(r.lastOccurrence.dateMinutesSince1601()));

    // 2.2.1.44.3 AppointmentRecurrencePattern
    put32(out, 0x3006);  // ReaderVersion2
    put32(out, 0x3009);  // WriterVersion2
    uint32_t startOffset = static_cast<uint32_t>(start.hour * 60 + start.minute);
    int64_t duration = std::max<int64_t>(0, end.minutesSince1601() - start.minutesSince1601());
    put32(out, startOffset);
    put32(out, static_cast<uint32_t>(startOffset + duration));
    put16(out, 0);  // ExceptionCount
    put32(out, 0);  // ReservedBlock1Size
    put32(out, 0);  // ReservedBlock2Size
    return out;
}

pst::Bytes timeZoneStruct(const ZoneRule& zone) {
    pst::Bytes out;
    put32(out, static_cast<uint32_t>(zone.bias));
    put32(out, static_cast<uint32_t>(zone.standardBias));
    put32(out, static_cast<uint32_t>(zone.daylightBias));
    put16(out, zone.standardDate.year);
    putSystemTime(out, zone.standardDate);
    put16(out, zone.daylightDate.year);
    putSystemTime(out, zone.daylightDate);
    return out;
}

pst::Bytes timeZoneDefinition(const std::u16string& keyName, const ZoneRule& zone, bool recurring) {
    pst::Bytes out;
    out.push_back(0x02);  // TZ_BIN_VERSION_MAJOR
    out.push_back(0x01);  // TZ_BIN_VERSION_MINOR
    put16(out, static_cast<uint32_t>(6 + 2 * keyName.size()));  // cbHeader
    put16(out, 0x0002);                                          // TZDEFINITION_FLAG_VALID_KEYNAME
    put16(out, static_cast<uint32_t>(keyName.size()));
    for (char16_t c : keyName) put16(out, c);
    put16(out, 1);  // cRules
    out.push_back(0x02);
    out.push_back(0x01);
    put16(out, 0x003E);                                     // cbRule
    put16(out, 0x0002 | (recurring ? 0x0001 : 0));          // EFFECTIVE_TZREG (| RECUR_CURRENT_TZREG)
    putSystemTime(out, SystemTime{});                        // in force from the start of time
    put32(out, static_cast<uint32_t>(zone.bias));
    put32(out, static_cast<uint32_t>(zone.standardBias));
    put32(out, static_cast<uint32_t>(zone.daylightBias));
    putSystemTime(out, zone.standardDate);
    putSystemTime(out, zone.daylightDate);
    return out;
}

pst::Bytes globalObjectId(const std::string& uid, const std::optional<WallTime>& instance) {
    pst::Bytes out;
    std::optional<pst::Bytes> decoded = fromHex(uid);
    if (decoded && decoded->size() >= 40 && std::equal(kGlobalIdPrefix, kGlobalIdPrefix + 16, decoded->begin())) {
        out = std::move(*decoded);
    } else {
        out.assign(kGlobalIdPrefix, kGlobalIdPrefix + 16);
        out.resize(40, 0);  // instance date, creation time, reserved, size
        const std::string marker = "vCal-Uid";
        pst::Bytes data(marker.begin(), marker.end());
        put32(data, 1);
        data.insert(data.end(), uid.begin(), uid.end());
        data.push_back(0);
        uint32_t size = static_cast<uint32_t>(data.size());
        for (int i = 0; i < 4; ++i) out[36 + i] = static_cast<uint8_t>(size >> (8 * i));
        out.insert(out.end(), data.begin(), data.end());
    }
    if (instance) {
        out[16] = static_cast<uint8_t>(instance->year >> 8);  // the year is big-endian
        out[17] = static_cast<uint8_t>(instance->year);
        out[18] = static_cast<uint8_t>(instance->month);
        out[19] = static_cast<uint8_t>(instance->day);
    }
    return out;
}

pst::Bytes cleanGlobalObjectId(pst::Bytes id) {
    for (size_t i = 16; i < 20 && i < id.size(); ++i) id[i] = 0;
    return id;
}

}  // namespace eml
