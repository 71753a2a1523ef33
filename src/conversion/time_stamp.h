#pragma once
// The creation time stamp of a new store: "d.m.YY H.m.ss" in local time.

#include <ctime>
#include <functional>
#include <string>

namespace conversion {

using Clock = std::function<std::tm()>;

std::tm localNow();
// 5 December 2026 21:07:05 gives "5.12.26 21.7.05".
std::u16string formatStamp(const std::tm& time);

std::u16string composePstPath(const std::u16string& saveFolder, const std::u16string& stamp);
std::u16string composeStoreDisplayName(const std::u16string& stamp);

}  // namespace conversion
