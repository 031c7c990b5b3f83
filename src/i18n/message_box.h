// The one place where the translation service shows a message to the user (a catalog
// without UTF-8, a misused TranslateComponent). The window toolkit installs its own box;
// without one the message goes to standard error.
#pragma once

#include <functional>
#include <string>

namespace tarvo::i18n {

// Flag values of the platform box, for those who pass them on.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_SYSTEMMODAL = 0x1000;

// Shows text with a caption; answers the identifier of the button pressed (1 for OK).
using TMessageBoxFunc = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

// Installs a box (empty restores the default) and returns the previous one.
TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc func);
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

}  // namespace tarvo::i18n
