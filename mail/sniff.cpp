// Content sniffing: signatures at fixed places, and a few searches that
// each read the bytes once.
#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "mail/content.h"

namespace tarvo {

namespace {

bool At(std::string_view s, std::size_t pos, std::string_view sig) { return s.size() >= pos + sig.size() && s.substr(pos, sig.size()) == sig; }

std::uint32_t Le32(std::string_view s, std::size_t pos) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[pos + static_cast<std::size_t>(i)]);
  return v;
}

bool IsWindowsProgram(std::string_view s) {
  if (!At(s, 0, "MZ") || s.size() < 0x40) return false;
  const std::uint32_t pe = Le32(s, 0x3C);
  return pe <= s.size() - 4 && At(s, pe, std::string_view("PE\0\0", 4));
}

bool IsArchive(std::string_view s) {
  using namespace std::string_view_literals;
  return At(s, 0, "PK\x03\x04"sv) || At(s, 0, "PK\x05\x06"sv) || At(s, 0, "PK\x07\x08"sv) || At(s, 0, "Rar!\x1A\x07"sv) ||
         At(s, 0, "7z\xBC\xAF\x27\x1C"sv) || At(s, 0, "\x1F\x8B"sv) || At(s, 0, "BZh"sv) ||
         At(s, 0, "\xFD" "7zXZ\0"sv) || At(s, 0, "MSCF\0\0\0\0"sv) || At(s, 0, "\x28\xB5\x2F\xFD"sv) ||
         At(s, 0, "\x60\xEA"sv) || At(s, 7, "**ACE**"sv) || At(s, 0x8001, "CD001"sv) || At(s, 257, "ustar"sv) ||
         (At(s, 2, "-lh"sv) && At(s, 6, "-"sv)) || (At(s, 2, "-lz"sv) && At(s, 6, "-"sv));
}

// The text after a byte-order mark and blanks, lower case, a little of it.
std::string Opening(std::string_view s) {
  if (At(s, 0, "\xEF\xBB\xBF")) s.remove_prefix(3);
  std::size_t i = 0;
  while (i < s.size() && i < 4096 && IsFws(s[i])) ++i;
  return LowerAscii(s.substr(i, 1024));
}

// A PDF name is followed by a delimiter: "/JS" must not match "/JSON".
bool HasPdfName(std::string_view s, std::string_view name) {
  for (std::size_t at = s.find(name); at != std::string_view::npos; at = s.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    if (end >= s.size() || std::strchr(" \t\r\n\f/<>[]()%", s[end]) != nullptr) return true;
  }
  return false;
}

bool HasUtf16(std::string_view s, std::string_view ascii) {
  std::string wide;
  for (const char c : ascii) {
    wide += c;
    wide += '\0';
  }
  return s.find(wide) != std::string_view::npos;
}

}  // namespace

TContentKind SniffContent(std::string_view bytes) {
  using namespace std::string_view_literals;
  const std::string_view s = bytes.substr(0, kSniffBytes);
  if (IsWindowsProgram(s)) return TContentKind::WindowsProgram;
  if (At(s, 0, "\x7F" "ELF"sv)) return TContentKind::ElfProgram;
  for (const std::string_view m : {"\xFE\xED\xFA\xCE"sv, "\xFE\xED\xFA\xCF"sv, "\xCE\xFA\xED\xFE"sv, "\xCF\xFA\xED\xFE"sv, "\xCA\xFE\xBA\xBE"sv})
    if (At(s, 0, m)) return TContentKind::MachOProgram;
  if (At(s, 0, "#!") || At(s, 0, "\xEF\xBB\xBF#!")) return TContentKind::Script;
  if (At(s, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv))
    return HasUtf16(s, "_VBA_PROJECT") ? TContentKind::OfficeMacros : TContentKind::Office;
  if (s.substr(0, 1024).find("%PDF-") != std::string_view::npos)
    return HasPdfName(s, "/JavaScript") || HasPdfName(s, "/JS") || HasPdfName(s, "/Launch") ? TContentKind::PdfActive
                                                                                            : TContentKind::Pdf;
  if (IsArchive(s)) return TContentKind::Archive;
  const std::string open = Opening(s);
  for (const char* tag : {"<!doctype html", "<html", "<head", "<body", "<script", "<iframe", "<meta", "<form"})
    if (open.starts_with(tag)) return TContentKind::Html;
  if (open.starts_with("<svg") || (open.starts_with("<?xml") && open.find("<svg") != std::string::npos))
    return TContentKind::Svg;
  return TContentKind::Unknown;
}

const char* ContentKindName(TContentKind kind) {
  switch (kind) {
    case TContentKind::Unknown: return "";
    case TContentKind::WindowsProgram: return "windows-program";
    case TContentKind::ElfProgram: return "elf-program";
    case TContentKind::MachOProgram: return "macho-program";
    case TContentKind::Script: return "script";
    case TContentKind::OfficeMacros: return "office-macros";
    case TContentKind::Office: return "office";
    case TContentKind::PdfActive: return "pdf-active";
    case TContentKind::Pdf: return "pdf";
    case TContentKind::Html: return "html";
    case TContentKind::Svg: return "svg";
    case TContentKind::Archive: return "archive";
  }
  return "";
}

}  // namespace tarvo
