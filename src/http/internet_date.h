// Dates of HTTP headers. A date is kept as whole seconds since 1970-01-01 00:00:00 UTC;
// 0 means "absent", as the header infos use it. Output is the RFC 1123 form
// ("Sun, 06 Nov 1994 08:49:37 GMT"); input accepts that form, the RFC 850 form and the C
// asctime form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::http {

using TNetDateTime = std::int64_t;

TNetDateTime NetNow();
std::string DateTimeToInternetStr(TNetDateTime value);
// False when the text is none of the accepted forms or names an impossible date.
bool InternetStrToDateTime(std::string_view text, TNetDateTime& value);

// Calendar helpers shared with other date parsers.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
bool MonthFromName(std::string_view name, unsigned& month);  // "Jan".."Dec", any case

}  // namespace tarvo::http
