// A test letter with a JIS text part, a PDF and a JPEG with a Japanese name,
// and the bytes its sender attached.
#pragma once
#include <string>

#include "jcode/jconvert.h"

namespace tarvo::testing {

// Base64 in lines of 76, as mailers send it.
inline std::string Wrapped64(const std::string& bytes) {
  const std::string b = Base64Encode(bytes);
  std::string out;
  for (std::size_t i = 0; i < b.size(); i += 76) out += b.substr(i, 76) + "\r\n";
  return out;
}

inline std::string PdfBytes() {
  std::string s = "%PDF-1.4\n";
  for (int i = 0; i < 3000; ++i) s += static_cast<char>((i * 31) & 0xFF);
  return s + "\n%%EOF\n";
}

inline std::string JpegBytes() {
  std::string s = "\xFF\xD8\xFF\xE0";
  s += std::string("\0\x10JFIF\0", 8);
  for (int i = 0; i < 777; ++i) s += static_cast<char>((i * 13 + 5) & 0xFF);
  return s + "\xFF\xD9";
}

// A letter with a JIS text, a PDF and a JPEG with a Japanese name.
inline std::string LetterWithAttachments() {
  return "From: a@example.jp\r\nSubject: test\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n"
         "This is a multi-part message in MIME format.\r\n\r\n"
         "--XYZ\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
         "\x1b$B$3$s$K$A$O\x1b(B\r\n"
         "--XYZ\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment;\r\n\tfilename=\"report.pdf\"\r\n\r\n" +
         Wrapped64(PdfBytes()) +
         "--XYZ\r\nContent-Type: image/jpeg;\r\n name=\"=?UTF-8?B?5YaZ55yfLmpwZw==?=\"\r\nContent-ID: <p1@x>\r\n"
         "Content-Transfer-Encoding: BASE64\r\n"
         "Content-Disposition: inline; filename*=UTF-8''%E5%86%99%E7%9C%9F.jpg\r\n\r\n" +
         Wrapped64(JpegBytes()) + "--XYZ--\r\n";
}

}  // namespace tarvo::testing
