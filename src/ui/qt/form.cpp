#include "ui/form.h"

#include <algorithm>
#include <map>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "core/published.h"
#include "ui/application.h"
#include "ui/qt/covered.h"
#include "ui/qt/qt_text.h"

namespace tarvo::ui {

namespace {

QWidget* NewFormWidget() {
  auto* w = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  w->setAutoFillBackground(true);
  QPalette palette = w->palette();
  palette.setColor(QPalette::Window, Qt::white);
  w->setPalette(palette);
  return w;
}

template <class F>
void ForEachControl(TComponent* root, F f) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (auto* control = dynamic_cast<TControl*>(c)) f(control);
    ForEachControl(c, f);
  }
}

// The button Enter (or Esc) stands for: the first of the form's default (cancel) buttons
// that takes input now.
TButton* KeyButton(TForm* form, bool cancel) {
  TButton* found = nullptr;
  ForEachControl(form, [&](TControl* c) {
    auto* b = dynamic_cast<TButton*>(c);
    if (!found && b && (cancel ? b->Cancel() : b->Default()) && TakesInput(b->Widget())) found = b;
  });
  return found;
}

// Puts the close box's request to the form's OnCloseQuery, and gives the form the keys of a
// dialog: Enter clicks the focused push button or else the default button, Esc the cancel
// button. Keys reach the form when the focused control leaves them.
class TCloseFilter : public QObject {
public:
  TCloseFilter(TForm* form, QObject* parent) : QObject(parent), FForm(form) {}
  bool FClosing = false;  // Close() is under way: not asked

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) return DialogKey(static_cast<QKeyEvent*>(event));
    if (event->type() != QEvent::Close || FClosing || !FForm->OnCloseQuery) return false;
    bool canClose = true;
    try {
      FForm->OnCloseQuery(FForm, canClose);
    } catch (const std::exception& e) {
      HandleException(e);
      canClose = false;
    }
    if (!canClose) event->ignore();
    return !canClose;
  }

private:
  bool DialogKey(QKeyEvent* key) {
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool escape = key->key() == Qt::Key_Escape;
    if ((!enter && !escape) || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    if (enter) {
      auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      if (focused && focused->window() == FForm->Widget() && TakesInput(focused)) {
        focused->click();  // a focused push button is the default one
        return true;
      }
    }
    if (TButton* b = KeyButton(FForm, escape)) b->Click();
    return true;
  }
  TForm* FForm;
};

}  // namespace

TForm::TForm(TComponent* owner) : TControl(owner, NewFormWidget()) {
  Widget()->installEventFilter(new TCloseFilter(this, Widget()));
  QFont font = Widget()->font();
  font.setFamilies(UiFontFamilies(Font()->Name()));
  font.setPixelSize(Font()->Height());
  Widget()->setFont(font);
}

std::string TForm::Caption() const { return Widget() ? FromQ(Widget()->windowTitle()) : std::string(); }
void TForm::SetCaption(const std::string& caption) {
  if (Widget()) Widget()->setWindowTitle(ToQ(caption));
}

void TForm::SetClientSize(int width, int height) {
  if (Widget()) Widget()->setFixedSize(width, height);
}

void TForm::Show() {
  QWidget* w = Widget();
  if (!w) return;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
  }
  ApplyTabOrder();
  w->show();
}

void TForm::Close() {
  QWidget* w = Widget();
  if (!w) return;
  auto* filter = w->findChild<TCloseFilter*>(QString(), Qt::FindDirectChildrenOnly);
  if (filter) filter->FClosing = true;
  w->close();
  if (filter) filter->FClosing = false;
}

bool TForm::Showing() const { return Widget() && Widget()->isVisible(); }

bool TForm::SaveImage(const std::string& path) const {
  return Widget() && Widget()->grab().save(ToQ(path), "PNG");
}

void TForm::ApplyTabOrder() {
  std::map<const TControl*, std::vector<TControl*>> byParent;
  ForEachControl(this, [&](TControl* c) { byParent[c->Parent()].push_back(c); });
  for (auto& [parent, controls] : byParent) {
    std::stable_sort(controls.begin(), controls.end(),
                     [](const TControl* a, const TControl* b) { return a->TabOrder() < b->TabOrder(); });
    for (std::size_t i = 1; i < controls.size(); ++i)
      if (controls[i - 1]->Widget() && controls[i]->Widget())
        QWidget::setTabOrder(controls[i - 1]->Widget(), controls[i]->Widget());
  }
}

void TForm::ToolkitTextsChanged() {
  ForEachControl(this, [](TControl* c) { c->ToolkitTextsChanged(); });
}

}  // namespace tarvo::ui
