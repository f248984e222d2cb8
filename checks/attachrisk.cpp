// Attachments judged by their names and their bytes, with one table of
// file kinds: the part's name, what its content turned out to be, and the
// names inside an archive all go through it.
#include <algorithm>
#include <string>

#include "base/ascii.h"
#include "checks/auth.h"
#include "mail/content.h"

namespace tarvo {

namespace {

enum class TKind { None, Program, Script, Source, Shortcut, DiskImage, Macro, Office, Web, Archive };

struct TKindRow {
  TKind Kind;
  std::initializer_list<std::string_view> Extensions;
};

// Extensions by what opening such a file can do.
const TKindRow kKinds[] = {
    {TKind::Program,
     {"exe", "scr", "com", "pif", "cpl", "msi", "msp", "mst", "msc", "dll", "ocx", "sys", "drv", "jar", "hta", "chm",
      "hlp", "gadget", "application", "appx", "appxbundle", "msix", "msixbundle", "xll", "wll", "deb", "rpm",
      "appimage", "run", "apk", "app", "pkg", "cab", "reg", "inf", "ps1xml", "xbap"}},
    {TKind::Script,
     {"js", "jse", "vbs", "vbe", "vb", "wsf", "wsh", "ws", "wsc", "sct", "ps1", "ps2", "psm1", "psd1", "bat", "cmd",
      "command", "mshta"}},
    // Programs' source in a language the reader must have installed: no
    // system runs one on a double click as it stands, and a saved
    // attachment has no execute permission.
    {TKind::Source, {"sh", "bash", "py", "pyw", "pl", "rb", "php"}},
    {TKind::Shortcut,
     {"lnk", "url", "scf", "settingcontent-ms", "library-ms", "search-ms", "searchconnector-ms", "appref-ms", "desktop",
      "website", "webloc", "iqy", "slk"}},
    {TKind::DiskImage, {"iso", "img", "vhd", "vhdx", "dmg", "udf"}},
    {TKind::Macro,
     {"docm", "dotm", "xlsm", "xltm", "xlam", "xla", "pptm", "potm", "ppsm", "ppam", "sldm", "one", "onepkg", "xlsb"}},
    {TKind::Office, {"doc", "dot", "xls", "xlt", "ppt", "pps", "pot", "rtf"}},
    {TKind::Web, {"htm", "html", "shtml", "xhtml", "svg", "svgz", "mht", "mhtml", "xht"}},
    {TKind::Archive,
     {"zip", "zipx", "rar", "7z", "gz", "tgz", "bz2", "tbz", "xz", "txz", "zst", "lzh", "lha", "arj", "ace", "tar",
      "r00", "r01", "z", "uue", "xxe", "cpio"}},
};

TKind KindOf(std::string_view ext) {
  for (const TKindRow& row : kKinds)
    if (std::find(row.Extensions.begin(), row.Extensions.end(), ext) != row.Extensions.end()) return row.Kind;
  // Split archives: .r00 .. .r99, .z01 .., .001.
  if (ext.size() == 3 && (ext[0] == 'r' || ext[0] == 'z' || ext[0] == '0') && IsDigit(ext[1]) && IsDigit(ext[2]))
    return TKind::Archive;
  return TKind::None;
}

const char* NounOf(TKind k) {
  switch (k) {
    case TKind::Program: return "プログラム";
    case TKind::Script: return "スクリプト";
    case TKind::Source: return "プログラムのソース (スクリプト)";
    case TKind::Shortcut: return "ショートカットやリンクのファイル";
    case TKind::DiskImage: return "ディスクイメージ";
    case TKind::Macro: return "マクロを含められる文書";
    case TKind::Office: return "古い形式の Office 文書";
    case TKind::Web: return "Web ページ (HTML・SVG)";
    case TKind::Archive: return "圧縮ファイル";
    case TKind::None: break;
  }
  return "ファイル";
}

// Documents and pictures people open without a thought.
bool LooksLikeDocument(std::string_view ext) {
  static constexpr std::string_view exts[] = {
      "pdf", "doc", "docx", "xls", "xlsx", "ppt", "pptx", "txt", "rtf", "csv", "jpg", "jpeg", "png", "gif", "bmp",
      "tif", "tiff", "heic", "webp", "mp3", "mp4", "wav", "mov", "avi", "eml", "xml", "odt", "ods", "odp", "jtd",
      "htm", "html", "zip", "invoice", "scan"};
  return std::find(std::begin(exts), std::end(exts), ext) != std::end(exts);
}

// The last two extensions of a name, lower case; Windows ignores trailing
// dots and blanks, so they do not end an extension here either.
std::vector<std::string> Extensions(std::string_view name) {
  name = name.substr(name.find_last_of("/\\") == std::string_view::npos ? 0 : name.find_last_of("/\\") + 1);
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

// Characters that turn text around or take no room: a name shown with them
// is not the name the system goes by.
bool HasHiddenCharacters(std::string_view name) {
  for (std::size_t i = 0; i + 1 < name.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(name[i]), b1 = static_cast<unsigned char>(name[i + 1]);
    if (b0 == 0xC2 && b1 == 0xAD) return true;  // soft hyphen
    if (b0 == 0xD8 && b1 == 0x9C) return true;  // U+061C
    if (i + 2 >= name.size()) continue;
    const auto b2 = static_cast<unsigned char>(name[i + 2]);
    if (b0 == 0xE2 && b1 == 0x80 && ((b2 >= 0x8B && b2 <= 0x8F) || (b2 >= 0xAA && b2 <= 0xAE))) return true;
    if (b0 == 0xE2 && b1 == 0x81 && ((b2 >= 0xA0 && b2 <= 0xA4) || (b2 >= 0xA6 && b2 <= 0xAF))) return true;
    if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return true;  // U+FEFF
    if (b0 == 0xE1 && b1 == 0xA0 && b2 == 0x8E) return true;  // U+180E
  }
  return false;
}

// Declared types that say "a program".
bool TypeSaysProgram(std::string_view type) {
  return type == "application/x-msdownload" || type == "application/x-msdos-program" || type == "application/x-dosexec" ||
         type == "application/x-executable" || type == "application/vnd.microsoft.portable-executable" ||
         type == "application/x-ms-shortcut" || type == "application/hta" || type == "application/x-sh" ||
         type == "application/x-shellscript" || type == "application/x-bat" || type == "application/x-msi" ||
         type == "application/x-ms-installer" || type == "application/javascript" || type == "text/javascript" ||
         type == "application/x-javascript" || type == "text/vbscript" || type == "application/x-vbscript";
}

// Declared types that say "a document or a picture".
bool TypeSaysDocument(std::string_view type) {
  const auto starts = [&](std::string_view p) { return type.substr(0, p.size()) == p; };
  if (starts("image/") || starts("audio/") || starts("video/")) return true;
  if (starts("text/")) return type.find("script") == std::string_view::npos && type != "text/html";
  if (type.find("macroenabled") != std::string_view::npos) return false;
  return type == "application/pdf" || type == "application/msword" || type == "application/rtf" ||
         type == "application/vnd.ms-excel" || type == "application/vnd.ms-powerpoint" ||
         starts("application/vnd.openxmlformats-officedocument.") || starts("application/vnd.oasis.opendocument.");
}

TPartRisk Risk(TLevel level, std::string text) {
  TPartRisk r;
  r.Level = level;
  r.Text = std::move(text);
  return r;
}

bool Dangerous(TKind k) {
  return k == TKind::Program || k == TKind::Script || k == TKind::Shortcut || k == TKind::DiskImage || k == TKind::Macro;
}

}  // namespace

std::vector<TPartRisk> NameRisks(std::string_view name, std::string_view contentType) {
  std::vector<TPartRisk> risks;
  const std::string type = LowerAscii(TrimFws(contentType));
  if (HasHiddenCharacters(name))
    risks.push_back(Risk(TLevel::Bad, "ファイル名に、文字の向きを変える制御文字か見えない文字が含まれています。本当の拡張子を隠している可能性があります。"));
  const std::vector<std::string> exts = Extensions(name);
  const TKind kind = exts.empty() ? TKind::None : KindOf(exts[0]);
  if (exts.size() > 1 && kind != TKind::None && kind != TKind::Office && LooksLikeDocument(exts[1]) &&
      !(kind == TKind::Archive && exts[1] == "tar")) {
    risks.push_back(Risk(TLevel::Bad, "二重拡張子です。「." + exts[1] + "」に見せかけた" + NounOf(kind) + "（." + exts[0] +
                                      "）です。開かないでください。"));
  } else if (kind != TKind::None && TypeSaysDocument(type) && Dangerous(kind)) {
    risks.push_back(Risk(TLevel::Bad, "宣言された形式（" + type + "）と拡張子（." + exts[0] + "）が合いません。" + NounOf(kind) +
                                      "を別の形式に見せかけている可能性があります。"));
  } else if (kind != TKind::None) {
    risks.push_back(Risk(Dangerous(kind) ? TLevel::Bad : TLevel::Warn,
                     std::string(NounOf(kind)) + "（." + exts[0] + "）です。" +
                         (Dangerous(kind)          ? "開くとパソコンで命令が実行されるおそれがあります。送り主が確かでない限り開かないでください。"
                          : kind == TKind::Source ? "テキストとして読む分には安全ですが、実行すると命令が動きます。送り主が確かでない限り実行しないでください。"
                                                  : "中に危険なものが含まれていることがあります。送り主が確かでない限り開かないでください。")));
  }
  if (!name.empty() && TypeSaysProgram(type) && !Dangerous(kind))
    risks.push_back(Risk(TLevel::Bad, "宣言された形式（" + type + "）はプログラムですが、ファイル名は「" + std::string(name) +
                                      "」です。名前を偽っている可能性があります。"));
  return risks;
}

std::vector<TPartRisk> PartRisks(const TMailPart& part) {
  // What the content is says more than the name: its risks come first.
  std::vector<TPartRisk> risks;
  const std::vector<std::string> exts = Extensions(part.Name);
  const TKind named = exts.empty() ? TKind::None : KindOf(exts[0]);
  const std::string shownAs = exts.empty() ? std::string("名前") : "「." + exts[0] + "」";
  const auto disguised = [&](const char* what) {
    return named == TKind::None || named == TKind::Office ? "中身は" + std::string(what) + "ですが、" + shownAs +
                                                               "として送られています。開かないでください。"
                                                         : "中身は" + std::string(what) + "です。開かないでください。";
  };
  switch (part.Content) {
    case TContentKind::WindowsProgram:
    case TContentKind::ElfProgram:
    case TContentKind::MachOProgram:
      if (named != TKind::Program) risks.push_back(Risk(TLevel::Bad, disguised("プログラム")));
      break;
    case TContentKind::Script:
      if (named != TKind::Script && named != TKind::Source) risks.push_back(Risk(TLevel::Bad, disguised("スクリプト")));
      break;
    case TContentKind::OfficeMacros:
      risks.push_back(Risk(TLevel::Bad, "マクロ (VBA) を含む Office 文書です。開いてマクロを有効にすると、パソコンで命令が実行されるおそれがあります。"));
      break;
    case TContentKind::PdfActive:
      risks.push_back(Risk(TLevel::Bad, "開くと自動で動く仕掛け (JavaScript や別のプログラムの起動) を含む PDF です。"));
      break;
    case TContentKind::Html:
    case TContentKind::Svg:
      if (!part.Name.empty() && named != TKind::Web)
        risks.push_back(Risk(TLevel::Bad, disguised("Web ページ (HTML・SVG)")));
      break;
    case TContentKind::Archive:
      if (!part.Name.empty() && named != TKind::Archive && named != TKind::DiskImage && named != TKind::Program)
        risks.push_back(Risk(TLevel::Warn, "中身は圧縮ファイルですが、" + shownAs + "として送られています。"));
      break;
    default: break;
  }
  if (part.Archive.Encrypted)
    risks.push_back(Risk(TLevel::Warn, "パスワード付き圧縮ファイルです。中身を確かめられません。ウイルスを届けるのによく使われる形です。"));
  if (!part.Name.empty() || part.Disposition == "attachment")
    for (TPartRisk& r : NameRisks(part.Name, part.ContentType)) risks.push_back(std::move(r));
  for (const TArchiveEntry& e : part.Archive.Entries)
    for (TPartRisk r : NameRisks(e.Name, {})) {
      if (r.Level == TLevel::Warn && KindOf(Extensions(e.Name).empty() ? "" : Extensions(e.Name)[0]) == TKind::Office) continue;
      r.Entry = e.Name;
      r.Text = "圧縮ファイルの中の「" + e.Name + "」: " + r.Text;
      risks.push_back(std::move(r));
    }
  return risks;
}

void JudgeAttachments(TMailParts& parts, std::vector<TFinding>& findings) {
  constexpr std::size_t kMaxFindings = 20;
  std::size_t added = 0, left = 0;
  for (TMailPart& p : parts) {
    const std::vector<TPartRisk> risks = PartRisks(p);
    // The part's warning is its worst risk, the first of that level.
    const auto worst = std::max_element(risks.begin(), risks.end(),
                                        [](const TPartRisk& a, const TPartRisk& b) { return a.Level < b.Level; });
    if (worst != risks.end() && p.Warning.empty()) p.Warning = worst->Text;
    for (TArchiveEntry& e : p.Archive.Entries)
      for (const TPartRisk& r : risks)
        if (!r.Entry.empty() && r.Entry == e.Name && e.Warning.empty()) e.Warning = r.Text;
    for (const TPartRisk& r : risks) {
      if (added >= kMaxFindings) {
        ++left;
        continue;
      }
      ++added;
      findings.push_back({"attachment-risk", r.Level, r.Text,
                          "部分 " + p.Number + ": " + (p.Name.empty() ? "(名前なし)" : p.Name) +
                              (r.Entry.empty() ? std::string() : " / 中身: " + r.Entry)});
    }
  }
  // Deeper nesting than any mailer writes hides parts from tools that stop
  // early; what lies below the limit is listed whole and shown as it is.
  if (const auto deep = std::find_if(parts.begin(), parts.end(), [](const TMailPart& p) { return p.TooDeep; });
      deep != parts.end())
    findings.push_back({"nesting-too-deep", TLevel::Warn,
                        "メッセージの入れ子が深すぎるため、" + std::to_string(kMaxNesting) +
                            " 段より深い部分は 1 つの部分として、そのまま表示しています。",
                        "部分 " + deep->Number + ": " + deep->ContentType});
  if (left > 0)
    findings.push_back({"attachment-risk", TLevel::Info, "添付ファイルの注意点がほかに " + std::to_string(left) + " 件あります。",
                        "表示は最初の " + std::to_string(kMaxFindings) + " 件まで"});
  std::stable_sort(findings.begin(), findings.end(), [](const TFinding& a, const TFinding& b) { return a.Level > b.Level; });
}

}  // namespace tarvo
