// The list's text as a hostile server sends it: parsed or refused with EInstallError, never
// a crash; whatever parses answers its own names with digests that print as they were read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "setup/installer.h"
#include "setup/signed_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const tarvo::setup::TSignedList list(text);
    // Every non-blank line became one entry: a line is at least 67 bytes.
    if (list.Count() > size / 67) std::abort();
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(at, end - at);
      at = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty()) continue;
      const tarvo::platform::TSha256Digest* digest = list.Find(line.substr(66));
      if (digest == nullptr || tarvo::platform::HexDigest(*digest) != line.substr(0, 64)) std::abort();
    }
  } catch (const tarvo::setup::EInstallError&) {
  }
  return 0;
}
