#include "ui/validate_edit.h"

#include <charconv>

#include <QKeyEvent>

#include "ui/line_edit.h"
#include "ui/qt_text.h"

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

bool IsSign(char32_t c) { return c == U'+' || c == U'-'; }

}  // namespace

TValidateEdit::TValidateEdit(TComponent* owner) : TEdit(owner, new TValidateLineEdit(this)) {
  static_cast<QLineEdit*>(Widget())->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

bool TValidateEdit::AcceptsKey(char32_t key, const std::string& text, int cursor, int selectionStart,
                               int selectionLength) const {
  if (key < 0x20 || key == 0x7F) return true;
  if (key < 0x80 && FCheckChars.find(static_cast<char>(key)) != std::string::npos) return true;
  if (!IsSign(key)) return false;
  if (selectionLength > 0) return selectionStart == 0;
  const bool hasSign = !text.empty() && IsSign(static_cast<unsigned char>(text.front()));
  return cursor == 0 && !hasSign;
}

std::int64_t TValidateEdit::AsInteger() const {
  std::string text = Text();
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.erase(0, 1);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() ? value : 0;
}

const core::TClassInfo& TValidateEdit::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TValidateEdit", &::tarvo::core::ClassInfoOf<TEdit>(), {}};
  return info;
}

}  // namespace tarvo::ui
