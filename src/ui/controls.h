// The window toolkit's controls: components of the owner tree, each over one native widget
// of the backend the build chose (ui/qt, ui/win32). Each class has its own class record
// publishing the properties a translator and the window definition need, so component
// translation and class rules act on the real window. A control owns its widget; a widget
// freed with its parent widget first is not freed twice.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/component.h"
#include "core/string_list.h"
#include "ui/native_widget.h"


namespace tarvo::ui {

using core::TComponent;
using core::TPersistent;

// An event: a method reference whose first argument is the sender.
using TNotifyEvent = std::function<void(TComponent* sender)>;

// Runs an event handler; an exception that escapes it goes to the application's default
// exception box instead of unwinding through the toolkit's event loop.
void CallEvent(const TNotifyEvent& event, TComponent* sender) noexcept;

// A font: family, character height in pixels and weight. Controls take their parent's font
// until their own font is changed.
class TFont : public TPersistent {
  TARVO_PERSISTENT_CLASS(TFont)
public:
  const std::string& Name() const noexcept { return FName; }
  void SetName(const std::string& name);
  int Height() const noexcept { return FHeight; }
  void SetHeight(int pixels);
  bool Bold() const noexcept { return FBold; }
  void SetBold(bool bold);
  std::function<void()> OnChange;

private:
  void Changed();
  std::string FName = "Tahoma";
  int FHeight = 11;
  bool FBold = false;
};

class TControl : public TComponent {
  TARVO_PERSISTENT_CLASS(TControl)
public:
  ~TControl() override;

  TNativeWidget* Widget() const noexcept { return FWidget; }
  TControl* Parent() const noexcept { return FParent; }
  // Places the widget inside the parent's client area and shows it there.
  void SetParent(TControl* parent);

  void SetBounds(int left, int top, int width, int height);
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  bool Visible() const;
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const;
  void SetEnabled(bool enabled);
  // Raises the control above its siblings: a control in front hides those it covers.
  void BringToFront();
  void SendToBack();
  // Whether this control lies above a sibling in the z-order.
  bool IsInFrontOf(const TControl& sibling) const;
  // Gives the control the keyboard focus (a control that takes no input now keeps none).
  void SetFocus();
  bool Focused() const;
  int TabOrder() const noexcept { return FTabOrder; }
  void SetTabOrder(int order) noexcept { FTabOrder = order; }

  std::string Hint() const;
  void SetHint(const std::string& hint);
  const std::string& HelpKeyword() const noexcept { return FHelpKeyword; }
  void SetHelpKeyword(const std::string& keyword) { FHelpKeyword = keyword; }
  const std::string& ImeName() const noexcept { return FImeName; }
  void SetImeName(const std::string& name) { FImeName = name; }
  TFont* Font() const noexcept { return FFont.get(); }

  // Refreshes texts the control makes itself (not the published ones), after a language switch.
  virtual void ToolkitTextsChanged() {}

protected:
  // The control takes ownership of the widget.
  TControl(TComponent* owner, TNativeWidget* widget);
  // Where child controls go; the widget itself unless the control has an inner area.
  virtual TNativeWidget* ClientWidget() const { return FWidget; }

private:
  TNativeWidget* FWidget;  // cleared by the backend when the widget goes first
  TControl* FParent = nullptr;
  int FTabOrder = 0;
  std::string FHelpKeyword, FImeName;
  std::unique_ptr<TFont> FFont;
};

// A text on the window; with WordWrap it breaks its lines inside its box.
class TLabel : public TControl {
  TARVO_PERSISTENT_CLASS(TLabel)
public:
  explicit TLabel(TComponent* owner);
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  bool WordWrap() const;
  void SetWordWrap(bool wrap);
};

// A push button; '&' in the caption marks its accelerator key.
class TButton : public TControl {
  TARVO_PERSISTENT_CLASS(TButton)
public:
  explicit TButton(TComponent* owner);
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  // Runs OnClick as a user's click would, when the button is enabled.
  void Click();
  // Enter clicks the default button, Esc the cancel button, when the button is shown,
  // enabled and not covered by another control; such a default button is drawn as one.
  bool Default() const noexcept { return FDefault; }
  void SetDefault(bool isDefault);
  bool Cancel() const noexcept { return FCancel; }
  void SetCancel(bool isCancel) noexcept { FCancel = isCancel; }
  TNotifyEvent OnClick;

private:
  bool FDefault = false, FCancel = false;
};

// Radio buttons with the same parent exclude each other.
class TRadioButton : public TControl {
  TARVO_PERSISTENT_CLASS(TRadioButton)
public:
  explicit TRadioButton(TComponent* owner);
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  bool Checked() const;
  void SetChecked(bool checked);
  TNotifyEvent OnClick;
};

class TCheckBox : public TControl {
  TARVO_PERSISTENT_CLASS(TCheckBox)
public:
  explicit TCheckBox(TComponent* owner);
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  bool Checked() const;
  void SetChecked(bool checked);
  TNotifyEvent OnClick;
};

// A one-line text field with the toolkit's context menu (undo, clipboard, select all).
class TEdit : public TControl {
  TARVO_PERSISTENT_CLASS(TEdit)
public:
  explicit TEdit(TComponent* owner);
  std::string Text() const;
  void SetText(const std::string& text);
  TNotifyEvent OnChange;

protected:
  // For fields that add to the line edit (a key filter, a browse button).
  TEdit(TComponent* owner, TNativeWidget* lineEdit);
};

class TProgressBar : public TControl {
  TARVO_PERSISTENT_CLASS(TProgressBar)
public:
  explicit TProgressBar(TComponent* owner);
  int Min() const;
  int Max() const;
  void SetRange(int min, int max);
  int Position() const;
  void SetPosition(int position);
};

// A picture strip; without a picture it shows its parent's background.
class TImage : public TControl {
  TARVO_PERSISTENT_CLASS(TImage)
public:
  explicit TImage(TComponent* owner);
};

// A bar of buttons with a separating line along its top edge.
class TSpeedBar : public TControl {
  TARVO_PERSISTENT_CLASS(TSpeedBar)
public:
  explicit TSpeedBar(TComponent* owner);
};

// One page of a notebook.
class TPage : public TControl {
  TARVO_PERSISTENT_CLASS(TPage)
public:
  explicit TPage(TComponent* owner);
};

// A stack of pages of which exactly one is visible; Pages holds the page names.
class TNotebook : public TControl {
  TARVO_PERSISTENT_CLASS(TNotebook)
public:
  explicit TNotebook(TComponent* owner);
  core::TStringList* Pages() const noexcept { return FPages.get(); }
  // Appends a page of that name (owned by the notebook).
  TPage* AddPage(const std::string& name);
  TPage* Page(int index) const;
  int PageCount() const noexcept;
  int PageIndex() const noexcept;
  // An index outside 0..PageCount-1, or the current one, changes nothing.
  void SetPageIndex(int index);

private:
  std::unique_ptr<core::TStringList> FPages;
  std::vector<TPage*> FPageControls;
};

// A command of the window with a category for menus and toolbars.
class TAction : public TComponent {
  TARVO_PERSISTENT_CLASS(TAction)
public:
  using TComponent::TComponent;
  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }
  const std::string& Category() const noexcept { return FCategory; }
  void SetCategory(const std::string& category) { FCategory = category; }

private:
  std::string FCaption, FCategory;
};

}  // namespace tarvo::ui
