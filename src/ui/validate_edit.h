// A text field that accepts only the characters its display format allows; in integer
// format digits and one leading sign.
#pragma once

#include <cstdint>
#include <string>

#include "ui/controls.h"

namespace tarvo::ui {

enum TDisplayFormat { dfInteger };

class TValidateEdit : public TEdit {
  TARVO_PERSISTENT_CLASS(TValidateEdit)
public:
  explicit TValidateEdit(TComponent* owner);

  TDisplayFormat DisplayFormat() const noexcept { return FDisplayFormat; }
  const std::string& CheckChars() const noexcept { return FCheckChars; }
  void SetCheckChars(const std::string& chars) { FCheckChars = chars; }
  // The text as a decimal 64-bit number; 0 when it is empty or not a number.
  std::int64_t AsInteger() const;

  // Whether a typed character goes in: control characters always; a digit of CheckChars;
  // a sign only at the start, and only when the text has no sign yet or the selection that
  // the key replaces starts there.
  bool AcceptsKey(char32_t key, const std::string& text, int cursor, int selectionStart, int selectionLength) const;

private:
  TDisplayFormat FDisplayFormat = dfInteger;
  std::string FCheckChars = "0123456789";
};

}  // namespace tarvo::ui
