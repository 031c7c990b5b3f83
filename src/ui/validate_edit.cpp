#include "ui/validate_edit.h"

#include <charconv>

namespace tarvo::ui {

namespace {
bool IsSign(char32_t c) { return c == U'+' || c == U'-'; }
}  // namespace

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

}  // namespace tarvo::ui
