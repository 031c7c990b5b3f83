#include "http/cookie_date.h"

#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

bool IsDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// 1..maxDigits digits at the front of s (at least minDigits), followed by the end or a
// non-digit; pos moves past them.
bool Digits(std::string_view s, std::size_t& pos, std::size_t minDigits, std::size_t maxDigits, unsigned& value) {
  std::size_t start = pos;
  value = 0;
  while (pos < s.size() && IsDigit(s[pos]) && pos - start < maxDigits) value = value * 10 + unsigned(s[pos++] - '0');
  return pos - start >= minDigits && (pos == s.size() || !IsDigit(s[pos]));
}

bool ParseTime(std::string_view tok, unsigned& h, unsigned& m, unsigned& s) {
  std::size_t pos = 0;
  if (!Digits(tok, pos, 1, 2, h) || pos == tok.size() || tok[pos++] != ':') return false;
  if (!Digits(tok, pos, 1, 2, m) || pos == tok.size() || tok[pos++] != ':') return false;
  return Digits(tok, pos, 1, 2, s);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned DaysIn(unsigned y, unsigned m) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

bool ParseCookieDate(std::string_view text, TNetDateTime& value) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  unsigned hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    std::size_t start = i;
    while (i < text.size() && !IsDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    std::string_view tok = text.substr(start, i - start);
    if (tok.empty()) continue;
    std::size_t pos = 0;
    unsigned v;
    if (!haveTime && ParseTime(tok, hour, minute, second)) {
      haveTime = true;
    } else if (!haveDay && Digits(tok, pos = 0, 1, 2, v)) {
      day = v, haveDay = true;
    } else if (!haveMonth && tok.size() >= 3 && MonthFromName(tok.substr(0, 3), month)) {
      haveMonth = true;
    } else if (!haveMonth && haveDay && Digits(tok, pos = 0, 1, 2, v) && v >= 1 && v <= 12) {
      month = v, haveMonth = true;
    } else if (!haveYear && Digits(tok, pos = 0, 2, 4, v)) {
      year = v, haveYear = true;
    }
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return false;
  if (year <= 69)
    year += 2000;
  else if (year <= 99)
    year += 1900;
  if (year < 1601 || hour > 23 || minute > 59 || second > 59 || day < 1 || day > DaysIn(year, month)) return false;
  value = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

}  // namespace tarvo::http
