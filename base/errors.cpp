#include "base/errors.h"

#include <cstring>
#include <filesystem>

#include "base/cp932.h"

namespace tarvo {

namespace {
// Fills the %s markers of a UTF-8 pattern, in order, with CP932 arguments.
std::string Format(std::string_view utf8Pattern, std::string_view a, std::string_view b = {}) {
  const std::string pattern = Utf8ToCp932(utf8Pattern);
  std::string out;
  int arg = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      out += arg++ == 0 ? a : b;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}
}  // namespace

std::string FullPath(std::string_view path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(std::filesystem::path(std::string(path)), ec);
  return ec ? std::string(path) : p.lexically_normal().string();
}

EConvertError EConvertError::NotAnInteger(std::string_view text) {
  return EConvertError(Format("'%s' は整数ではありません", text));
}

EFOpenError EFOpenError::Make(std::string_view path, int err) {
  return EFOpenError(Format("ファイル \"%s\". %s は開けません", Utf8ToCp932(FullPath(path)), std::strerror(err)));
}

EFOpenError EFOpenError::TooLarge(std::string_view path) {
  return EFOpenError(Format("ファイル \"%s\" は大きすぎるため開けません（2,147,483,647 バイトまで）",
                            Utf8ToCp932(FullPath(path))));
}

EFCreateError EFCreateError::Make(std::string_view path, int err) {
  return EFCreateError(Format("ファイル \"%s\". %s を作成できません", Utf8ToCp932(FullPath(path)), std::strerror(err)));
}

}  // namespace tarvo
