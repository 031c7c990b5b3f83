#include "unzip/extract_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <string_view>

#include "core/exception.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsDotName(std::string_view s) { return s.empty() || s == "." || s == ".."; }

bool IsDrive(std::string_view s) {
  return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

// A relative path whose every component is a real name: joined below any folder, it stays
// there. The second look at what was built, independent of how it was built.
bool IsContainedRelative(std::string_view relative) {
  if (relative.empty() || relative.front() == '/') return false;
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = relative.find('/', start);
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
  if (base.back() != '/') path += '/';
  path += relative;
  return path;
}

}  // namespace

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string NormalizeBaseDirectory(const std::string& directory) {
  std::string result = directory;
  if (result.size() > 1 && result.back() == '/') result.pop_back();
  if (!result.empty() && !DirectoryExists(result)) throw EVmNoSuchDirectory();
  return result;
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
      if (!relative.empty()) relative += '/';
      relative += part;
    }
    start = end + 1;
  }
  if (!IsContainedRelative(relative)) throw EVmUnsafePath();
  return JoinBase(baseDirectory, relative);
}

std::string ClassifyPath(const std::string& baseDirectory, const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  return JoinBase(baseDirectory, path);
}

std::string_view ExtractFileDir(std::string_view path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

std::string_view ExtractFileName(std::string_view path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void CreateFolderPath(const std::string& folder) {
  if (folder.empty() || DirectoryExists(folder)) return;
  std::size_t pos = folder.front() == '/' ? 1 : 0;
  for (;;) {
    std::size_t slash = folder.find('/', pos);
    std::string prefix = slash == std::string::npos ? folder : folder.substr(0, slash);
    if (!prefix.empty() && !DirectoryExists(prefix)) {
      if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) throw core::EInOutError(errno);
      if (!DirectoryExists(prefix)) throw core::EInOutError(ENOTDIR);
    }
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
}

}  // namespace tarvo::unzip
