#include "ui/controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include <utility>

#include "ui/application.h"
#include "ui/qt/covered.h"
#include "ui/qt/line_edit.h"
#include "ui/qt/qt_text.h"

namespace tarvo::ui {

// ---- TControl

TControl::TControl(TComponent* owner, QWidget* widget)
    : TComponent(owner), FWidget(widget), FFont(std::make_unique<TFont>()) {
  // A widget freed with its parent widget before this control is not freed again.
  QObject::connect(widget, &QObject::destroyed, widget, [this] { FWidget = nullptr; });
  FFont->OnChange = [this] {
    if (!FWidget) return;
    QFont font = FWidget->font();
    font.setFamilies(UiFontFamilies(FFont->Name()));
    font.setPixelSize(FFont->Height());
    font.setBold(FFont->Bold());
    FWidget->setFont(font);
  };
}

TControl::~TControl() {
  QWidget* widget = std::exchange(FWidget, nullptr);
  if (!widget) return;
  QObject::disconnect(widget, &QObject::destroyed, nullptr, nullptr);
  delete widget;
}

void TControl::SetParent(TControl* parent) {
  FParent = parent;
  if (!FWidget) return;
  FWidget->setParent(parent ? parent->ClientWidget() : nullptr);
  if (parent) FWidget->show();
  RefreshCovered(FWidget->parentWidget());
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!FWidget) return;
  FWidget->setGeometry(left, top, width, height);
  RefreshCovered(FWidget->parentWidget());
}
int TControl::Left() const { return FWidget ? FWidget->x() : 0; }
int TControl::Top() const { return FWidget ? FWidget->y() : 0; }
int TControl::Width() const { return FWidget ? FWidget->width() : 0; }
int TControl::Height() const { return FWidget ? FWidget->height() : 0; }
// A control counts as visible when it is not hidden itself, whether or not its page shows.
bool TControl::Visible() const { return FWidget && !FWidget->isHidden(); }
void TControl::SetVisible(bool visible) {
  if (!FWidget) return;
  FWidget->setVisible(visible);
  RefreshCovered(FWidget->parentWidget());
}
bool TControl::Enabled() const { return FWidget && FWidget->isEnabled(); }
void TControl::SetEnabled(bool enabled) {
  if (FWidget) FWidget->setEnabled(enabled);
}
void TControl::BringToFront() {
  if (!FWidget) return;
  FWidget->raise();
  RefreshCovered(FWidget->parentWidget());
}
void TControl::SendToBack() {
  if (!FWidget) return;
  FWidget->lower();
  RefreshCovered(FWidget->parentWidget());
}
void TControl::SetFocus() {
  // Before its window is shown the control becomes the window's focus for when it shows.
  if (!FWidget || !FWidget->isEnabled() || IsCovered(FWidget)) return;
  if (FWidget->isVisible() || (!FWidget->window()->isVisible() && FWidget->isVisibleTo(FWidget->window())))
    FWidget->setFocus(Qt::OtherFocusReason);
}
bool TControl::Focused() const { return FWidget && FWidget->hasFocus(); }
bool TControl::IsInFrontOf(const TControl& sibling) const {
  if (!FWidget || !sibling.FWidget || FWidget->parentWidget() != sibling.FWidget->parentWidget() ||
      !FWidget->parentWidget())
    return false;
  const QObjectList& order = FWidget->parentWidget()->children();  // the last one is on top
  return order.indexOf(FWidget) > order.indexOf(sibling.FWidget);
}

std::string TControl::Hint() const { return FWidget ? FromQ(FWidget->toolTip()) : std::string(); }
void TControl::SetHint(const std::string& hint) {
  if (FWidget) FWidget->setToolTip(ToQ(hint));
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
void TButton::SetDefault(bool isDefault) {
  FDefault = isDefault;
  if (!Widget()) return;
  Widget()->setProperty("tarvoDefault", isDefault);
  RefreshCovered(Widget()->parentWidget());
}
void TButton::Click() {
  if (Widget() && Widget()->isEnabled()) ButtonOf(this)->click();
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

TCheckBox::TCheckBox(TComponent* owner) : TControl(owner, new QCheckBox) {
  QObject::connect(ButtonOf(this), &QAbstractButton::clicked, ButtonOf(this), [this] { CallEvent(OnClick, this); });
}
std::string TCheckBox::Caption() const { return ButtonCaption(this); }
void TCheckBox::SetCaption(const std::string& caption) { SetButtonCaption(this, caption); }
bool TCheckBox::Checked() const { return Widget() && ButtonOf(this)->isChecked(); }
void TCheckBox::SetChecked(bool checked) {
  if (Widget()) ButtonOf(this)->setChecked(checked);
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

// ---- TImage, TSpeedBar, pages

TImage::TImage(TComponent* owner) : TControl(owner, new QWidget) {}

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

TPage::TPage(TComponent* owner) : TControl(owner, new QWidget) {}

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

// ---- covered controls

namespace {
QWidget* CoveredBy(const QWidget* w) {
  const QWidget* parent = w ? w->parentWidget() : nullptr;
  if (!parent || w->geometry().isEmpty()) return nullptr;
  const QObjectList& order = parent->children();  // the last one is on top
  for (qsizetype i = order.indexOf(const_cast<QWidget*>(w)) + 1; i < order.size(); ++i) {
    auto* above = qobject_cast<QWidget*>(order[i]);
    if (above && !above->isHidden() && !above->isWindow() && above->geometry().contains(w->geometry())) return above;
  }
  return nullptr;
}
}  // namespace

bool IsCovered(const QWidget* w) { return CoveredBy(w) != nullptr; }

bool TakesInput(const QWidget* w) { return w && w->isVisible() && w->isEnabled() && !IsCovered(w); }

void RefreshCovered(QWidget* parent) {
  if (!parent) return;
  for (QObject* child : parent->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow()) continue;
    QWidget* cover = CoveredBy(w);
    const bool covered = cover != nullptr;
    const QVariant own = w->property("tarvoFocusPolicy");
    if (covered) {
      if (!own.isValid()) w->setProperty("tarvoFocusPolicy", static_cast<int>(w->focusPolicy()));
      w->setFocusPolicy(Qt::NoFocus);
      if (w->hasFocus()) {
        // The focus goes to what now lies on top (Finish once it covers Next).
        if (cover->focusPolicy() != Qt::NoFocus && cover->isEnabled()) cover->setFocus(Qt::OtherFocusReason);
        else w->clearFocus();
      }
    } else if (own.isValid()) {
      w->setFocusPolicy(static_cast<Qt::FocusPolicy>(own.toInt()));
      w->setProperty("tarvoFocusPolicy", QVariant());
    }
    if (auto* push = qobject_cast<QPushButton*>(w))
      push->setDefault(push->property("tarvoDefault").toBool() && !covered);
  }
}

}  // namespace tarvo::ui
