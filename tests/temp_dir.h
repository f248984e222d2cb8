// Test files go into a folder of the test's own, never into fixed names in
// the shared temporary folder: a second user or checkout running the tests at
// the same time, or stale files of an earlier run, must not meet them.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tarvo::testing {

// A fresh folder (mode 0700) under the system's temporary folder, removed
// with all it holds when the object goes.
class TTempDir {
 public:
  TTempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "tarvo-test-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder: " + name);
    path_ = name;
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The folder of this test process. CTest runs every test in a process of its
// own, so this is the test's own folder; it goes when the process ends.
inline const TTempDir& ProcessTempDir() {
  static const TTempDir dir;
  return dir;
}

// Writes bytes to a file; a write that fails throws, which fails the test.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace tarvo::testing
