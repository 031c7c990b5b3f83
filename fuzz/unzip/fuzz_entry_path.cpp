// Stored names turned into output paths: whatever the bytes, a path that is returned stays
// below the base directory (no empty, "." or ".." component, no absolute name), and every
// component the Windows name rule accepts is a plain Windows name. The rule itself must
// never read past the name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "unzip/extract_path.h"
#include "unzip/vm_exception.h"

using namespace tarvo::unzip;

namespace {

bool IsPlainByHand(std::string_view part) {
  for (char c : part)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*/\\").find(c) != std::string_view::npos)
      return false;
  return !part.empty() && part.back() != '.' && part.back() != ' ';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool restorePath = data[0] & 1, isDirectory = data[0] & 2;
  const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);

  // The rule never calls a name plain that holds what Windows reads specially.
  if (IsPlainWindowsName(name) && !IsPlainByHand(name)) std::abort();

  const std::string base = "base";
  std::string path;
  try {
    path = BuildEntryPath(base, name, isDirectory, restorePath);
  } catch (const EVmUnsafePath&) {
    return 0;
  }
  if (path.compare(0, base.size() + 1, base + "/") != 0) std::abort();
  const std::string_view relative = std::string_view(path).substr(base.size() + 1);
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view part = relative.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string_view::npos) std::abort();
    start = end + 1;
  }
  if (!restorePath && relative.find('/') != std::string_view::npos) std::abort();
  return 0;
}
