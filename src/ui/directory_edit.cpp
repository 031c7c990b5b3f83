#include "ui/directory_edit.h"

#include <filesystem>

#include "platform/folders.h"
#include "ui/dialogs.h"

namespace tarvo::ui {

std::string TDirectoryEdit::BrowseStart() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string typed = Text().empty() ? FLastChosen : Text();
  if (FRootFolder.empty() || (!typed.empty() && fs::is_directory(typed, ec)))
    return platform::BrowseStartFolder(Text(), FLastChosen);
  // A folder not made yet (the default data folder before the components are unpacked):
  // the nearest folder above it on the chosen drive, else the drive itself.
  std::string root = fs::path(FRootFolder).lexically_normal().generic_string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  for (fs::path p = fs::path(typed).lexically_normal(); !p.empty() && p != p.parent_path(); p = p.parent_path()) {
    const std::string at = p.generic_string();
    if (at.rfind(root, 0) != 0 || (at.size() > root.size() && at[root.size()] != '/' && root != "/")) break;
    if (fs::is_directory(p, ec)) return p.string();
  }
  return FRootFolder;
}

void TDirectoryEdit::Browse() {
  const std::string start = BrowseStart();
  if (std::optional<std::string> chosen = BrowseForFolder(start)) {
    SetText(*chosen);
    FLastChosen = *chosen;
  }
}

std::vector<std::string> TDirectoryEdit::Completions() const { return platform::FolderCompletions(Text()); }

}  // namespace tarvo::ui
