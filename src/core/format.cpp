#include "core/format.h"

#include <vector>

namespace tarvo::core {

std::string Format(std::string_view templ, std::initializer_list<std::string_view> args) {
  std::vector<std::string_view> list(args);
  std::string out;
  out.reserve(templ.size() + 32);
  std::size_t next = 0;
  for (std::size_t i = 0; i < templ.size(); ++i) {
    char c = templ[i];
    if (c != '%' || i + 1 == templ.size()) {
      out += c;
      continue;
    }
    char d = templ[i + 1];
    if (d == '%') {
      out += '%';
      ++i;
    } else if ((d == 's' || d == 'd' || d == 'u' || d == 'x') && next < list.size()) {
      out += list[next++];
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tarvo::core
