#include "jcode/DString.h"

#include <unistd.h>

#include <climits>

namespace tarvo {

std::string TwoDigitNumber(std::int32_t n) {
  std::string s = std::to_string(n);
  return s.size() == 1 ? "0" + s : s;
}

std::string AddTrailingBackslash(std::string_view path) {
  std::string s(path);
  if (s.empty() || s.back() != '\\') s += '\\';
  return s;
}

std::string ProgramFolder() {
  // A backslash would name a different file on Linux, so the folder ends in '/'.
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  const std::size_t slash = exe.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace tarvo
