// The program on Qt: its application object, the translator that gives Qt's own texts the
// program's catalogs, the message loop and the cursor.
#include <cstdlib>

#include <QApplication>
#include <QTranslator>

#include "i18n/translations.h"
#include "ui/backend.h"
#include "ui/qt/qt_text.h"

namespace tarvo::ui {

namespace {

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

struct TApplication::TToolkit {
  std::unique_ptr<QApplication> OwnedApp;
  TToolkitTranslator Translator;
};

void TApplication::TToolkitDeleter::operator()(TToolkit* toolkit) const noexcept {
  QCoreApplication::removeTranslator(&toolkit->Translator);
  delete toolkit;
}

TApplication::TToolkit* backend::StartToolkit(int& argc, char** argv) {
  auto toolkit = std::make_unique<TApplication::TToolkit>();
  if (!QApplication::instance()) toolkit->OwnedApp = std::make_unique<QApplication>(argc, argv);
  QCoreApplication::installTranslator(&toolkit->Translator);
  return toolkit.release();
}

int backend::RunMessageLoop() { return QApplication::exec(); }

void backend::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void backend::ShowCursor(TCursor previous, TCursor cursor) {
  if (previous != crDefault) QGuiApplication::restoreOverrideCursor();
  if (cursor == crHourGlass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else if (cursor != crDefault) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

void UseOffscreenDisplay() { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); }

QStringList UiFontFamilies(const std::string& name) {
  QStringList families{ToQ(name)};
  for (const char* lookAlike : {"Tahoma", "Noto Sans", "DejaVu Sans"})
    if (!families.contains(lookAlike)) families << lookAlike;
  return families;
}

}  // namespace tarvo::ui
