#include "jcode/DString.h"

#include <unistd.h>

#include <climits>

#include "base/bytes.h"

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

namespace {

int OctetValue(std::string_view part) {
  if (part == "*") return -2;
  const int v = StrToIntDef(part, -1);
  return v > 255 ? -1 : v;
}

}  // namespace

void ParseIPOctets(std::string_view text, int& A, int& B, int& C, int& D) {
  A = B = C = D = -1;
  int* const firstThree[3] = {&A, &B, &C};
  std::size_t k = 0, start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '.') continue;
    // A fourth or later part that ends in a dot is dropped.
    if (k < 3) *firstThree[k] = OctetValue(text.substr(start, i - start));
    start = i + 1;
    ++k;
  }
  if (start < text.size()) D = OctetValue(text.substr(start));
}

std::int64_t IPTextToNumber(std::string_view text) {
  std::uint32_t octets[3] = {0, 0, 0};
  std::size_t k = 0, start = 0, i = 0;
  for (; i < text.size() && k < 4; ++i) {
    if (text[i] != '.') continue;
    if (k < 3) octets[k] = static_cast<std::uint32_t>(StrToInt(text.substr(start, i - start))) & 0xFF;
    start = i + 1;
    ++k;
  }
  // After a fourth dot the walk has stopped with nothing collected.
  const std::string_view last = k == 4 ? std::string_view() : text.substr(start);
  const std::uint32_t o4 = static_cast<std::uint32_t>(StrToInt(last)) & 0xFF;
  return static_cast<std::int64_t>((octets[0] << 24) | (octets[1] << 16) | (octets[2] << 8) | o4);
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
