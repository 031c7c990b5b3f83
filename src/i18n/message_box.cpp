#include "i18n/message_box.h"

#include <cstdio>
#include <mutex>

namespace tarvo::i18n {

namespace {
std::mutex gBoxLock;
TMessageBoxFunc gBox;

int StdErrBox(const std::string& text, const std::string& caption, unsigned /*flags*/) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return 1;
}
}  // namespace

TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc func) {
  std::lock_guard lock(gBoxLock);
  TMessageBoxFunc previous = std::move(gBox);
  gBox = std::move(func);
  return previous;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  TMessageBoxFunc box;
  {
    std::lock_guard lock(gBoxLock);
    box = gBox;
  }
  return box ? box(text, caption, flags) : StdErrBox(text, caption, flags);
}

}  // namespace tarvo::i18n
