// Local time and its text in the user's regional formats.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace platform {

// The wall clock in nanoseconds since the epoch, as file times count; its
// second, and that second's local time (every stamp of the log and the
// history reads this one clock).
int64_t WallClockNs();
int64_t WallClockSeconds();
std::tm LocalNow();

// The user's short date ("%x"), then, unless the time is 00:00:00, one blank
// and the long time ("%X"); Windows-1251. Needs setlocale(LC_ALL, "") at start.
std::string FormatTimestamp(const std::tm& time);
// Seconds since the epoch of a text FormatTimestamp wrote in this locale (the
// date alone is midnight); none when it is not one.
std::optional<int64_t> ParseTimestamp(const std::string& text);

// Local time "YYYY-MM-DD HH:MM:SS" of seconds since the epoch, and back:
// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" (a T in place of the blank too).
std::string FormatLocalTime(int64_t seconds);
std::optional<int64_t> ParseLocalTime(const std::string& text);

// "YYYY-MM-DD" of seconds since the epoch in UTC, as key dates are given.
std::string FormatUtcDate(int64_t seconds);

// This machine's name (Windows-1251); empty when it cannot be read.
std::string HostName();

}  // namespace platform
