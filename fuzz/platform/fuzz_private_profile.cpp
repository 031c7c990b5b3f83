// Settings files from anywhere (an archive may bring one): after a write the key reads
// back with the new value, and a second write of the same value changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/private_profile.h"

using namespace tarvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  for (std::string_view key : {std::string_view("TAAL"), std::string_view("DATA_DIRECTORY")}) {
    std::string once = SetProfileString(content, "SETUP", key, "C:\\TARVO\\DATA\\");
    if (GetProfileString(once, "SETUP", key) != "C:\\TARVO\\DATA\\") std::abort();
    if (SetProfileString(once, "SETUP", key, "C:\\TARVO\\DATA\\") != once) std::abort();
  }
  return 0;
}
