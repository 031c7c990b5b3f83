#include "http/internet_date.h"

#include <charconv>
#include <ctime>
#include <vector>

#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};  // day 0 = Thursday
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

std::string Two(unsigned v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

bool ParseUnsigned(std::string_view s, unsigned& v) {
  if (s.empty() || s.size() > 9) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseTime(std::string_view s, unsigned& h, unsigned& mi, unsigned& se) {
  std::size_t a = s.find(':');
  if (a == std::string_view::npos) return false;
  std::size_t b = s.find(':', a + 1);
  if (b == std::string_view::npos) return false;
  return ParseUnsigned(s.substr(0, a), h) && ParseUnsigned(s.substr(a + 1, b - a - 1), mi) &&
         ParseUnsigned(s.substr(b + 1), se) && h < 24 && mi < 60 && se < 61;
}

std::vector<std::string_view> Tokens(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == ',' || s[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != ',' && s[i] != '\t') ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static constexpr unsigned kLen[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kLen[m - 1];
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool MonthFromName(std::string_view name, unsigned& month) {
  if (name.size() < 3) return false;
  for (unsigned i = 0; i < 12; ++i)
    if (SameText(name.substr(0, 3), kMonths[i])) {
      month = i + 1;
      return true;
    }
  return false;
}

TNetDateTime NetNow() { return static_cast<TNetDateTime>(std::time(nullptr)); }

std::string DateTimeToInternetStr(TNetDateTime value) {
  std::int64_t days = value >= 0 ? value / 86400 : -((-value + 86399) / 86400);
  std::int64_t secs = value - days * 86400;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  std::int64_t wd = ((days % 7) + 7) % 7;
  return std::string(kDays[wd]) + ", " + Two(d) + " " + kMonths[m - 1] + " " + std::to_string(y) + " " +
         Two(static_cast<unsigned>(secs / 3600)) + ":" + Two(static_cast<unsigned>(secs / 60 % 60)) + ":" +
         Two(static_cast<unsigned>(secs % 60)) + " GMT";
}

bool InternetStrToDateTime(std::string_view text, TNetDateTime& value) {
  std::vector<std::string_view> t = Tokens(text);
  unsigned day = 0, month = 0, h = 0, mi = 0, se = 0, year = 0;
  bool haveTime = false, haveDay = false, haveYear = false, haveMonth = false;
  std::int64_t zoneOffset = 0;
  for (std::string_view tok : t) {
    if (!haveTime && tok.find(':') != std::string_view::npos) {
      if (!ParseTime(tok, h, mi, se)) return false;
      haveTime = true;
    } else if (tok.find('-') != std::string_view::npos && tok.size() >= 7 && !haveDay) {
      // RFC 850 date "06-Nov-94"
      std::size_t a = tok.find('-'), b = tok.find('-', a + 1);
      if (b == std::string_view::npos) return false;
      if (!ParseUnsigned(tok.substr(0, a), day) || !MonthFromName(tok.substr(a + 1, b - a - 1), month) ||
          !ParseUnsigned(tok.substr(b + 1), year))
        return false;
      haveDay = haveMonth = haveYear = true;
    } else if (!haveMonth && MonthFromName(tok, month) && tok.size() <= 9) {
      haveMonth = true;
    } else if (tok.front() >= '0' && tok.front() <= '9') {
      unsigned v;
      if (!ParseUnsigned(tok, v)) return false;
      if (!haveDay && tok.size() <= 2)
        day = v, haveDay = true;
      else if (!haveYear)
        year = v, haveYear = true;
      else
        return false;
    } else if ((tok.front() == '+' || tok.front() == '-') && tok.size() == 5) {
      unsigned hhmm;
      if (!ParseUnsigned(tok.substr(1), hhmm)) return false;
      std::int64_t off = (hhmm / 100) * 3600 + (hhmm % 100) * 60;
      zoneOffset = tok.front() == '+' ? off : -off;
    }
    // Day names and zone names (GMT, UTC) carry nothing the date needs.
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return false;
  if (year < 100) year += year < 70 ? 2000 : 1900;
  if (year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  value = DaysFromCivil(year, month, day) * 86400 + h * 3600 + mi * 60 + se - zoneOffset;
  return true;
}

}  // namespace tarvo::http
