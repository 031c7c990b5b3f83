#include "ui/controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include "core/published.h"
#include "ui/application.h"
#include "ui/line_edit.h"
#include "ui/qt_text.h"

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

// ---- TControl

TControl::TControl(TComponent* owner, QWidget* widget)
    : TComponent(owner), FWidget(widget), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this] {
    if (!FWidget) return;
    QFont font = FWidget->font();
    font.setFamilies(UiFontFamilies(FFont->Name()));
    font.setPixelSize(FFont->Height());
    font.setBold(FFont->Bold());
    FWidget->setFont(font);
  };
}

TControl::~TControl() { delete FWidget.data(); }

void TControl::SetParent(TControl* parent) {
  FParent = parent;
  if (!FWidget) return;
  FWidget->setParent(parent ? parent->ClientWidget() : nullptr);
  if (parent) FWidget->show();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (FWidget) FWidget->setGeometry(left, top, width, height);
}
int TControl::Left() const { return FWidget ? FWidget->x() : 0; }
int TControl::Top() const { return FWidget ? FWidget->y() : 0; }
int TControl::Width() const { return FWidget ? FWidget->width() : 0; }
int TControl::Height() const { return FWidget ? FWidget->height() : 0; }
// A control counts as visible when it is not hidden itself, whether or not its page shows.
bool TControl::Visible() const { return FWidget && !FWidget->isHidden(); }
void TControl::SetVisible(bool visible) {
  if (FWidget) FWidget->setVisible(visible);
}
bool TControl::Enabled() const { return FWidget && FWidget->isEnabled(); }
void TControl::SetEnabled(bool enabled) {
  if (FWidget) FWidget->setEnabled(enabled);
}
void TControl::BringToFront() {
  if (FWidget) FWidget->raise();
}
void TControl::SendToBack() {
  if (FWidget) FWidget->lower();
}
bool TControl::IsInFrontOf(const TControl& sibling) const {
  if (!FWidget || !sibling.FWidget || FWidget->parentWidget() != sibling.FWidget->parentWidget() ||
      !FWidget->parentWidget())
    return false;
  const QObjectList& order = FWidget->parentWidget()->children();  // the last one is on top
  return order.indexOf(FWidget.data()) > order.indexOf(sibling.FWidget.data());
}

std::string TControl::Hint() const { return FWidget ? FromQ(FWidget->toolTip()) : std::string(); }
void TControl::SetHint(const std::string& hint) {
  if (FWidget) FWidget->setToolTip(ToQ(hint));
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

// ---- TLabel

namespace {
QLabel* LabelOf(const TControl* c) { return static_cast<QLabel*>(c->Widget()); }
}  // namespace

TLabel::TLabel(TComponent* owner) : TControl(owner, new QLabel) {
  LabelOf(this)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelOf(this)->setTextFormat(Qt::PlainText);
}
std::string TLabel::Caption() const { return Widget() ? FromQ(LabelOf(this)->text()) : std::string(); }
void TLabel::SetCaption(const std::string& caption) {
  if (Widget()) LabelOf(this)->setText(ToQ(caption));
}
bool TLabel::WordWrap() const { return Widget() && LabelOf(this)->wordWrap(); }
void TLabel::SetWordWrap(bool wrap) {
  if (Widget()) LabelOf(this)->setWordWrap(wrap);
}

const TClassInfo& TLabel::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TLabel::Caption, &TLabel::SetCaption>("Caption")};
  static const TClassInfo info{"TLabel", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}

// ---- buttons

namespace {
QAbstractButton* ButtonOf(const TControl* c) { return static_cast<QAbstractButton*>(c->Widget()); }
std::string ButtonCaption(const TControl* c) { return c->Widget() ? FromQ(ButtonOf(c)->text()) : std::string(); }
void SetButtonCaption(TControl* c, const std::string& caption) {
  if (c->Widget()) ButtonOf(c)->setText(ToQ(caption));
}
}  // namespace

TButton::TButton(TComponent* owner) : TControl(owner, new QPushButton) {
  QObject::connect(ButtonOf(this), &QAbstractButton::clicked, ButtonOf(this), [this] { CallEvent(OnClick, this); });
}
std::string TButton::Caption() const { return ButtonCaption(this); }
void TButton::SetCaption(const std::string& caption) { SetButtonCaption(this, caption); }
void TButton::Click() {
  if (Widget() && Widget()->isEnabled()) ButtonOf(this)->click();
}

const TClassInfo& TButton::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TButton::Caption, &TButton::SetCaption>("Caption")};
  static const TClassInfo info{"TButton", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}

TRadioButton::TRadioButton(TComponent* owner) : TControl(owner, new QRadioButton) {
  QObject::connect(ButtonOf(this), &QAbstractButton::clicked, ButtonOf(this), [this] { CallEvent(OnClick, this); });
}
std::string TRadioButton::Caption() const { return ButtonCaption(this); }
void TRadioButton::SetCaption(const std::string& caption) { SetButtonCaption(this, caption); }
bool TRadioButton::Checked() const { return Widget() && ButtonOf(this)->isChecked(); }
void TRadioButton::SetChecked(bool checked) {
  if (Widget()) ButtonOf(this)->setChecked(checked);
}

const TClassInfo& TRadioButton::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TRadioButton::Caption, &TRadioButton::SetCaption>("Caption")};
  static const TClassInfo info{"TRadioButton", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}

TCheckBox::TCheckBox(TComponent* owner) : TControl(owner, new QCheckBox) {
  QObject::connect(ButtonOf(this), &QAbstractButton::clicked, ButtonOf(this), [this] { CallEvent(OnClick, this); });
}
std::string TCheckBox::Caption() const { return ButtonCaption(this); }
void TCheckBox::SetCaption(const std::string& caption) { SetButtonCaption(this, caption); }
bool TCheckBox::Checked() const { return Widget() && ButtonOf(this)->isChecked(); }
void TCheckBox::SetChecked(bool checked) {
  if (Widget()) ButtonOf(this)->setChecked(checked);
}

const TClassInfo& TCheckBox::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TCheckBox::Caption, &TCheckBox::SetCaption>("Caption")};
  static const TClassInfo info{"TCheckBox", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}

// ---- TEdit

TEdit::TEdit(TComponent* owner) : TEdit(owner, new TLineEdit) {}

TEdit::TEdit(TComponent* owner, QWidget* lineEdit) : TControl(owner, lineEdit) {
  auto* edit = static_cast<QLineEdit*>(lineEdit);
  QObject::connect(edit, &QLineEdit::textChanged, edit, [this] { CallEvent(OnChange, this); });
}
std::string TEdit::Text() const { return Widget() ? FromQ(static_cast<QLineEdit*>(Widget())->text()) : std::string(); }
void TEdit::SetText(const std::string& text) {
  if (Widget()) static_cast<QLineEdit*>(Widget())->setText(ToQ(text));
}

const TClassInfo& TEdit::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {TextProperty<&TEdit::Text, &TEdit::SetText>("Text")};
  static const TClassInfo info{"TEdit", &::tarvo::core::ClassInfoOf<TControl>(), props};
  return info;
}

// ---- TProgressBar

namespace {
QProgressBar* BarOf(const TControl* c) { return static_cast<QProgressBar*>(c->Widget()); }
}  // namespace

TProgressBar::TProgressBar(TComponent* owner) : TControl(owner, new QProgressBar) {
  BarOf(this)->setRange(0, 100);
  BarOf(this)->setValue(0);
  BarOf(this)->setTextVisible(false);
}
int TProgressBar::Min() const { return Widget() ? BarOf(this)->minimum() : 0; }
int TProgressBar::Max() const { return Widget() ? BarOf(this)->maximum() : 0; }
void TProgressBar::SetRange(int min, int max) {
  if (Widget()) BarOf(this)->setRange(min, max);
}
int TProgressBar::Position() const { return Widget() ? BarOf(this)->value() : 0; }
void TProgressBar::SetPosition(int position) {
  if (Widget()) BarOf(this)->setValue(position);
}

const TClassInfo& TProgressBar::StaticClassInfo() noexcept {
  static const TClassInfo info{"TProgressBar", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}

// ---- TImage, TSpeedBar, pages

TImage::TImage(TComponent* owner) : TControl(owner, new QWidget) {}

const TClassInfo& TImage::StaticClassInfo() noexcept {
  static const TClassInfo info{"TImage", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}

namespace {
class TSpeedBarWidget : public QWidget {
protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    // An etched line: a shadow with a highlight under it.
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, 0, width(), 0);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 1, width(), 1);
  }
};
}  // namespace

TSpeedBar::TSpeedBar(TComponent* owner) : TControl(owner, new TSpeedBarWidget) {}

const TClassInfo& TSpeedBar::StaticClassInfo() noexcept {
  static const TClassInfo info{"TSpeedBar", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}

TPage::TPage(TComponent* owner) : TControl(owner, new QWidget) {}

const TClassInfo& TPage::StaticClassInfo() noexcept {
  static const TClassInfo info{"TPage", &::tarvo::core::ClassInfoOf<TControl>(), {}};
  return info;
}

// ---- TNotebook

namespace {
QStackedWidget* StackOf(const TControl* c) { return static_cast<QStackedWidget*>(c->Widget()); }
}  // namespace

TNotebook::TNotebook(TComponent* owner)
    : TControl(owner, new QStackedWidget), FPages(std::make_unique<core::TStringList>()) {}

TPage* TNotebook::AddPage(const std::string& name) {
  auto* page = new TPage(this);
  FPages->Add(name);
  FPageControls.push_back(page);
  if (Widget()) StackOf(this)->addWidget(page->Widget());
  return page;
}

TPage* TNotebook::Page(int index) const {
  return index >= 0 && index < PageCount() ? FPageControls[static_cast<std::size_t>(index)] : nullptr;
}
int TNotebook::PageCount() const noexcept { return static_cast<int>(FPageControls.size()); }
int TNotebook::PageIndex() const noexcept { return Widget() ? StackOf(this)->currentIndex() : -1; }
void TNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == PageIndex() || !Widget()) return;
  StackOf(this)->setCurrentIndex(index);
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

}  // namespace tarvo::ui
