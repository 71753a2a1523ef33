#include "conversion/time_stamp.h"

#include <cstdio>

#include "conversion/text.h"

namespace conversion {

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::u16string formatStamp(const std::tm& t) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%02d %d.%d.%02d", t.tm_mday, t.tm_mon + 1, (t.tm_year + 1900) % 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return fromUtf8(buffer);
}

std::u16string composePstPath(const std::u16string& saveFolder, const std::u16string& stamp) {
    return saveFolder + u"WindowsLiveMailMessages" + stamp + u".pst";
}

std::u16string composeStoreDisplayName(const std::u16string& stamp) {
    return u"Windows Live Mail Messages" + std::u16string(u" : Created - ") + stamp;
}

}  // namespace conversion
