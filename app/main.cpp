// Tarvo: a look inside one stored e-mail message.
#include <cstring>
#include <iostream>
#include <string>

#include "app/dump.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarvo [FILE]          open the window, loading FILE when it exists\n"
    "       tarvo --dump FILE     print the views of FILE as JSON (exit 1 on error)\n"
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
  std::cerr << kUsage;
  return 2;
}
