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
// Shows the box now, or, while a TDeferredMessageBoxes lives on this thread, holds it back
// and answers 1 (OK).
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// Holds back the boxes this thread shows while it lives; the outermost one shows them, in
// order, when it ends. A modal box runs a nested event loop, and whatever that loop runs
// may need a lock the caller holds: declare one of these before taking such a lock.
class TDeferredMessageBoxes {
public:
  TDeferredMessageBoxes() noexcept;
  ~TDeferredMessageBoxes();
  TDeferredMessageBoxes(const TDeferredMessageBoxes&) = delete;
  TDeferredMessageBoxes& operator=(const TDeferredMessageBoxes&) = delete;
};

}  // namespace tarvo::i18n
