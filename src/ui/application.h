// The application object and the screen: the message loop, the title that captions every
// error box, the default exception box, and the mouse cursor shown over the whole program.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include <QStringList>

#include "i18n/message_box.h"

class QApplication;
class QTranslator;

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

private:
  std::string FTitle;
  std::unique_ptr<QApplication> FOwnedApp;
  std::unique_ptr<QTranslator> FTranslator;
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

// The font families to ask for, best first: the window definition's family, then look-alikes
// that Linux desktops carry.
QStringList UiFontFamilies(const std::string& name);

}  // namespace tarvo::ui
