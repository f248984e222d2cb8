// The window's entry, in the module the program loads when it opens one.
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/AboutBox.h"

// Start-up: the application, the main window (which loads the first
// argument while it is created), then the message loop until it closes.
// The arguments are taken as bytes before Qt takes its own options out of
// argv, so `tarvo -reverse FILE` sees "-reverse" first, as a user reads it.
extern "C" __attribute__((visibility("default"))) int tarvo_run_window(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  tarvo::TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvo"));
  QApplication::setApplicationVersion(QStringLiteral(TARVO_FILE_VERSION));
  QApplication::setOrganizationName(QStringLiteral("Tarvo Project"));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarvo"));  // the installed menu entry and icon
  tarvo::InstallJapaneseTranslations();
  tarvo::TMainWindow form(args);
  tarvo::TAboutBox about;  // hidden until "&About"
  form.SetAboutBox(&about);
  form.show();
  return app.exec();
}
