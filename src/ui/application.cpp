#include "ui/application.h"

#include <cstdio>

#include "core/exception.h"
#include "ui/backend.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace tarvo::ui {

namespace {
TApplication* g_application = nullptr;
}  // namespace

TApplication::TApplication(int& argc, char** argv) : FToolkit(backend::StartToolkit(argc, argv)) {
  FPreviousBox = i18n::SetMessageBoxFunc(
      [](const std::string& text, const std::string& caption, unsigned flags) { return MessageBox(text, caption, flags); });
  g_application = this;
}

TApplication::~TApplication() {
  g_application = nullptr;
  i18n::SetMessageBoxFunc(std::move(FPreviousBox));
}

int TApplication::Run(TForm* mainForm) {
  if (!mainForm) return 0;
  mainForm->Show();
  return backend::RunMessageLoop();
}

void TApplication::ProcessMessages() {
  backend::ProcessMessages();
  if (OnMessagesProcessed) OnMessagesProcessed();
}

void TApplication::ShowException(const std::string& message) {
  MessageBox(message, FTitle, i18n::MB_OK | i18n::MB_ICONERROR);
}

TApplication* Application() noexcept { return g_application; }

void HandleException(const std::exception& e) noexcept {
  const auto* own = dynamic_cast<const core::Exception*>(&e);
  const std::string message = own ? own->Message() : std::string(e.what());
  try {
    if (g_application) {
      g_application->ShowException(message);
      return;
    }
  } catch (...) {
  }
  std::fprintf(stderr, "%s\n", message.c_str());
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == FCursor) return;
  backend::ShowCursor(FCursor, cursor);
  FCursor = cursor;
}

TScreen& Screen() noexcept {
  static TScreen screen;
  return screen;
}

}  // namespace tarvo::ui
