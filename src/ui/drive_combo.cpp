#include "ui/drive_combo.h"

#include <algorithm>
#include <cctype>

#include "core/resource_string.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

std::string TDriveCombo::DisplayName(const platform::TDriveInfo& d) {
  const std::size_t first = d.ShellName.find_first_not_of(' ');
  const std::string shell = first == std::string::npos
                                ? std::string()
                                : d.ShellName.substr(first, d.ShellName.find_last_not_of(' ') + 1 - first);
  // A shell that names an unlabelled disk by its letter alone (" (C:)", as Wine's does) gets
  // the name Windows gives it.
  if (!shell.empty() && shell.front() != '(') return shell;
  if (!shell.empty()) return core::LoadResString(SLocalDisk) + " " + shell;
  const std::string name = d.Label.empty() ? core::LoadResString(SLocalDisk) : d.Label;
  return name + " (" + d.Letter + ":)  " + d.Root;
}

void TDriveCombo::SetDrive(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  const auto it = std::find(FLetters.begin(), FLetters.end(), letter);
  if (it == FLetters.end()) return;
  SelectIndex(static_cast<int>(it - FLetters.begin()));
  if (letter == FDrive) return;
  FDrive = letter;
  CallEvent(OnChange, this);
}

void TDriveCombo::SetDriveTypes(TDriveTypes types) {
  FDriveTypes = types == 0 ? TDriveTypes{dtFixed} : types;
  BuildList();
}

void TDriveCombo::SetOffset(int offset) {
  FOffset = offset;
  BuildList();
}

}  // namespace tarvo::ui
