// Tarvo: a look inside one stored e-mail message.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "views/dump.h"
#include "base/cp932.h"
#include "base/strlist.h"
#include "route/asn.h"
#include "route/lookup.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarvo [FILE]          open the window, loading FILE when it exists\n"
    "       tarvo --dump FILE     print the views of FILE as JSON (exit 1 on error)\n"
    "       tarvo --save-parts FILE DIR  write every named part of FILE into DIR\n"
    "       tarvo --country IP    print the country of an IP address (and the lookup's note)\n"
    "       tarvo --version       print the version\n"
    "       tarvo --help          print this text\n";

// Start-up: the application, the main window (which loads the first
// argument while it is created), then the message loop until it closes.
// The arguments are taken as bytes before Qt takes its own options out of
// argv, so `tarvo -reverse FILE` sees "-reverse" first, as a user reads it.
int RunWindow(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  tarvo::TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvo"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
  QApplication::setOrganizationName(QStringLiteral("Tarvo Project"));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarvo"));  // the installed menu entry and icon
  tarvo::TForm1 form(args);
  tarvo::TAboutBox about;  // hidden until "&About"
  form.SetAboutBox(&about);
  form.show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "Tarvo " << TARVO_FILE_VERSION << "\n";
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--dump") == 0) {
    if (argc < 3) {
      std::cerr << kUsage;
      return 2;
    }
    return tarvo::DumpMailFile(argv[2], std::cout);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--save-parts") == 0) {
    if (argc < 4) {
      std::cerr << kUsage;
      return 2;
    }
    return tarvo::SaveMailParts(argv[2], argv[3], std::cout, std::cerr);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--country") == 0) {
    if (argc < 3) {
      std::cerr << kUsage;
      return 2;
    }
    const tarvo::TCountryAnswer a = tarvo::IPToCountry(argv[2]);
    std::cout << tarvo::Cp932ToUtf8(a.Country, tarvo::TDecodeMode::Replace) << "\n";
    if (a.NotFound) std::cout << tarvo::kNotFoundNote << "\n";
    // The network owner is always the third line: an empty second one stands
    // in for a missing note.
    if (const std::string as = tarvo::IPToNetwork(argv[2]); !as.empty())
      std::cout << (a.NotFound ? "" : "\n") << as << "\n";
    return 0;
  }
  return RunWindow(argc, argv);
}
