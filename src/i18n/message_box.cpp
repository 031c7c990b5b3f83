#include "i18n/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace tarvo::i18n {

namespace {
std::mutex gBoxLock;
TMessageBoxFunc gBox;

struct THeldBox {
  std::string Text, Caption;
  unsigned Flags;
};
thread_local int tDeferDepth = 0;
thread_local std::vector<THeldBox> tHeld;

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
  if (tDeferDepth > 0) {
    tHeld.push_back(THeldBox{text, caption, flags});
    return 1;
  }
  TMessageBoxFunc box;
  {
    std::lock_guard lock(gBoxLock);
    box = gBox;
  }
  return box ? box(text, caption, flags) : StdErrBox(text, caption, flags);
}

TDeferredMessageBoxes::TDeferredMessageBoxes() noexcept { ++tDeferDepth; }

TDeferredMessageBoxes::~TDeferredMessageBoxes() {
  if (--tDeferDepth > 0) return;
  std::vector<THeldBox> held = std::exchange(tHeld, {});
  for (const THeldBox& b : held) {
    try {
      ShowMessageBox(b.Text, b.Caption, b.Flags);
    } catch (...) {
      // A box that fails to show has nothing to tell us; the next ones still show.
    }
  }
}

}  // namespace tarvo::i18n
