#include "mail/parts.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "hash/Digest.h"
#include "jcode/charset.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

// ---- the name warnings ----

enum class TRisk { None, Program, Script, Macro };

TRisk RiskOf(std::string_view ext) {
  static const std::string_view programs[] = {
      "exe", "scr", "com", "pif", "bat", "cmd", "cpl", "msi", "msp", "msc", "dll", "lnk", "reg", "hta", "jar",
      "inf", "scf", "gadget", "application", "appx", "msix", "iso", "img", "vhd", "vhdx", "chm", "one", "xll"};
  static const std::string_view scripts[] = {"js", "jse", "vbs", "vbe", "wsf", "wsh", "ps1", "psm1", "sh"};
  static const std::string_view macros[] = {"docm", "dotm", "xlsm", "xltm", "xlam", "pptm", "potm", "ppsm", "sldm"};
  for (auto e : programs)
    if (ext == e) return TRisk::Program;
  for (auto e : scripts)
    if (ext == e) return TRisk::Script;
  for (auto e : macros)
    if (ext == e) return TRisk::Macro;
  return TRisk::None;
}

const char* Noun(TRisk r) {
  switch (r) {
    case TRisk::Script: return "スクリプト";
    case TRisk::Macro: return "マクロ付きの文書";
    default: return "プログラム";
  }
}

// Extensions people trust: documents, pictures, archives, text.
bool LooksHarmless(std::string_view ext) {
  static const std::string_view exts[] = {
      "pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "txt", "rtf", "csv", "jpg", "jpeg", "png", "gif",
      "bmp", "tif", "tiff", "heic", "webp", "zip", "lzh", "7z", "rar", "htm", "html", "mp3", "mp4", "wav",
      "mov", "avi", "eml", "xml", "odt", "ods", "odp", "jtd"};
  for (auto e : exts)
    if (ext == e) return true;
  return false;
}

// Declared types that say "a document or a picture", not "a program".
bool TypeDisguises(std::string_view type) {
  const auto starts = [&](std::string_view p) { return type.substr(0, p.size()) == p; };
  if (starts("image/") || starts("audio/") || starts("video/")) return true;
  if (starts("text/")) return type.find("script") == std::string_view::npos;
  if (type.find("macroenabled") != std::string_view::npos) return false;
  return type == "application/pdf" || type == "application/msword" || type == "application/rtf" ||
         type == "application/vnd.ms-excel" || type == "application/vnd.ms-powerpoint" ||
         type == "application/zip" || starts("application/vnd.openxmlformats-officedocument.") ||
         starts("application/vnd.oasis.opendocument.");
}

// The extensions of a name, last first, lower-case; Windows ignores
// trailing dots and blanks, so they do not end an extension here either.
std::vector<std::string> Extensions(std::string_view name) {
  std::vector<std::string> exts;
  while (exts.size() < 2) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) break;
    exts.push_back(LowerAscii(TrimFws(name.substr(dot + 1))));
    name = name.substr(0, dot);
  }
  return exts;
}

}  // namespace

std::string PartNameWarning(std::string_view name, std::string_view contentType) {
  // U+202A..U+202E and U+2066..U+2069 turn the text around on screen.
  for (std::size_t i = 0; i + 2 < name.size(); ++i) {
    const auto b1 = static_cast<unsigned char>(name[i + 1]), b2 = static_cast<unsigned char>(name[i + 2]);
    if (static_cast<unsigned char>(name[i]) == 0xE2 &&
        ((b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) || (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)))
      return "ファイル名に文字の並びを逆向きにする制御文字が含まれています。拡張子を偽っている可能性があります。";
  }
  const std::vector<std::string> exts = Extensions(name);
  if (exts.empty()) return {};
  const TRisk risk = RiskOf(exts[0]);
  if (risk == TRisk::None) return {};
  const std::string type = LowerAscii(TrimFws(contentType));
  if (exts.size() > 1 && LooksHarmless(exts[1]))
    return "二重拡張子です。「." + exts[1] + "」に見せかけた" + Noun(risk) + "（." + exts[0] +
           "）の可能性があります。開かないでください。";
  if (TypeDisguises(type))
    return "宣言された形式（" + type + "）と拡張子（." + exts[0] + "）が合いません。" + Noun(risk) +
           "を別の形式に見せかけている可能性があります。";
  return std::string(Noun(risk)) + "（." + exts[0] + "）です。送り主が確かでない限り開かないでください。";
}

bool IsTextPart(const TMailPart& part) {
  return part.ContentType.compare(0, 5, "text/") == 0 || part.ContentType == "message/rfc822";
}

TStringList PartTextLines(const TMailPart& part) {
  TStringList lines;
  if (!part.Charset.empty()) {
    if (auto utf8 = DecodeCharsetToUtf8(part.Bytes(), part.Charset)) {
      lines.AddText(*utf8);
      return lines;
    }
  }
  TStringList raw;
  raw.AddText(part.Bytes());
  for (const std::string& line : raw.Lines) lines.Add(LineToUtf8(line));
  return lines;
}

TPartDigests::TPartDigests()
    : md5_(TDigestKind::Md5), sha1_(TDigestKind::Sha1), sha256_(TDigestKind::Sha256) {}

void TPartDigests::Update(std::string_view bytes) {
  // A slice small enough to stay in the first-level caches between the three reads.
  constexpr std::size_t kSlice = 16 * 1024;
  for (std::size_t i = 0; i < bytes.size(); i += kSlice) {
    const std::string_view slice = bytes.substr(i, kSlice);
    md5_.Update(slice);
    sha1_.Update(slice);
    sha256_.Update(slice);
  }
  size_ += bytes.size();
}

void TPartDigests::Finish(TMailPart& part) {
  part.Size = size_;
  part.Md5 = LowerHex(md5_.Finish());
  part.Sha1 = LowerHex(sha1_.Finish());
  part.Sha256 = LowerHex(sha256_.Finish());
  size_ = 0;
}

TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields) {
  TMailPart part;
  part.Index = index;
  part.Name = std::move(fields.Name);
  part.ContentType = std::move(fields.ContentType);
  // Unknown disposition types count as attachment (RFC 2183).
  part.Disposition = fields.Disposition.empty() || fields.Disposition == "inline" ? fields.Disposition : "attachment";
  part.Charset = std::move(fields.Charset);
  part.Encoding = std::move(fields.Encoding);
  part.Warning = PartNameWarning(part.Name, part.ContentType);
  return part;
}

TMailPart MakeWalkedPart(std::int32_t index, TPartFields fields, std::string data) {
  TMailPart part = MakeWalkedPart(index, std::move(fields));
  TPartDigests digests;
  digests.Update(data);
  digests.Finish(part);
  part.Data = std::move(data);
  return part;
}

}  // namespace tarvo
