#include "ui/dialogs.h"

#include <utility>

#include "core/resource_string.h"
#include "i18n/message_box.h"
#include "ui/backend.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

using core::LoadResString;

namespace {

TDialogHook g_dialogHook;
TBrowseHook g_browseHook;

struct TButtonKind {
  TMsgDlgBtn Button;
  int Result;
  const core::TResourceString* Text;
};

constexpr TButtonKind kButtons[] = {
    {mbYes, mrYes, &SMsgDlgYes},
    {mbNo, mrNo, &SMsgDlgNo},
    {mbOK, mrOk, &SMsgDlgOK},
    {mbCancel, mrCancel, &SMsgDlgCancel},
    {mbRetry, mrRetry, &SMsgDlgRetry},
};

const TButtonKind& KindOf(TMsgDlgBtn button) {
  for (const TButtonKind& s : kButtons)
    if (s.Button == button) return s;
  return kButtons[2];
}

int Show(const TDialogRequest& request, const std::vector<TMsgDlgBtn>& buttons) {
  if (g_dialogHook) return g_dialogHook(request);
  return backend::ShowDialog(request, buttons);
}

}  // namespace

int backend::ModalResultOf(TMsgDlgBtn button) noexcept { return KindOf(button).Result; }

TDialogHook SetDialogHook(TDialogHook hook) { return std::exchange(g_dialogHook, std::move(hook)); }
TBrowseHook SetBrowseHook(TBrowseHook hook) { return std::exchange(g_browseHook, std::move(hook)); }

TMessageDialog::TMessageDialog(std::string text, TMsgDlgType type, std::vector<TMsgDlgBtn> buttons)
    : FText(std::move(text)), FType(type), FButtons(std::move(buttons)) {
  static const core::TResourceString* const captions[] = {&SMsgDlgWarning, &SMsgDlgError, &SMsgDlgInformation,
                                                          &SMsgDlgConfirm};
  if (FType != mtCustom) FCaption = LoadResString(*captions[FType]);
}

int TMessageDialog::ShowModal() {
  TDialogRequest request{FType, FCaption, FText, {}};
  for (TMsgDlgBtn b : FButtons) {
    if (FDefault == b) request.Default = request.Buttons.size();
    request.Buttons.push_back(LoadResString(*KindOf(b).Text));
  }
  return Show(request, FButtons);
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const unsigned icon = flags & 0xF0;
  const TMsgDlgType type = icon == i18n::MB_ICONERROR     ? mtError
                           : icon == i18n::MB_ICONWARNING ? mtWarning
                           : icon == 0x40                 ? mtInformation
                           : icon == 0x20                 ? mtConfirmation
                                                          : mtCustom;
  TDialogRequest request{type, caption, text, {LoadResString(SMsgDlgOK)}, flags & ~0xFFu, 0};
  return Show(request, {mbOK}) == mrOk ? mrOk : mrCancel;
}

std::optional<std::string> BrowseForFolder(const std::string& start) {
  if (g_browseHook) return g_browseHook(start);
  return backend::ShowFolderDialog(start);
}

}  // namespace tarvo::ui
