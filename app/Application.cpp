#include "app/Application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "app/Display.h"

namespace tarvo {

namespace {
TErrorMessageHook& Hook() {
  static TErrorMessageHook hook;
  return hook;
}
}  // namespace

void SetErrorMessageHook(TErrorMessageHook hook) { Hook() = std::move(hook); }

void ShowErrorMessage(const QString& message) {
  if (Hook()) {
    Hook()(message);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Tarvo"), message);
}

void ShowException(std::exception_ptr error) {
  QString message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    message = ToDisplay(e.what());
  } catch (...) {
    message = QStringLiteral("不明なエラーが発生しました");
  }
  ShowErrorMessage(message);
}

bool InstallJapaneseTranslations() {
  static QTranslator translator;  // lives as long as the application uses it
  if (!translator.isEmpty()) return true;
  if (!translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  return QCoreApplication::installTranslator(&translator);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    try {
      ShowException(std::current_exception());
    } catch (...) {
      // Nothing may leave notify(); a failing error box is dropped.
    }
    return false;
  }
}

}  // namespace tarvo
