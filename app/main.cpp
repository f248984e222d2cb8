// Tarvo: a look inside one stored e-mail message.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp932.h"
#include "base/memory.h"
#include "checks/trust.h"
#include "route/asn.h"
#include "route/lookup.h"
#include "views/batch.h"
#include "views/dump.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarvo [FILE]          open the window, loading FILE when it exists\n"
    "       tarvo --trust ID ...  before the rest: results of authserv-id ID count (repeatable)\n"
    "       tarvo --dump FILE     print the views of FILE as JSON (exit 1 on error)\n"
    "       tarvo --dump [--jobs N] [--only KEY,...] PATH...  every message of files, folders (Maildir too) and mbox\n"
    "                             files, \"-\" for paths on standard input: one JSON object a line; a summary\n"
    "                             line on standard error, and progress when it is a terminal; --only writes those keys\n"
    "       tarvo --save-parts FILE DIR  write every named part of FILE into DIR\n"
    "       tarvo --save-html FILE OUT  write the HTML part of FILE, made safe to open, into the new file OUT\n"
    "       tarvo --country IP    print the country of an IP address (and the lookup's note)\n"
    "       tarvo --version       print the version\n"
    "       tarvo --help          print this text\n";

// The window lives in a module beside the program (the build tree) or in
// the library folder it was installed with; only opening it loads Qt.
std::vector<std::string> WindowModulePaths() {
  char exe[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string dir = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
  dir = dir.substr(0, dir.find_last_of('/') + 1);
  return {dir + TARVO_WINDOW_MODULE, dir + "../" TARVO_WINDOW_DIR "/" TARVO_WINDOW_MODULE};
}

int RunWindow(int argc, char** argv) {
  std::string error;
  for (const std::string& path : WindowModulePaths()) {
    if (::access(path.c_str(), F_OK) != 0) continue;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // kept until the process ends
    if (!module) {
      error = ::dlerror();
      continue;
    }
    using TRunWindow = int (*)(int, char**);
    if (auto run = reinterpret_cast<TRunWindow>(::dlsym(module, "tarvo_run_window"))) return run(argc, argv);
    error = ::dlerror();
  }
  std::cerr << "ウィンドウを開けません (" << TARVO_WINDOW_MODULE << "): " << (error.empty() ? "見つかりません" : error)
            << "\n";
  return 1;
}

// --trust ID ... before the rest: taken off the arguments.
void TakeTrustOptions(std::vector<char*>& args) {
  std::vector<std::string> trusted;
  while (args.size() >= 3 && std::strcmp(args[1], "--trust") == 0) {
    trusted.emplace_back(args[2]);
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  tarvo::SetTrustedAuthServIds(std::move(trusted));
}

// --only KEY,KEY...: false for a key --dump does not know.
bool TakeOnlyKeys(const char* list, std::vector<std::string>& keys) {
  for (std::string_view rest = list; !rest.empty();) {
    const std::string_view key = rest.substr(0, rest.find(','));
    rest.remove_prefix(std::min(rest.size(), key.size() + 1));
    if (!tarvo::IsDumpKey(key)) {
      std::cerr << "--only: 知らないキーです: " << key << "\n";
      return false;
    }
    keys.emplace_back(key);
  }
  return !keys.empty();
}

// --dump [--jobs N] [--only KEY,...] PATH...
int RunDump(int argc, char** argv) {
  std::vector<std::string> paths;
  tarvo::TDumpOptions options;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--only") == 0) {
      if (i + 1 >= argc || !TakeOnlyKeys(argv[++i], options.Only)) {
        std::cerr << kUsage;
        return 2;
      }
      continue;
    }
    if (std::strcmp(argv[i], "--jobs") != 0) {
      paths.emplace_back(argv[i]);
      continue;
    }
    char* end = nullptr;
    const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
    if (n < 1 || n > 1024 || *end != '\0') {
      std::cerr << kUsage;
      return 2;
    }
    options.Jobs = static_cast<unsigned>(n);
    ++i;
  }
  if (paths.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  // The summary goes to standard error whatever it is, so a log keeps it;
  // standard output holds nothing but the objects.
  options.Summary = &std::cerr;
  if (::isatty(STDERR_FILENO)) options.Progress = &std::cerr;
  return tarvo::DumpPaths(paths, options, std::cin, std::cout);
}

// --country IP
int RunCountry(const char* ip) {
  const tarvo::TCountryAnswer a = tarvo::IPToCountry(ip);
  std::cout << tarvo::Cp932ToUtf8(a.Country, tarvo::TDecodeMode::Replace) << "\n";
  if (a.NotFound) std::cout << tarvo::kNotFoundNote << "\n";
  // The network owner is always the third line: an empty second one stands
  // in for a missing note.
  if (const std::string as = tarvo::IPToNetwork(ip); !as.empty())
    std::cout << (a.NotFound ? "" : "\n") << as << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::ReserveHugePageHeap();
  std::vector<char*> args(argv, argv + argc);
  TakeTrustOptions(args);
  argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  argv = args.data();
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kUsage;
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "Tarvo " << TARVO_FILE_VERSION << "\n";
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--dump") == 0) {
    return RunDump(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--save-parts") == 0) {
    if (argc < 4) {
      std::cerr << kUsage;
      return 2;
    }
    return tarvo::SaveMailParts(argv[2], argv[3], std::cout, std::cerr);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--save-html") == 0) {
    if (argc < 4) {
      std::cerr << kUsage;
      return 2;
    }
    return tarvo::SaveMailHtml(argv[2], argv[3], std::cerr);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--country") == 0) {
    if (argc < 3) {
      std::cerr << kUsage;
      return 2;
    }
    return RunCountry(argv[2]);
  }
  // An option of ours that is not known must not be taken for a file name:
  // the window would open a display for it.
  if (argc >= 2 && std::strncmp(argv[1], "--", 2) == 0) {
    std::cerr << kUsage;
    return 2;
  }
  return RunWindow(argc, argv);
}
