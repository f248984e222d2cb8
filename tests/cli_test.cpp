// Wrong uses of the command line end with the usage and exit code 2, before
// anything could open a display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct Outcome {
  std::string text;  // standard output and error
  int code;
};

// No display at all, and the X11 plug-in forced: a window that were opened
// would abort in Qt, not exit with 2.
Outcome RunWithoutDisplay(const std::string& args) {
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " + std::string(TARVO_BINARY) +
                          " " + args + " 2>&1 </dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
  Outcome r{{}, -1};
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p.get())) > 0) r.text.append(buf, n);
  const int status = pclose(p.release());
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

TEST(CommandLine, WrongUsePrintsTheUsageAndExits2) {
  for (const char* args : {"--bogus", "--bogus x.eml", "--Dump x.eml", "--dump", "--country", "--save-parts x.eml",
                           "--trust id --nonsense", "--dump --only", "--dump --only Memo1"}) {
    const Outcome r = RunWithoutDisplay(args);
    EXPECT_EQ(r.code, 2) << args << "\n" << r.text;
    EXPECT_EQ(r.text.rfind("Usage: tarvo", 0), 0u) << args << "\n" << r.text;
  }
}

TEST(CommandLine, UnknownDumpKeyIsNamed) {
  for (const char* args : {"--dump --only Memo1,Bogus x.eml", "--dump --only Memo1,,Parts x.eml"}) {
    const Outcome r = RunWithoutDisplay(args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_EQ(r.text.rfind("--only: 知らないキーです: ", 0), 0u) << r.text;
    EXPECT_NE(r.text.find("Usage: tarvo"), std::string::npos) << r.text;
  }
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
  const Outcome help = RunWithoutDisplay("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.text.rfind("Usage: tarvo", 0), 0u) << help.text;
  const Outcome version = RunWithoutDisplay("--version");
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.text.rfind("Tarvo 1.", 0), 0u) << version.text;
}

}  // namespace
