#include <windows.h>

#include "platform/file_time.h"

namespace tarvo::platform {

std::int64_t LocalTimeToEpoch(const TDosDateTime& t) noexcept {
  SYSTEMTIME local{}, utc{};
  local.wYear = static_cast<WORD>(t.Year);
  local.wMonth = static_cast<WORD>(t.Month);
  local.wDay = static_cast<WORD>(t.Day);
  local.wHour = static_cast<WORD>(t.Hour);
  local.wMinute = static_cast<WORD>(t.Minute);
  local.wSecond = static_cast<WORD>(t.Second);
  // The zone's rules for that year, daylight saving included.
  FILETIME ft{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &ft)) return -1;
  return FileTimeToEpoch(static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

bool EpochToLocalTime(std::int64_t when, TDosDateTime& t) noexcept {
  const std::uint64_t ticks = EpochToFileTime(when);
  FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{}, local{};
  if (!::FileTimeToSystemTime(&ft, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
  t = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  return true;
}

}  // namespace tarvo::platform
