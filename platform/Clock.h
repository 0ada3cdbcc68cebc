// Local time and its text in the user's regional formats.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace platform {

std::tm LocalNow();
// The wall clock in nanoseconds since the epoch, as file times count.
int64_t WallClockNs();

// The user's short date ("%x"), then, unless the time is 00:00:00, one blank
// and the long time ("%X"); Windows-1251. Needs setlocale(LC_ALL, "") at start.
std::string FormatTimestamp(const std::tm& time);

}  // namespace platform
