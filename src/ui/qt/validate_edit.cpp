#include "ui/validate_edit.h"

#include <charconv>

#include <QKeyEvent>

#include "ui/qt/line_edit.h"
#include "ui/qt/qt_text.h"

namespace tarvo::ui {

namespace {

class TValidateLineEdit : public TLineEdit {
public:
  explicit TValidateLineEdit(const TValidateEdit* owner) : FOwner(owner) {}

protected:
  void keyPressEvent(QKeyEvent* event) override {
    const QString typed = event->text();
    if (!typed.isEmpty()) {
      const std::string text = FromQ(this->text());
      const int start = hasSelectedText() ? selectionStart() : cursorPosition();
      const int length = hasSelectedText() ? selectionLength() : 0;
      for (char32_t key : typed.toUcs4()) {
        if (!FOwner->AcceptsKey(key, text, cursorPosition(), start, length)) {
          event->accept();  // dropped
          return;
        }
      }
    }
    TLineEdit::keyPressEvent(event);
  }

private:
  const TValidateEdit* FOwner;
};

}  // namespace

TValidateEdit::TValidateEdit(TComponent* owner) : TEdit(owner, new TValidateLineEdit(this)) {
  static_cast<QLineEdit*>(Widget())->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace tarvo::ui
