#include <sys/stat.h>

#include <cerrno>

#include "core/exception.h"
#include "unzip/extract_path.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

void CheckNativeComponent(std::string_view) {}

std::string NormalizeBaseDirectory(const std::string& directory) {
  std::string result = directory;
  if (result.size() > 1 && result.back() == '/') result.pop_back();
  if (!result.empty() && !DirectoryExists(result)) throw EVmNoSuchDirectory();
  return result;
}

std::string ClassifyPath(const std::string& baseDirectory, const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  if (baseDirectory.empty()) return path;
  return baseDirectory + (baseDirectory.back() == '/' ? "" : "/") + path;
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
