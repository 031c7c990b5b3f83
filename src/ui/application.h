// The application object and the screen: the message loop, the title that captions every
// error box, the default exception box, and the mouse cursor shown over the whole program.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "i18n/message_box.h"

namespace tarvo::ui {

class TForm;

enum TCursor : int { crDefault = 0, crHourGlass = -11 };

class TApplication {
public:
  // Starts the toolkit (unless the process already runs it) and routes the translation
  // service's boxes and the toolkit's own texts through the program's translation.
  TApplication(int& argc, char** argv);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  const std::string& Title() const noexcept { return FTitle; }
  void SetTitle(const std::string& title) { FTitle = title; }

  // Shows the main form and runs the message loop until it is closed.
  int Run(TForm* mainForm);
  // Handles the window messages waiting now, once, without waiting for more.
  void ProcessMessages();
  // The default exception box: the message in an error box captioned with the title.
  void ShowException(const std::string& message);

  // Runs after every ProcessMessages, for a driver that watches the window between steps
  // (the demo's walk takes its pictures here).
  std::function<void()> OnMessagesProcessed;

  // What the backend keeps for the running program (its own application object, COM);
  // defined by the backend only.
  struct TToolkit;
  struct TToolkitDeleter {
    void operator()(TToolkit* toolkit) const noexcept;
  };

private:
  std::string FTitle;
  std::unique_ptr<TToolkit, TToolkitDeleter> FToolkit;
  i18n::TMessageBoxFunc FPreviousBox;
};

// The running application object, or none.
TApplication* Application() noexcept;

// Shows an exception in the default exception box (standard error without an application).
void HandleException(const std::exception& e) noexcept;

class TScreen {
public:
  TCursor Cursor() const noexcept { return FCursor; }
  // Any other cursor than crDefault is shown over every window of the program.
  void SetCursor(TCursor cursor);

private:
  TCursor FCursor = crDefault;
};

TScreen& Screen() noexcept;

// Makes the toolkit draw without a display, for walks and tests; call before TApplication.
void UseOffscreenDisplay();

}  // namespace tarvo::ui
