#include "unzip/extract_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/exception.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitStoredName(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (c == '/' || c == '\\')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

bool IsDotName(const std::string& s) { return s.empty() || s == "." || s == ".."; }

bool IsDrive(const std::string& s) {
  return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

std::string JoinBase(const std::string& base, const std::string& relative) {
  if (base.empty()) return relative;
  if (base.back() == '/') return base + relative;
  return base + "/" + relative;
}

bool Contained(const std::string& base, const std::string& path) {
  fs::path b = fs::path(base.empty() ? "." : base).lexically_normal();
  fs::path p = fs::path(base.empty() ? "./" + path : path).lexically_normal();
  fs::path rel = p.lexically_relative(b);
  if (rel.empty()) return false;
  auto first = rel.begin();
  return first != rel.end() && *first != ".." && *first != "." && !rel.is_absolute();
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
  std::vector<std::string> parts = SplitStoredName(storedName);
  if (isDirectory && parts.size() > 1 && parts.back().empty()) parts.pop_back();
  // The file name alone of "C:x" is "x": the drive is a delimiter like the separators.
  if (!restorePath && IsDrive(parts.back())) parts.back().erase(0, 2);
  if (IsDotName(parts.back())) throw EVmUnsafePath();

  std::string relative;
  if (!restorePath) {
    relative = parts.back();
  } else {
    if (parts.front().empty()) throw EVmUnsafePath();  // leading separator, UNC
    if (IsDrive(parts.front())) throw EVmUnsafePath();
    for (const std::string& part : parts) {
      if (part == "..") throw EVmUnsafePath();
      if (part.empty() || part == ".") continue;  // "a//b" and "a/./b" stay below the base
      if (!relative.empty()) relative += '/';
      relative += part;
    }
  }
  std::string path = JoinBase(baseDirectory, relative);
  if (!Contained(baseDirectory, path)) throw EVmUnsafePath();
  return path;
}

std::string ClassifyPath(const std::string& baseDirectory, const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  return JoinBase(baseDirectory, path);
}

std::string ExtractFileDir(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ExtractFileName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
