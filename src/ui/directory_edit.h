// A text field for a folder: a browse button opens the folder browser, and typing offers
// the matching folders of the file system.
#pragma once

#include <string>

#include "ui/controls.h"

namespace tarvo::ui {

enum TDirDialogKind { dkVCL, dkWin32 };

class TDirectoryEdit : public TEdit {
  TARVO_PERSISTENT_CLASS(TDirectoryEdit)
public:
  explicit TDirectoryEdit(TComponent* owner);

  TDirDialogKind DialogKind() const noexcept { return FDialogKind; }
  void SetDialogKind(TDirDialogKind kind) noexcept { FDialogKind = kind; }
  // Opens the folder browser (the browse button does); a confirmed choice replaces the text
  // and is where the next browse starts when the field is empty.
  void Browse();
  // Where the browser opens when neither the field's folder nor any folder above it inside
  // this one exists (the chosen drive's root); empty: the system's rule.
  void SetRootFolder(const std::string& folder) { FRootFolder = folder; }
  // The folder the browser opens at now.
  std::string BrowseStart() const;
  // The folders offered for the text typed so far.
  std::vector<std::string> Completions() const;

  void ToolkitTextsChanged() override;

private:
  TDirDialogKind FDialogKind = dkWin32;
  std::string FLastChosen;
  std::string FRootFolder;
};

}  // namespace tarvo::ui
