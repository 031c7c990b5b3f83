// The modal dialogs of the toolkit: the standard message dialog, the platform's message box
// and the folder browser. Each goes through one seam, so that a test (or an automated run)
// can answer instead of a user and nothing ever waits on a real dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvo::ui {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbRetry };

// Modal results, equal to the platform's button identifiers (IDOK, IDYES, ...).
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrRetry = 4;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// What a dialog would show: kind, caption, text, and the button texts as displayed.
struct TDialogRequest {
  TMsgDlgType Type = mtCustom;
  std::string Caption;
  std::string Text;
  std::vector<std::string> Buttons;
  // The platform box's flags beyond buttons and icon (MB_SYSTEMMODAL for the error box).
  unsigned Flags = 0;
  std::size_t Default = 0;  // the button Enter chooses, an index into Buttons
};

// Answers a dialog with a modal result instead of showing it.
using TDialogHook = std::function<int(const TDialogRequest&)>;
// Answers a folder browser: the chosen folder, or none for Cancel. Gets the start folder.
using TBrowseHook = std::function<std::optional<std::string>(const std::string& start)>;

// Install a hook (empty restores the real dialogs); each returns the previous one.
TDialogHook SetDialogHook(TDialogHook hook);
TBrowseHook SetBrowseHook(TBrowseHook hook);

// The standard message dialog: an icon for its type, the text, and the buttons in the
// toolkit's (translated) texts.
class TMessageDialog {
public:
  TMessageDialog(std::string text, TMsgDlgType type, std::vector<TMsgDlgBtn> buttons);
  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }
  // The button Enter chooses; the first one unless set (a question whose Yes loses data
  // defaults to No).
  void SetDefaultButton(TMsgDlgBtn button) { FDefault = button; }
  // Shows the dialog and answers the modal result of the button chosen (mrCancel when the
  // dialog is closed otherwise).
  int ShowModal();

private:
  std::string FText, FCaption;
  TMsgDlgType FType;
  std::vector<TMsgDlgBtn> FButtons;
  std::optional<TMsgDlgBtn> FDefault;
};

// The platform's message box (MB_* flags of i18n/message_box.h); answers the button's
// identifier. A lone carriage return in the text breaks the line, as it does on Windows.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

// The folder browser, opened at start; the chosen folder, or none.
std::optional<std::string> BrowseForFolder(const std::string& start);

}  // namespace tarvo::ui
