// DOS date and time values (the 16-bit pairs archives store) and the file system's
// last-write time. DOS values carry local time, as on the systems that wrote them.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tarvo::platform {

// Days since 1899-12-30 with the time of day as fraction: the date-time value of the
// archive interfaces.
using TDateTime = double;

struct TDosDateTime {
  unsigned Year, Month, Day, Hour, Minute, Second;
};

// Splits a DOS date (bits 15-9 year since 1980, 8-5 month, 4-0 day) and time (15-11 hour,
// 10-5 minute, 4-0 seconds / 2) into fields. No range check: what is stored is returned.
TDosDateTime SplitDosDateTime(std::uint16_t date, std::uint16_t time) noexcept;

// The date-time value of a DOS date and time. Out-of-range fields (month 0, day 0) are
// taken as the nearest valid value, so the result is always a usable date.
TDateTime DosDateTimeToDateTime(std::uint16_t date, std::uint16_t time) noexcept;

// The DOS value taken as local time, in seconds since the Unix epoch.
std::time_t DosDateTimeToUnixTime(std::uint16_t date, std::uint16_t time) noexcept;

// Sets the last-write (and last-access) time of a file or folder from a DOS date and time
// in local time. Never follows a symbolic link. Returns false when the system refused.
bool SetFileLastWriteTime(const std::string& path, std::uint16_t date, std::uint16_t time) noexcept;

}  // namespace tarvo::platform
