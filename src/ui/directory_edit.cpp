#include "ui/directory_edit.h"

#include "platform/folders.h"
#include "ui/dialogs.h"

namespace tarvo::ui {

void TDirectoryEdit::Browse() {
  const std::string start = platform::BrowseStartFolder(Text(), FLastChosen);
  if (std::optional<std::string> chosen = BrowseForFolder(start)) {
    SetText(*chosen);
    FLastChosen = *chosen;
  }
}

std::vector<std::string> TDirectoryEdit::Completions() const { return platform::FolderCompletions(Text()); }

}  // namespace tarvo::ui
