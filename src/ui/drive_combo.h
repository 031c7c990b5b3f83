// A drop-down list of the machine's drives, each with its display name and icon; Drive is
// the selected letter.
#pragma once

#include <string>
#include <vector>

#include "platform/fixed_drives.h"
#include "ui/controls.h"

namespace tarvo::ui {

enum TDriveType : unsigned { dtUnknown = 1, dtRemovable = 2, dtFixed = 4, dtRemote = 8, dtCDROM = 16, dtRAMDisk = 32 };
using TDriveTypes = unsigned;  // a set of TDriveType

class TDriveCombo : public TControl {
  TARVO_PERSISTENT_CLASS(TDriveCombo)
public:
  // Lists the drives and selects the drive of the current folder when it is listed, else
  // the first drive.
  explicit TDriveCombo(TComponent* owner);

  // The selected letter, upper case; 0 when the list is empty.
  char Drive() const noexcept { return FDrive; }
  // Selects a letter (any case). The current one is selected again; a listed one is
  // selected and OnChange reported; an unlisted one changes nothing.
  void SetDrive(char letter);

  TDriveTypes DriveTypes() const noexcept { return FDriveTypes; }
  // Only fixed drives exist here; an empty set means fixed drives as well.
  void SetDriveTypes(TDriveTypes types);
  int Offset() const noexcept { return FOffset; }
  void SetOffset(int offset);

  // The letters in list order, and the shown names.
  const std::vector<char>& Letters() const noexcept { return FLetters; }
  std::vector<std::string> DisplayNames() const;
  // Lists the drives again and selects the previously selected letter.
  void BuildList();

  void ToolkitTextsChanged() override { BuildList(); }
  TNotifyEvent OnChange;

  // The name the list shows for a drive: the shell's name where there is a shell, else
  // "Local Disk (C:)" as the Windows shell names a drive, with the folder it stands for.
  static std::string DisplayName(const platform::TDriveInfo& drive);

private:
  void SelectIndex(int index);
  TDriveTypes FDriveTypes = dtFixed;
  int FOffset = 4;
  char FDrive = 0;
  std::vector<char> FLetters;
};

}  // namespace tarvo::ui
