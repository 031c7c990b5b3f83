// Folder look-ups for the folder field: completion of a typed path and the browser's start.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvo::platform {

// The most completions offered for one prefix; a folder with more children gives the first
// ones in name order.
inline constexpr std::size_t kMaxFolderCompletions = 256;

// The folders that complete a typed path: the subfolders of its folder part whose names
// start with its last part, as full paths, sorted. Hidden folders only when the last part
// starts with a dot. Nothing for a relative or unreadable path.
std::vector<std::string> FolderCompletions(const std::string& typed);

// Where the folder browser opens: the field's text, else the last chosen folder; the root
// of the current drive when that is empty or no existing folder.
std::string BrowseStartFolder(const std::string& text, const std::string& lastChosen);

}  // namespace tarvo::platform
