#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "core/resource_string.h"
#include "i18n/message_box.h"
#include "ui/qt_text.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

using core::LoadResString;

namespace {

TDialogHook g_dialogHook;
TBrowseHook g_browseHook;

// Windows breaks lines of a box at a lone carriage return as well.
QString BoxText(const std::string& text) {
  QString s = ToQ(text);
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  return s;
}

struct TButtonKind {
  TMsgDlgBtn Button;
  int Result;
  const core::TResourceString* Text;
  QMessageBox::ButtonRole Role;
};

constexpr TButtonKind kButtons[] = {
    {mbYes, mrYes, &SMsgDlgYes, QMessageBox::YesRole},
    {mbNo, mrNo, &SMsgDlgNo, QMessageBox::NoRole},
    {mbOK, mrOk, &SMsgDlgOK, QMessageBox::AcceptRole},
    {mbCancel, mrCancel, &SMsgDlgCancel, QMessageBox::RejectRole},
};

const TButtonKind& KindOf(TMsgDlgBtn button) {
  for (const TButtonKind& s : kButtons)
    if (s.Button == button) return s;
  return kButtons[2];
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    case mtCustom: break;
  }
  return QMessageBox::NoIcon;
}

int Show(const TDialogRequest& request, const std::vector<TMsgDlgBtn>& buttons) {
  if (g_dialogHook) return g_dialogHook(request);
  QMessageBox box(IconOf(request.Type), ToQ(request.Caption), BoxText(request.Text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  std::vector<std::pair<QAbstractButton*, int>> results;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const TButtonKind& kind = KindOf(buttons[i]);
    QPushButton* b = box.addButton(ToQ(request.Buttons[i]), kind.Role);
    results.emplace_back(b, kind.Result);
    if (i == 0) box.setDefaultButton(b);
  }
  box.exec();
  for (const auto& [button, result] : results)
    if (box.clickedButton() == button) return result;
  return mrCancel;
}

}  // namespace

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
  for (TMsgDlgBtn b : FButtons) request.Buttons.push_back(LoadResString(*KindOf(b).Text));
  return Show(request, FButtons);
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const unsigned icon = flags & 0xF0;
  const TMsgDlgType type = icon == i18n::MB_ICONERROR     ? mtError
                           : icon == i18n::MB_ICONWARNING ? mtWarning
                           : icon == 0x40                 ? mtInformation
                           : icon == 0x20                 ? mtConfirmation
                                                          : mtCustom;
  TDialogRequest request{type, caption, text, {LoadResString(SMsgDlgOK)}};
  return Show(request, {mbOK}) == mrOk ? mrOk : mrCancel;
}

std::optional<std::string> BrowseForFolder(const std::string& start) {
  if (g_browseHook) return g_browseHook(start);
  QFileDialog dialog(QApplication::activeWindow(), ToQ(LoadResString(SBrowseFolderCaption)), ToQ(start));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  dialog.setLabelText(QFileDialog::LookIn, ToQ(LoadResString(SBrowseLookIn)));
  dialog.setLabelText(QFileDialog::FileName, ToQ(LoadResString(SBrowseFolder)));
  dialog.setLabelText(QFileDialog::Accept, ToQ(LoadResString(SBrowseChoose)));
  dialog.setLabelText(QFileDialog::Reject, ToQ(LoadResString(SMsgDlgCancel)));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQ(dialog.selectedFiles().front());
}

}  // namespace tarvo::ui
