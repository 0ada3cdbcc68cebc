#include "platform/Clock.h"

#include <langinfo.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/Cp1251.h"

namespace platform {

std::tm LocalNow() {
  // Not time(): it reads the kernel's coarse clock, which may still show the
  // last second for a few milliseconds after WallClockNs shows the next, and
  // a log line stamped then would precede the history's time of its file.
  const std::time_t now = static_cast<std::time_t>(WallClockSeconds());
  // A pass asks for the time of every line it logs; localtime_r reads the
  // zone only once per process anyway, so one conversion a second is as good.
  thread_local std::time_t lastAsked = -1;
  thread_local std::tm local{};
  if (now == lastAsked) return local;
  if (::localtime_r(&now, &local)) lastAsked = now;
  return local;
}

int64_t WallClockNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t WallClockSeconds() {
  return WallClockNs() / 1000000000;
}

namespace {

// The text strftime makes of a time in the locale that was current. A pass
// stamps many lines within one second; strftime costs each several thousand
// instructions, more than the rest of the line's making.
struct TStampMemo {
  bool made = false;
  std::tm at{};
  std::string timeLocale, codeset, text;
};

bool SameStamp(const TStampMemo& memo, const std::tm& time, const char* timeLocale,
               const char* codeset) {
  const std::tm& a = memo.at;
  return memo.made && a.tm_sec == time.tm_sec && a.tm_min == time.tm_min &&
         a.tm_hour == time.tm_hour && a.tm_mday == time.tm_mday && a.tm_mon == time.tm_mon &&
         a.tm_year == time.tm_year && memo.timeLocale == timeLocale && memo.codeset == codeset;
}

std::string MakeTimestamp(const std::tm& time) {
  char buf[128];
  std::string text;
  if (std::strftime(buf, sizeof buf, "%x", &time) > 0) text = buf;
  if (time.tm_hour != 0 || time.tm_min != 0 || time.tm_sec != 0) {
    if (std::strftime(buf, sizeof buf, "%X", &time) > 0) {
      text += ' ';
      text += buf;
    }
  }
  const char* codeset = nl_langinfo(CODESET);
  if (codeset && std::strcmp(codeset, "UTF-8") == 0) return Utf8ToCp1251Lossy(text);
  return text;
}

}  // namespace

std::string FormatTimestamp(const std::tm& time) {
  thread_local TStampMemo memo;
  const char* timeLocale = std::setlocale(LC_TIME, nullptr);
  const char* codeset = nl_langinfo(CODESET);
  if (!timeLocale) timeLocale = "";
  if (!codeset) codeset = "";
  if (SameStamp(memo, time, timeLocale, codeset)) return memo.text;
  memo.text = MakeTimestamp(time);
  memo.made = true;
  memo.at = time;
  memo.timeLocale = timeLocale;
  memo.codeset = codeset;
  return memo.text;
}

std::optional<int64_t> ParseTimestamp(const std::string& text) {
  const char* codeset = nl_langinfo(CODESET);
  const std::string local =
      codeset && std::strcmp(codeset, "UTF-8") == 0 ? Cp1251ToUtf8(text) : text;
  for (const char* format : {"%x %X", "%x"}) {
    std::tm time{};
    const char* end = ::strptime(local.c_str(), format, &time);
    if (!end || *end) continue;
    time.tm_isdst = -1;
    const std::time_t t = std::mktime(&time);
    if (t != static_cast<std::time_t>(-1)) return static_cast<int64_t>(t);
  }
  return std::nullopt;
}


namespace {

std::string FormatTime(int64_t seconds, bool utc, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm time{};
  if (utc)
    gmtime_r(&t, &time);
  else
    localtime_r(&t, &time);
  char buf[32];
  std::strftime(buf, sizeof buf, format, &time);
  return buf;
}

}  // namespace

std::string FormatLocalTime(int64_t seconds) {
  return FormatTime(seconds, false, "%Y-%m-%d %H:%M:%S");
}

std::string FormatUtcDate(int64_t seconds) {
  return FormatTime(seconds, true, "%Y-%m-%d");
}

std::optional<int64_t> ParseLocalTime(const std::string& text) {
  std::tm local{};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char sep = ' ';
  int used = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &year, &month, &day,
                            &used, &sep, &hour, &minute, &used, &second, &used);
  if (n < 3 || static_cast<size_t>(used) != text.size() || (n > 3 && sep != ' ' && sep != 'T'))
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(t);
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return Utf8ToCp1251Lossy(name);
}

}  // namespace platform
