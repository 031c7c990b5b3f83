#include "platform/file_time.h"

#include <algorithm>
#include <chrono>

namespace tarvo::platform {

namespace {

// FILETIME counts 100 ns from 1601-01-01 (UTC); FileTimeToSystemTime takes up to 2^63 - 1.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kEpochAsFileTime = 116444736000000000;
constexpr std::uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFF;

}  // namespace

std::uint64_t EpochToFileTime(std::int64_t seconds) noexcept {
  constexpr std::int64_t kFirst = -static_cast<std::int64_t>(kEpochAsFileTime / kTicksPerSecond);
  constexpr std::int64_t kLast = static_cast<std::int64_t>((kLargestFileTime - kEpochAsFileTime) / kTicksPerSecond);
  if (seconds <= kFirst) return 0;
  if (seconds > kLast) return kLargestFileTime;
  return static_cast<std::uint64_t>(seconds - kFirst) * kTicksPerSecond;
}

std::int64_t FileTimeToEpoch(std::uint64_t ticks) noexcept {
  // Whole seconds, rounded towards the epoch.
  if (ticks >= kEpochAsFileTime) return static_cast<std::int64_t>((ticks - kEpochAsFileTime) / kTicksPerSecond);
  return -static_cast<std::int64_t>((kEpochAsFileTime - ticks) / kTicksPerSecond);
}

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

std::int64_t DosDateTimeToEpoch(std::uint16_t date, std::uint16_t time) noexcept {
  struct TLast {
    std::uint32_t Key;
    std::int64_t Value;
    bool Known = false;
  };
  thread_local TLast last;
  const std::uint32_t key = static_cast<std::uint32_t>(date) << 16 | time;
  if (last.Known && last.Key == key) return last.Value;
  TDosDateTime t = SplitDosDateTime(date, time);
  t.Month = std::clamp(t.Month, 1u, 12u);
  t.Day = std::max(t.Day, 1u);
  last = {key, LocalTimeToEpoch(t), true};
  return last.Value;
}

void EpochToDosDateTime(std::int64_t when, std::uint16_t& date, std::uint16_t& time) noexcept {
  date = time = 0;
  TDosDateTime t{};
  if (when < 0 || !EpochToLocalTime(when, t) || t.Year < 1980 || t.Year > 2107) return;
  date = static_cast<std::uint16_t>((t.Year - 1980) << 9 | t.Month << 5 | t.Day);
  time = static_cast<std::uint16_t>(t.Hour << 11 | t.Minute << 5 | t.Second / 2);
}

}  // namespace tarvo::platform
