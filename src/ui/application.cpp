#include "ui/application.h"

#include <cstdio>

#include <QApplication>
#include <QTranslator>

#include "core/exception.h"
#include "i18n/translations.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/qt_text.h"

namespace tarvo::ui {

namespace {

TApplication* g_application = nullptr;

// Qt's own texts (the folder browser's inner labels, for one) through the program's
// catalogs; a text without a translation keeps Qt's.
class TToolkitTranslator : public QTranslator {
public:
  QString translate(const char*, const char* source, const char*, int) const override {
    if (!source || !*source) return {};
    const std::string translated = i18n::TranslateForResources(source);
    return translated == source ? QString() : ToQ(translated);
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) {
  if (!QApplication::instance()) FOwnedApp = std::make_unique<QApplication>(argc, argv);
  FTranslator = std::make_unique<TToolkitTranslator>();
  QCoreApplication::installTranslator(FTranslator.get());
  FPreviousBox = i18n::SetMessageBoxFunc(
      [](const std::string& text, const std::string& caption, unsigned flags) { return MessageBox(text, caption, flags); });
  g_application = this;
}

TApplication::~TApplication() {
  g_application = nullptr;
  i18n::SetMessageBoxFunc(std::move(FPreviousBox));
  QCoreApplication::removeTranslator(FTranslator.get());
}

int TApplication::Run(TForm* mainForm) {
  if (!mainForm) return 0;
  mainForm->Show();
  return QApplication::exec();
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

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
  if (FCursor != crDefault) QGuiApplication::restoreOverrideCursor();
  if (cursor == crHourGlass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else if (cursor != crDefault) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  FCursor = cursor;
}

TScreen& Screen() noexcept {
  static TScreen screen;
  return screen;
}

QStringList UiFontFamilies(const std::string& name) {
  QStringList families{ToQ(name)};
  for (const char* lookAlike : {"Tahoma", "Noto Sans", "DejaVu Sans"})
    if (!families.contains(lookAlike)) families << lookAlike;
  return families;
}

}  // namespace tarvo::ui
