#include "ui/drive_combo.h"

#include <algorithm>
#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QStyle>

#include "core/resource_string.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

namespace {

QComboBox* ComboOf(const TControl* c) { return static_cast<QComboBox*>(c->Widget()); }

}  // namespace

TDriveCombo::TDriveCombo(TComponent* owner) : TControl(owner, new QComboBox) {
  QComboBox* combo = ComboOf(this);
  combo->setIconSize(QSize(16, 16));
  QObject::connect(combo, &QComboBox::activated, combo, [this](int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= FLetters.size()) return;
    const char letter = FLetters[static_cast<std::size_t>(index)];
    if (letter == FDrive) return;
    FDrive = letter;
    CallEvent(OnChange, this);
  });
  BuildList();
  if (FDrive == 0 && !FLetters.empty()) {
    std::error_code ec;
    const std::vector<platform::TDriveInfo> drives = platform::FixedDrives();
    const char current = platform::DriveOfPath(drives, std::filesystem::current_path(ec).string());
    const bool listed = std::find(FLetters.begin(), FLetters.end(), current) != FLetters.end();
    FDrive = listed ? current : FLetters.front();
    SelectIndex(static_cast<int>(std::find(FLetters.begin(), FLetters.end(), FDrive) - FLetters.begin()));
  }
}

void TDriveCombo::BuildList() {
  QComboBox* combo = ComboOf(this);
  if (!combo) return;
  const QSignalBlocker quiet(combo);
  combo->clear();
  FLetters.clear();
  const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon);
  // Every drive reported here is a fixed local disk.
  if (FDriveTypes & dtFixed) {
    for (const platform::TDriveInfo& d : platform::FixedDrives()) {
      combo->addItem(icon, ToQ(DisplayName(d)));
      combo->setItemData(combo->count() - 1, ToQ(d.Root), Qt::ToolTipRole);
      FLetters.push_back(d.Letter);
    }
  }
  const auto it = std::find(FLetters.begin(), FLetters.end(), FDrive);
  if (it == FLetters.end()) FDrive = 0;
  SelectIndex(it == FLetters.end() ? -1 : static_cast<int>(it - FLetters.begin()));
}

void TDriveCombo::SelectIndex(int index) {
  if (QComboBox* combo = ComboOf(this)) {
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index);
  }
}

std::vector<std::string> TDriveCombo::DisplayNames() const {
  std::vector<std::string> names;
  if (QComboBox* combo = ComboOf(this))
    for (int i = 0; i < combo->count(); ++i) names.push_back(FromQ(combo->itemText(i)));
  return names;
}

}  // namespace tarvo::ui
