#include <cerrno>

#include "core/exception.h"
#include "platform/file_system.h"
#include "unzip/extract_path.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

void CheckNativeComponent(std::string_view component) {
  if (!IsPlainWindowsName(component)) throw EVmUnsafePath();
}

std::string NormalizeBaseDirectory(const std::string& directory) {
  std::string result = directory;
  // "C:\data\" is "C:\data"; "C:\" stays.
  if (result.size() > 1 && IsSeparator(result.back()) && result[result.size() - 2] != ':') result.pop_back();
  if (!result.empty() && !DirectoryExists(result)) throw EVmNoSuchDirectory();
  return result;
}

std::string ClassifyPath(const std::string& baseDirectory, const std::string& path) {
  if (path.find("\\\\") != std::string::npos || path.find(':') != std::string::npos) return path;
  if (baseDirectory.empty()) return path;
  const char last = baseDirectory.back();
  return baseDirectory + (last == ':' || IsSeparator(last) ? "" : "\\") + path;
}

std::string_view ExtractFileDir(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return {};
  // A root keeps its delimiter: the folder of "C:\x" is "C:\", of "\x" it is "\".
  const bool root = slash == 0 || (slash == 2 && path[1] == ':');
  return path.substr(0, root ? slash + 1 : slash);
}

std::string_view ExtractFileName(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void CreateFolderPath(const std::string& folder) {
  if (folder.empty() || DirectoryExists(folder)) return;
  // The first prefix tried ends before the second delimiter ("C:\a" of "C:\a\b"), or
  // before the fifth for a UNC path, whose server and share are not ours to create.
  // A relative path starts with its first level.
  const bool unc = folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1]);
  const bool rooted = IsSeparator(folder[0]) || (folder.size() >= 2 && folder[1] == ':');
  std::size_t pos = 0;
  for (int skip = unc ? 4 : rooted ? 1 : 0; skip > 0 && pos != std::string::npos; --skip) {
    pos = folder.find_first_of("\\/", pos);
    if (pos != std::string::npos) ++pos;
  }
  if (pos == std::string::npos) pos = folder.size();
  for (;;) {
    const std::size_t slash = folder.find_first_of("\\/", pos);
    const std::string prefix = slash == std::string::npos ? folder : folder.substr(0, slash);
    if (!prefix.empty() && !DirectoryExists(prefix)) {
      const int error = platform::CreateOneFolder(prefix);
      if (error != 0 && error != EEXIST) throw core::EInOutError(error);
      if (!DirectoryExists(prefix)) throw core::EInOutError(ENOTDIR);
    }
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
}

}  // namespace tarvo::unzip
