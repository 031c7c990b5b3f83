// The message dialog and the folder browser on Qt.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "core/resource_string.h"
#include "ui/backend.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

using core::LoadResString;

namespace {

// Windows breaks lines of a box at a lone carriage return as well.
QString BoxText(const std::string& text) {
  QString s = ToQ(text);
  s.replace("\r\n", "\n");
  s.replace('\r', '\n');
  return s;
}

QMessageBox::ButtonRole RoleOf(TMsgDlgBtn button) {
  switch (button) {
    case mbYes: return QMessageBox::YesRole;
    case mbNo: return QMessageBox::NoRole;
    case mbOK: return QMessageBox::AcceptRole;
    case mbCancel: return QMessageBox::RejectRole;
    case mbRetry: return QMessageBox::AcceptRole;
  }
  return QMessageBox::AcceptRole;
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

}  // namespace

int backend::ShowDialog(const TDialogRequest& request, const std::vector<TMsgDlgBtn>& buttons) {
  QMessageBox box(IconOf(request.Type), ToQ(request.Caption), BoxText(request.Text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  std::vector<std::pair<QAbstractButton*, int>> results;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    QPushButton* b = box.addButton(ToQ(request.Buttons[i]), RoleOf(buttons[i]));
    results.emplace_back(b, ModalResultOf(buttons[i]));
    if (i == request.Default) box.setDefaultButton(b);
  }
  box.exec();
  for (const auto& [button, result] : results)
    if (box.clickedButton() == button) return result;
  return mrCancel;
}

std::optional<std::string> backend::ShowFolderDialog(const std::string& start) {
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
