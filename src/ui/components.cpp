// What every backend shares: the event call, the font and the class records, whose
// published properties component translation and the class rules act on.
#include <stdexcept>

#include "core/published.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/directory_edit.h"
#include "ui/drive_combo.h"
#include "ui/form.h"
#include "ui/validate_edit.h"

namespace tarvo::ui {

using core::ObjectProperty;
using core::StringsProperty;
using core::TClassInfo;
using core::TextProperty;
using core::TPropInfo;

void CallEvent(const TNotifyEvent& event, TComponent* sender) noexcept {
  if (!event) return;
  try {
    event(sender);
  } catch (const std::exception& e) {
    HandleException(e);
  } catch (...) {
    HandleException(std::runtime_error("Unknown exception"));
  }
}

// ---- TFont

void TFont::SetName(const std::string& name) {
  FName = name;
  Changed();
}
void TFont::SetHeight(int pixels) {
  FHeight = pixels;
  Changed();
}
void TFont::SetBold(bool bold) {
  FBold = bold;
  Changed();
}
void TFont::Changed() {
  if (OnChange) OnChange();
}

const TClassInfo& TFont::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TFont::Name, &TFont::SetName>("Name")};
  static const TClassInfo info{"TFont", &::tarvo::core::ClassInfoOf<TPersistent>(), props};
  return info;
}


const TClassInfo& TControl::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      TextProperty<&TControl::Hint, &TControl::SetHint>("Hint"),
      TextProperty<&TControl::HelpKeyword, &TControl::SetHelpKeyword>("HelpKeyword"),
      TextProperty<&TControl::ImeName, &TControl::SetImeName>("ImeName"),
      ObjectProperty<&TControl::Font>("Font"),
  };
  static const TClassInfo info{"TControl", &::tarvo::core::ClassInfoOf<TComponent>(), props};
  return info;
}


const TClassInfo& TLabel::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TLabel::Caption, &TLabel::SetCaption>("Caption")};
  static const TClassInfo info{"TLabel", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TButton::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TButton::Caption, &TButton::SetCaption>("Caption")};
  static const TClassInfo info{"TButton", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TRadioButton::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TRadioButton::Caption, &TRadioButton::SetCaption>("Caption")};
  static const TClassInfo info{"TRadioButton", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TCheckBox::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TCheckBox::Caption, &TCheckBox::SetCaption>("Caption")};
  static const TClassInfo info{"TCheckBox", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TEdit::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TEdit::Text, &TEdit::SetText>("Text")};
  static const TClassInfo info{"TEdit", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TProgressBar::StaticClassInfo() noexcept {
  static const TClassInfo info{"TProgressBar", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}


const TClassInfo& TImage::StaticClassInfo() noexcept {
  static const TClassInfo info{"TImage", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}


const TClassInfo& TSpeedBar::StaticClassInfo() noexcept {
  static const TClassInfo info{"TSpeedBar", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}


const TClassInfo& TPage::StaticClassInfo() noexcept {
  static const TClassInfo info{"TPage", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}


const TClassInfo& TNotebook::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {StringsProperty<&TNotebook::Pages>("Pages")};
  static const TClassInfo info{"TNotebook", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TAction::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      TextProperty<&TAction::Caption, &TAction::SetCaption>("Caption"),
      TextProperty<&TAction::Category, &TAction::SetCategory>("Category"),
  };
  static const TClassInfo info{"TAction", &::tarvo::core::ClassInfoOf<TComponent>(), props};
  return info;
}

const TClassInfo& TDirectoryEdit::StaticClassInfo() noexcept {
  static const TClassInfo info{"TDirectoryEdit", &::tarvo::core::ClassInfoOf<TEdit>(), {}};
  return info;
}


const TClassInfo& TDriveCombo::StaticClassInfo() noexcept {
  static const TClassInfo info{"TDriveCombo", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}


const TClassInfo& TForm::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TForm::Caption, &TForm::SetCaption>("Caption")};
  static const TClassInfo info{"TForm", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}


const TClassInfo& TValidateEdit::StaticClassInfo() noexcept {
  static const TClassInfo info{"TValidateEdit", &::tarvo::core::ClassInfoOf<TEdit>(), {}};
  return info;
}

}  // namespace tarvo::ui
