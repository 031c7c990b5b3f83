#include <cstring>

#include "core/exception.h"

namespace tarvo::core {

std::string SystemErrorText(int errorNumber) {
  char buf[256];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(errorNumber, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

}  // namespace tarvo::core
