// The cookie-date algorithm of RFC 6265 section 5.1.1, which reads the many forms servers
// put in "Expires":
//
//   cookie-date     = *delimiter date-token-list *delimiter
//   delimiter       = %x09 / %x20-2F / %x3B-40 / %x5B-60 / %x7B-7E
//   time            = hms-time ( non-digit *OCTET )       hms-time = 1*2DIGIT ":" 1*2DIGIT ":" 1*2DIGIT
//   day-of-month    = 1*2DIGIT ( non-digit *OCTET )
//   month           = ( "jan" / ... / "dec" ) *OCTET
//   year            = 2*4DIGIT ( non-digit *OCTET )
//
// Each token is tried, while that part is still missing, as time, day, month and year, in
// that order. Once the day is known a number 1 to 12 also counts as a month. Two-digit
// years 70-99 are 1970-1999 and 0-69 are 2000-2069.
#pragma once

#include <string_view>

#include "http/internet_date.h"

namespace tarvo::http {

// False when a part is missing, out of range (hour > 23, minute or second > 59, a day the
// month does not have, a year before 1601). The result is UTC.
bool ParseCookieDate(std::string_view text, TNetDateTime& value);

}  // namespace tarvo::http
