#include "platform/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace tarvo::platform {

TDosDateTime SplitDosDateTime(std::uint16_t date, std::uint16_t time) noexcept {
  return TDosDateTime{1980u + (date >> 9),        (date >> 5) & 0x0Fu,        date & 0x1Fu,
                      static_cast<unsigned>(time >> 11), (time >> 5) & 0x3Fu, (time & 0x1Fu) * 2};
}

TDateTime DosDateTimeToDateTime(std::uint16_t date, std::uint16_t time) noexcept {
  TDosDateTime t = SplitDosDateTime(date, time);
  using namespace std::chrono;
  unsigned month = std::clamp(t.Month, 1u, 12u);
  unsigned day = std::max(t.Day, 1u);
  year_month_day ymd{year{static_cast<int>(t.Year)}, std::chrono::month{month}, std::chrono::day{1}};
  sys_days days = sys_days{ymd} + std::chrono::days{day - 1};
  constexpr sys_days kBase = sys_days{year{1899} / December / 30};
  double whole = static_cast<double>((days - kBase).count());
  double fraction = (std::min(t.Hour, 23u) * 3600.0 + std::min(t.Minute, 59u) * 60.0 + std::min(t.Second, 59u)) / 86400.0;
  return whole + fraction;
}

std::time_t DosDateTimeToUnixTime(std::uint16_t date, std::uint16_t time) noexcept {
  TDosDateTime t = SplitDosDateTime(date, time);
  std::tm tm{};
  tm.tm_year = static_cast<int>(t.Year) - 1900;
  tm.tm_mon = static_cast<int>(std::clamp(t.Month, 1u, 12u)) - 1;
  tm.tm_mday = static_cast<int>(std::max(t.Day, 1u));
  tm.tm_hour = static_cast<int>(t.Hour);
  tm.tm_min = static_cast<int>(t.Minute);
  tm.tm_sec = static_cast<int>(t.Second);
  tm.tm_isdst = -1;  // local time, whatever daylight saving said on that day
  return std::mktime(&tm);
}

bool SetFileLastWriteTime(const std::string& path, std::uint16_t date, std::uint16_t time) noexcept {
  std::time_t when = DosDateTimeToUnixTime(date, time);
  if (when == static_cast<std::time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = when;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace tarvo::platform
