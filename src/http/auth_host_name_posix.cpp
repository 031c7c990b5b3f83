#include <unistd.h>

#include "http/auth_host_name.h"

namespace tarvo::http {

std::string NTLMWorkstationName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string host(name);
  return host.substr(0, host.find('.'));
}

}  // namespace tarvo::http
