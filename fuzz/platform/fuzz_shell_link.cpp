// Shell-link files from anywhere: parsing never reads outside the input, and whatever
// parses writes back into a file that parses to the same properties.
#include <cstdint>
#include <cstdlib>

#include "platform/shell_link.h"

using tarvo::platform::TShellLink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TShellLink link;
  if (!link.Parse(data, size)) return 0;
  std::vector<std::uint8_t> again;
  try {
    again = link.Serialize();
  } catch (...) {
    return 0;  // a text longer than the format holds (from a non-Unicode file)
  }
  TShellLink back;
  if (!back.Parse(again.data(), again.size())) std::abort();
  if (back.Description() != link.Description() || back.Arguments() != link.Arguments() ||
      back.WorkingDirectory() != link.WorkingDirectory() || back.HotKey() != link.HotKey() ||
      back.WindowState() != link.WindowState())
    std::abort();
  return 0;
}
