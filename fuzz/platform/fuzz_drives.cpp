// The mount table and the drive override as hostile text: no crash, letters C..Z only,
// each letter once, every root absolute.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "platform/fixed_drives.h"

using namespace tarvo::platform;

namespace {
void Check(const std::vector<TDriveInfo>& drives, char first) {
  std::set<char> letters;
  for (const TDriveInfo& d : drives) {
    if (d.Letter < first || d.Letter > 'Z' || !letters.insert(d.Letter).second) std::abort();
    if (d.Root.empty() || d.Root.front() != '/') std::abort();
  }
}
bool Odd(unsigned major, unsigned minor) { return ((major ^ minor) & 1) != 0; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Check(ParseMountInfo(text, Odd), 'C');
  Check(ParseDriveOverride(text), 'A');
  const std::vector<TDriveInfo> drives = ParseDriveOverride(text);
  (void)DriveOfPath(drives, std::string(text.substr(0, 64)));
  return 0;
}
