// Tarvo: a look inside one stored e-mail message.
#include <cstring>
#include <iostream>
#include <string>

#include "app/dump.h"
#include "base/cp932.h"
#include "base/strlist.h"
#include "route/lookup.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarvo [FILE]          open the window, loading FILE when it exists\n"
    "       tarvo --dump FILE     print the views of FILE as JSON (exit 1 on error)\n"
    "       tarvo --country IP    print the country of an IP address (and the lookup's note)\n"
    "       tarvo --version       print the version\n"
    "       tarvo --help          print this text\n";

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
  if (argc >= 2 && std::strcmp(argv[1], "--country") == 0) {
    if (argc < 3) {
      std::cerr << kUsage;
      return 2;
    }
    tarvo::TStringList notes;
    std::cout << tarvo::Cp932ToUtf8(tarvo::IPToCountry(argv[2], notes), tarvo::TDecodeMode::Replace) << "\n";
    for (const std::string& n : notes.Lines) std::cout << n << "\n";
    return 0;
  }
  std::cerr << kUsage;
  return 2;
}
