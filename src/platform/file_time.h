// DOS date and time values (the 16-bit pairs archives store), the one place they are taken
// apart, put together and turned into other times. DOS values carry local time, as on the
// systems that wrote them.
#pragma once

#include <cstdint>

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

// The DOS date and time taken as local time, in seconds since the epoch (-1 when it cannot
// be represented); month 0 and day 0 count as 1. The entries of an archive mostly share a
// handful of stamps, so the last answer is kept (per thread).
std::int64_t DosDateTimeToEpoch(std::uint16_t date, std::uint16_t time) noexcept;

// The DOS date and time (local time) of seconds since the epoch; both 0 for a time before
// 1980, after 2107 or negative.
void EpochToDosDateTime(std::int64_t when, std::uint16_t& date, std::uint16_t& time) noexcept;

// Seconds since the epoch as a Windows FILETIME count (100 ns units since 1601-01-01 UTC)
// and back. A time before 1601 gives 0 and one past what the count can hold (the year
// 30828) its largest value, so that any 64-bit time an archive states converts.
std::uint64_t EpochToFileTime(std::int64_t seconds) noexcept;
std::int64_t FileTimeToEpoch(std::uint64_t ticks) noexcept;

// The system's half: local calendar fields to seconds since the epoch (-1 when not
// representable) and back (false when not representable). Fields are in range.
std::int64_t LocalTimeToEpoch(const TDosDateTime& t) noexcept;
bool EpochToLocalTime(std::int64_t when, TDosDateTime& t) noexcept;

}  // namespace tarvo::platform
