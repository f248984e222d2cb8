#include "base/errors.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>

#include "base/ascii.h"
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
bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0, n = 0; i < s.size(); i += n)
    if ((n = Utf8ShapeLength(s, i)) == 0) return false;
  return true;
}

// A path as the message shows it: a UTF-8 name converted, any other name
// (a Shift-JIS one from a Windows archive) left as the bytes it is.
std::string PathForMessage(std::string_view path) {
  const std::string full = FullPath(path);
  return IsUtf8(full) ? Utf8ToCp932(full) : full;
}

// Text in `codeset` to UTF-8; what does not convert is dropped.
std::string ToUtf8(const std::string& text, const char* codeset) {
  if (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0) return text;
  const iconv_t cd = iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* to = out.data();
  std::size_t toLeft = out.size();
  while (inLeft > 0 && iconv(cd, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) {
    if (errno != EILSEQ && errno != EINVAL) break;
    ++in;  // skip the byte that does not convert
    --inLeft;
  }
  out.resize(out.size() - toLeft);
  return out;
}

// The common errors in Japanese whatever the locale, in the words glibc's
// Japanese catalogue uses, so the Japanese sentence around them reads as one.
const char* JapaneseErrorText(int err) {
  switch (err) {
    case ENOENT: return "そのようなファイルやディレクトリはありません";
    case EACCES: return "許可がありません";
    case EPERM: return "許可されていない操作です";
    case EISDIR: return "ディレクトリです";
    case ENOTDIR: return "ディレクトリではありません";
    case ENAMETOOLONG: return "ファイル名が長すぎます";
    case EIO: return "入力/出力エラーです";
    case ENOSPC: return "デバイスに空き領域がありません";
    case EDQUOT: return "ディスク使用量制限を超過しました";
    case EROFS: return "読み込み専用ファイルシステムです";
    case EEXIST: return "ファイルが存在します";
    case ELOOP: return "シンボリックリンクの階層が多すぎます";
    case EMFILE: return "ファイルを開きすぎです";
    case ENOMEM: return "メモリを確保できません";
    default: return nullptr;
  }
}

}  // namespace

std::string SystemErrorText(int err) {
  if (const char* ja = JapaneseErrorText(err)) return ja;
  // The user's locale from the environment, whether or not the program has
  // called setlocale: --dump runs without one, the window with Qt's.
  const std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)> loc(
      newlocale(LC_CTYPE_MASK | LC_MESSAGES_MASK, "", static_cast<locale_t>(nullptr)), freelocale);
  if (!loc) return std::strerror(err);
  return ToUtf8(strerror_l(err, loc.get()), nl_langinfo_l(CODESET, loc.get()));
}

std::string FullPath(std::string_view path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(std::filesystem::path(std::string(path)), ec);
  return ec ? std::string(path) : p.lexically_normal().string();
}

EConvertError EConvertError::NotAnInteger(std::string_view text) {
  return EConvertError(Format("'%s' は整数ではありません", text));
}

EFOpenError EFOpenError::Make(std::string_view path, int err) {
  return EFOpenError(Format("ファイル \"%s\". %s は開けません", PathForMessage(path), Utf8ToCp932(SystemErrorText(err))));
}

EFOpenError EFOpenError::TooLarge(std::string_view path) {
  return EFOpenError(Format("ファイル \"%s\" は大きすぎるため開けません（2,147,483,647 バイトまで）",
                            PathForMessage(path)));
}

EFCreateError EFCreateError::Make(std::string_view path, int err) {
  return EFCreateError(Format("ファイル \"%s\". %s を作成できません", PathForMessage(path), Utf8ToCp932(SystemErrorText(err))));
}

}  // namespace tarvo
