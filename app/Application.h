// The application object and its error handler: an exception that escapes an
// event handler is shown in an error box and the program goes on.
#pragma once
#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace tarvo {

// Where error messages go; an empty hook means QMessageBox::critical.
using TErrorMessageHook = std::function<void(const QString& message)>;
void SetErrorMessageHook(TErrorMessageHook hook);

// Shows one message through the hook (or the box).
void ShowErrorMessage(const QString& message);
// Shows an exception's message, what() decoded from CP932.
void ShowException(std::exception_ptr error);

// Runs a handler; whatever it throws is shown and goes no further.
template <class F>
void RunGuarded(F&& handler) {
  try {
    std::forward<F>(handler)();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

// Qt's own dialogs (open, save, folders, message box buttons) in Japanese,
// from Qt's translations (Debian's qt6-translations-l10n), whatever the
// locale: the window's texts are Japanese. False when they are not installed.
bool InstallJapaneseTranslations();

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  // Every event goes through here; an exception stops at this frame.
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tarvo
