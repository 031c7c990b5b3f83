#include "ui/directory_edit.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QStringListModel>
#include <QStyle>

#include "core/resource_string.h"
#include "ui/application.h"
#include "ui/qt/covered.h"
#include "ui/qt/line_edit.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

namespace {

QLineEdit* EditOf(const TControl* c) { return static_cast<QLineEdit*>(c->Widget()); }

QStringList ToQList(const std::vector<std::string>& list) {
  QStringList out;
  for (const std::string& s : list) out << ToQ(s);
  return out;
}

// An open completion list holds the mouse: a click outside it would only close it. A click
// on a button of the window (Next, while the list still shows) closes the list and is that
// button's click as well.
class TClickThrough : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress) return false;
    auto* popup = static_cast<QWidget*>(watched);
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton || popup->rect().contains(press->position().toPoint())) return false;
    const QPoint global = press->globalPosition().toPoint();
    popup->hide();
    QPointer<QAbstractButton> button = qobject_cast<QAbstractButton*>(QApplication::widgetAt(global));
    if (!button || !TakesInput(button)) return true;
    QTimer::singleShot(0, button, [button] {
      if (button && TakesInput(button)) button->click();
    });
    return true;
  }
};

}  // namespace

TDirectoryEdit::TDirectoryEdit(TComponent* owner) : TEdit(owner, new TLineEdit) {
  QLineEdit* edit = EditOf(this);
  QAction* browse = edit->addAction(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon),
                                    QLineEdit::TrailingPosition);
  browse->setObjectName("browse");
  QObject::connect(browse, &QAction::triggered, edit, [this] {
    try {
      Browse();
    } catch (const std::exception& e) {
      HandleException(e);
    }
  });

  // The folder list follows the typing: only the typed folder's children are read.
  auto* model = new QStringListModel(edit);
  auto* completer = new QCompleter(model, edit);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  completer->setCaseSensitivity(Qt::CaseSensitive);
  edit->setCompleter(completer);
  completer->popup()->installEventFilter(new TClickThrough(completer->popup()));
  QObject::connect(edit, &QLineEdit::textEdited, edit,
                   [this, model] { model->setStringList(ToQList(Completions())); });
  ToolkitTextsChanged();
}

void TDirectoryEdit::ToolkitTextsChanged() {
  if (!Widget()) return;
  if (auto* browse = Widget()->findChild<QAction*>("browse"))
    browse->setToolTip(ToQ(core::LoadResString(SBrowseButtonHint)));
}

}  // namespace tarvo::ui
