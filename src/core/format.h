// A small printf-like formatter for message templates that come from resource strings
// (and so may be translated): %s, %d, %u, %x take the next argument as already-formatted
// text; %% is a percent sign. Arguments beyond the template are ignored, missing ones
// leave the directive as it is. No argument is ever interpreted as a format.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tarvo::core {

std::string Format(std::string_view templ, std::initializer_list<std::string_view> args);

}  // namespace tarvo::core
