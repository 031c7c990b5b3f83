// DOS date and time: taken apart, to and from local epoch seconds (in a fixed zone with
// daylight saving, so the offset matters), and values no DOS stamp can hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/file_time.h"

using namespace tarvo::platform;

namespace {

constexpr std::uint16_t Date(unsigned y, unsigned m, unsigned d) { return static_cast<std::uint16_t>((y - 1980) << 9 | m << 5 | d); }
constexpr std::uint16_t Time(unsigned h, unsigned m, unsigned s) { return static_cast<std::uint16_t>(h << 11 | m << 5 | s / 2); }

class DosTime : public ::testing::Test {
protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    FSaved = tz != nullptr ? tz : "";
    FHadTZ = tz != nullptr;
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
  }
  void TearDown() override {
    if (FHadTZ)
      ::setenv("TZ", FSaved.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  std::string FSaved;
  bool FHadTZ = false;
};

TEST_F(DosTime, ToEpochAndBack) {
  struct TCase {
    std::uint16_t Date, Time;
    std::int64_t Epoch;
  };
  const TCase cases[] = {
      {Date(1980, 1, 1), Time(0, 0, 0), 315529200},      // the first DOS day, winter time
      {Date(2024, 7, 1), Time(12, 30, 58), 1719829858},  // summer time: UTC+2
      {Date(2024, 1, 1), Time(12, 30, 58), 1704108658},  // winter time: UTC+1
      {Date(2107, 12, 31), Time(23, 59, 58), 4354815598},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DosDateTimeToEpoch(c.Date, c.Time), c.Epoch) << c.Date << " " << c.Time;
    std::uint16_t date = 1, time = 1;
    EpochToDosDateTime(c.Epoch, date, time);
    EXPECT_EQ(date, c.Date);
    EXPECT_EQ(time, c.Time);
  }
}

TEST_F(DosTime, OutOfRange) {
  // Month 0 and day 0 count as 1; epochs a DOS stamp cannot hold give 0/0.
  EXPECT_EQ(DosDateTimeToEpoch(Date(2024, 0, 0), 0), DosDateTimeToEpoch(Date(2024, 1, 1), 0));
  for (std::int64_t when : {std::int64_t{-1}, std::int64_t{315529199}, std::int64_t{4354815600}}) {
    std::uint16_t date = 1, time = 1;
    EpochToDosDateTime(when, date, time);
    EXPECT_EQ(date, 0u) << when;
    EXPECT_EQ(time, 0u) << when;
  }
}

}  // namespace
