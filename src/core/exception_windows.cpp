#include <cstring>

#include "core/exception.h"

namespace tarvo::core {

std::string SystemErrorText(int errorNumber) {
  char buf[256];
  if (strerror_s(buf, sizeof buf, errorNumber) != 0) return std::string();
  return buf;
}

}  // namespace tarvo::core
