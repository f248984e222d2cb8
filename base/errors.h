// The two kinds of error that travel through the system: the file layer's
// open/create errors and the integer conversion error. Messages are CP932.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvo {

class ETarvoError : public std::runtime_error {
 public:
  explicit ETarvoError(const std::string& cp932Message) : std::runtime_error(cp932Message) {}
};

class EConvertError : public ETarvoError {
 public:
  using ETarvoError::ETarvoError;
  // "'%s' は整数ではありません"
  static EConvertError NotAnInteger(std::string_view text);
};

class EFOpenError : public ETarvoError {
 public:
  using ETarvoError::ETarvoError;
  // "ファイル "%s". %s は開けません" with the full path and strerror(err).
  static EFOpenError Make(std::string_view path, int err);
  // A file too large for a message's 32-bit offsets, refused before reading.
  static EFOpenError TooLarge(std::string_view path);
};

class EFCreateError : public ETarvoError {
 public:
  using ETarvoError::ETarvoError;
  // "ファイル "%s". %s を作成できません"
  static EFCreateError Make(std::string_view path, int err);
};

// The system's text for an error number, UTF-8: in Japanese for the common
// errors (not found, permission, folder, name too long, I/O, disk full,
// read-only...) whatever the locale; the rest in the user's locale (LANG, LC_*).
[[nodiscard]] std::string SystemErrorText(int err);

// The full path of a file name, as the error messages show it.
[[nodiscard]] std::string FullPath(std::string_view path);

}  // namespace tarvo
