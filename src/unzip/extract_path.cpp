#include "unzip/extract_path.h"

#include <array>
#include <string_view>

#include "core/text_case.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

constexpr char kDelimiter = platform::kPathDelimiter;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A delimiter of this system's paths (Windows takes "/" as well as "\\").
bool IsDelimiter(char c) { return c == kDelimiter || (kDelimiter == '\\' && c == '/'); }

bool IsDotName(std::string_view s) { return s.empty() || s == "." || s == ".."; }

bool IsDrive(std::string_view s) {
  return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

// A relative path whose every component is a real name: joined below any folder, it stays
// there. The second look at what was built, independent of how it was built.
bool IsContainedRelative(std::string_view relative) {
  if (relative.empty() || IsDelimiter(relative.front())) return false;
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = relative.find(kDelimiter, start);
    if (end == std::string_view::npos) end = relative.size();
    if (IsDotName(relative.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::string JoinBase(const std::string& base, std::string_view relative) {
  if (base.empty()) return std::string(relative);
  std::string path;
  path.reserve(base.size() + 1 + relative.size());
  path += base;
  if (!IsDelimiter(base.back())) path += kDelimiter;
  path += relative;
  return path;
}

}  // namespace

bool DirectoryExists(const std::string& path) { return platform::DirectoryExists(path); }

bool IsPlainWindowsName(std::string_view component) noexcept {
  if (component.empty()) return false;
  for (char c : component) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|': case '?': case '*': case '/': case '\\':
        return false;
      default:
        break;
    }
  }
  if (component.back() == '.' || component.back() == ' ') return false;
  // The device names hold for the part before the first dot, trailing blanks dropped.
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices)
    if (core::SameText(stem, device)) return false;
  if (stem.size() >= 4 && (core::SameText(stem.substr(0, 3), "COM") || core::SameText(stem.substr(0, 3), "LPT"))) {
    const std::string_view digit = stem.substr(3);
    if (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') return false;
    // Windows counts the superscript digits 1, 2 and 3 (U+00B9, U+00B2, U+00B3) as well.
    if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return false;
  }
  return true;
}

std::string BuildEntryPath(const std::string& baseDirectory, const std::string& storedName, bool isDirectory,
                           bool restorePath) {
  if (storedName.find('\0') != std::string::npos) throw EVmUnsafePath();
  std::string_view name = storedName;
  // A folder item's trailing delimiter closes the name; it does not add an empty one.
  if (isDirectory && !name.empty() && IsSeparator(name.back())) name.remove_suffix(1);
  std::size_t lastStart = name.find_last_of("/\\");
  lastStart = lastStart == std::string_view::npos ? 0 : lastStart + 1;
  std::string_view last = name.substr(lastStart);
  // The file name alone of "C:x" is "x": the drive is a delimiter like the separators.
  if (!restorePath && IsDrive(last)) last.remove_prefix(2);
  if (IsDotName(last)) throw EVmUnsafePath();

  if (!restorePath) {
    if (!IsContainedRelative(last)) throw EVmUnsafePath();
    CheckNativeComponent(last);
    return JoinBase(baseDirectory, last);
  }

  std::string relative;
  relative.reserve(name.size());
  for (std::size_t start = 0; start <= name.size();) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::string_view part = name.substr(start, end - start);
    if (start == 0 && (part.empty() || IsDrive(part))) throw EVmUnsafePath();  // absolute, UNC, drive
    if (part == "..") throw EVmUnsafePath();
    if (!part.empty() && part != ".") {  // "a//b" and "a/./b" stay below the base
      CheckNativeComponent(part);
      if (!relative.empty()) relative += kDelimiter;
      relative += part;
    }
    start = end + 1;
  }
  if (!IsContainedRelative(relative)) throw EVmUnsafePath();
  return JoinBase(baseDirectory, relative);
}

}  // namespace tarvo::unzip
