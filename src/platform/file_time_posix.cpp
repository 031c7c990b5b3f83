#include <ctime>

#include "platform/file_time.h"

namespace tarvo::platform {

std::int64_t LocalTimeToEpoch(const TDosDateTime& t) noexcept {
  std::tm tm{};
  tm.tm_year = static_cast<int>(t.Year) - 1900;
  tm.tm_mon = static_cast<int>(t.Month) - 1;
  tm.tm_mday = static_cast<int>(t.Day);
  tm.tm_hour = static_cast<int>(t.Hour);
  tm.tm_min = static_cast<int>(t.Minute);
  tm.tm_sec = static_cast<int>(t.Second);
  // The fields read as UTC, then moved by the local offset in force at that moment; a
  // second look settles times close to a daylight-saving change. Unlike mktime this does
  // not consult the time zone files again for every call.
  std::time_t asUtc = ::timegm(&tm);
  if (asUtc == static_cast<std::time_t>(-1)) return -1;
  std::tm local{};
  if (!::localtime_r(&asUtc, &local)) return -1;
  std::time_t guess = asUtc - local.tm_gmtoff;
  std::tm again{};
  if (!::localtime_r(&guess, &again)) return -1;
  if (again.tm_gmtoff != local.tm_gmtoff) guess = asUtc - again.tm_gmtoff;
  return guess;
}

bool EpochToLocalTime(std::int64_t when, TDosDateTime& t) noexcept {
  std::time_t s = static_cast<std::time_t>(when);
  std::tm local{};
  if (!::localtime_r(&s, &local)) return false;
  t = {static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
       static_cast<unsigned>(local.tm_mday),        static_cast<unsigned>(local.tm_hour),
       static_cast<unsigned>(local.tm_min),         static_cast<unsigned>(local.tm_sec)};
  return true;
}

}  // namespace tarvo::platform
