#include "app/Application.h"

#include <QMessageBox>

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
  // Messages name files and parts the sender named: never read as markup.
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarvo"), message, QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.exec();
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
