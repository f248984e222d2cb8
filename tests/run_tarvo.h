// Runs the program itself for the command-line tests.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "tests/temp_dir.h"
#include "views/dump.h"

namespace tarvo::testing {

struct RunResult {
  std::string out;  // standard output
  int code;         // exit code
};

inline RunResult RunTarvo(const std::string& args) {
  const std::string cmd = std::string(TARVO_BINARY) + " " + args + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
  RunResult r{{}, -1};
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p.get())) > 0) r.out.append(buf, n);
  r.code = WEXITSTATUS(pclose(p.release()));
  return r;
}

// Writes bytes to a file in the test's own folder and returns its path.
inline std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::filesystem::path p = ProcessTempDir() / name;
  WriteFile(p, bytes);
  return p.string();
}

// The --dump output of a file, written in this process.
inline std::string DumpOf(const std::string& path) {
  std::ostringstream out;
  DumpMailFile(path, out);
  return out.str();
}

}  // namespace tarvo::testing
