#include "platform/folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/fixed_drives.h"

namespace tarvo::platform {

namespace fs = std::filesystem;

std::vector<std::string> FolderCompletions(const std::string& typed) {
  std::vector<std::string> out;
  const std::size_t slash = typed.rfind('/');
  if (typed.empty() || typed.front() != '/' || slash == std::string::npos) return out;
  const std::string folder = typed.substr(0, slash + 1);
  const std::string leaf = typed.substr(slash + 1);
  std::error_code ec;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(leaf) || (name.front() == '.' && !leaf.starts_with('.'))) continue;
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    out.push_back(folder + name);
  }
  std::sort(out.begin(), out.end());
  if (out.size() > kMaxFolderCompletions) out.resize(kMaxFolderCompletions);
  return out;
}

std::string BrowseStartFolder(const std::string& text, const std::string& lastChosen) {
  std::string start = text.empty() ? lastChosen : text;
  std::error_code ec;
  if (!start.empty() && fs::is_directory(start, ec)) return start;
  const std::vector<TDriveInfo> drives = FixedDrives();
  const std::string cwd = fs::current_path(ec).string();
  const char letter = DriveOfPath(drives, cwd);
  for (const TDriveInfo& d : drives)
    if (d.Letter == letter) return d.Root;
  return "/";
}

}  // namespace tarvo::platform
