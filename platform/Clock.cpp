#include "platform/Clock.h"

#include <langinfo.h>

#include <cstring>

#include "platform/Cp1251.h"

namespace platform {

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return local;
}

int64_t WallClockNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::string FormatTimestamp(const std::tm& time) {
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

}  // namespace platform
