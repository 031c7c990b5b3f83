#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <thread>

#include "platform/processors.h"

namespace tarvo::platform {

// Linux tells the threads running now in /proc/loadavg:
// "0.52 0.58 0.59 3/250 12345" (three load averages, running/existing threads, last pid).
unsigned IdleProcessors() noexcept {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  if (!file) return processors;
  char text[128];
  const std::size_t n = std::fread(text, 1, sizeof text, file);
  std::fclose(file);
  const std::string_view line(text, n);
  const std::size_t slash = line.find('/');
  const std::size_t space = line.rfind(' ', slash);
  unsigned running = 0;
  if (slash == std::string_view::npos || space == std::string_view::npos ||
      std::from_chars(text + space + 1, text + slash, running).ec != std::errc() || running == 0)
    return processors;
  const unsigned others = running - 1;  // this thread is one of them
  return others >= processors ? 1 : processors - others;
}

}  // namespace tarvo::platform
