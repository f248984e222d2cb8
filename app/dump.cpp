#include "app/dump.h"

#include <exception>

#include "base/cp932.h"
#include "jcode/charset.h"
#include "mail/explain.h"
#include "mail/pipeline.h"

namespace tarvo {

namespace {

// JSON string of CP932 text; undecodable bytes come out as U+FFFD.
void WriteCp932(std::ostream& out, std::string_view cp932);

void WriteUtf8(std::ostream& out, std::string_view utf8) {
  // Runs of bytes that need no escape go out in one piece.
  static const char* hex = "0123456789abcdef";
  out << '"';
  std::size_t run = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.write(utf8.data() + run, static_cast<std::streamsize>(i - run));
    run = i + 1;
    switch (c) {
      case '"': out << "\\\""; break;
      case '\\': out << "\\\\"; break;
      case '\n': out << "\\n"; break;
      case '\r': out << "\\r"; break;
      case '\t': out << "\\t"; break;
      default: {
        const char esc[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
        out.write(esc, sizeof esc);
      }
    }
  }
  out.write(utf8.data() + run, static_cast<std::streamsize>(utf8.size() - run));
  out << '"';
}

void WriteCp932(std::ostream& out, std::string_view cp932) {
  WriteUtf8(out, Cp932ToUtf8(cp932, TDecodeMode::Replace));
}

// A view's lines by the view's kind, as --dump shows them.
void WriteLines(std::ostream& out, const std::vector<std::string>& lines, TTextKind kind) {
  out << '[';
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out << ", ";
    WriteUtf8(out, TextToUtf8(lines[i], kind, TDecodeMode::Replace));
  }
  out << ']';
}

void WriteRows(std::ostream& out, const std::vector<std::vector<std::string>>& rows, TTextKind kind) {
  out << '[';
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i) out << ",\n  ";
    WriteLines(out, rows[i], kind);
  }
  out << ']';
}

// A file name from the command line is bytes; keep valid UTF-8, replace the rest.
std::string SanitiseUtf8(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
    bool ok = extra >= 0 && i + extra < s.size() + (extra == 0 ? 1 : 0);
    for (int k = 1; ok && k <= extra; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (!ok) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, extra + 1));
      i += extra + 1;
    }
  }
  return out;
}

void WriteParts(std::ostream& out, const TMailParts& parts) {
  out << ",\n \"Parts\": [";
  const auto field = [&](const char* key, std::string_view text, TTextKind kind) {
    out << ", \"" << key << "\": ";
    WriteUtf8(out, TextToUtf8(text, kind, TDecodeMode::Replace));
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const TMailPart& p = parts[i];
    out << (i ? ",\n  " : "") << "{\"index\": " << p.Index;
    field("name", p.Name, TTextKind::Decoded);
    field("type", p.ContentType, TTextKind::Stored);
    field("disposition", p.Disposition, TTextKind::Stored);
    field("charset", p.Charset, TTextKind::Stored);
    field("encoding", p.Encoding, TTextKind::Stored);
    out << ", \"size\": " << p.Size;
    field("md5", p.Md5, TTextKind::Decoded);
    field("sha1", p.Sha1, TTextKind::Decoded);
    field("sha256", p.Sha256, TTextKind::Decoded);
    field("warning", p.Warning, TTextKind::Decoded);
    out << '}';
  }
  out << ']';
}

}  // namespace

int DumpMailFile(const std::string& fileName, std::ostream& out) {
  std::ios::sync_with_stdio(false);  // the views can be hundreds of megabytes
  TMailViews views;
  std::string error;
  bool failed = false;
  try {
    LoadMailFile(fileName, views);
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  }

  out << "{\"file\": ";
  WriteUtf8(out, SanitiseUtf8(fileName));
  out << ", \"error\": ";
  if (failed) WriteCp932(out, error);
  else out << "null";

  // Keys in the order of the window's views; a view not built yet is left out.

  std::vector<std::vector<std::string>> route;
  route.reserve(views.ListView2.size());
  // The country is system text in code page 932; the rest is as stored, so
  // it goes out decoded already.
  for (const auto& r : views.ListView2)
    route.push_back({StoredTextToUtf8(r.No, TDecodeMode::Replace), StoredTextToUtf8(r.ServerName, TDecodeMode::Replace),
                     StoredTextToUtf8(r.Host, TDecodeMode::Replace), StoredTextToUtf8(r.IP, TDecodeMode::Replace),
                     Cp932ToUtf8(r.Country, TDecodeMode::Replace), StoredTextToUtf8(r.Date, TDecodeMode::Replace)});
  out << ",\n \"ListView2\": ";
  WriteRows(out, route, TTextKind::Decoded);

  out << ",\n \"Memo1\": ";
  WriteLines(out, views.Memo1.Lines, TTextKind::Stored);

  out << ",\n \"Memo3\": ";
  WriteLines(out, views.Memo3.Lines, TTextKind::Stored);
  out << ",\n \"Memo2\": ";
  WriteLines(out, views.Memo2.Lines, TTextKind::Decoded);



  out << ",\n \"Memo4\": ";
  WriteLines(out, views.Memo4.Lines, TTextKind::Decoded);

  out << ",\n \"Memo6\": ";
  WriteLines(out, views.Memo6.Lines, TTextKind::Decoded);

  std::vector<std::vector<std::string>> headers;
  headers.reserve(views.ListView1.size());
  for (const auto& h : views.ListView1) headers.push_back({h.Name, h.Value});
  out << ",\n \"ListView1\": ";
  WriteRows(out, headers, TTextKind::Stored);
  std::vector<std::vector<std::string>> memo5;
  memo5.reserve(views.ListView1.size());
  for (const auto& h : views.ListView1) memo5.push_back(HeaderExplanationLines(h.Name, h.Value));
  out << ",\n \"Memo5\": ";
  WriteRows(out, memo5, TTextKind::Decoded);
  WriteParts(out, views.Parts);
  out << "}\n";
  return failed ? 1 : 0;
}

int SaveMailParts(const std::string& fileName, const std::string& folder, std::ostream& out, std::ostream& err) {
  try {
    TMailViews views;
    LoadMailFile(fileName, views);
    for (const TSavedPart& s : SaveNamedParts(views.Parts, folder)) {
      out << "保存しました: " << s.Path;
      if (s.Renamed) out << "（同じ名前のファイルがあるため名前を変えました）";
      out << "\n";
    }
  } catch (const std::exception& e) {
    err << Cp932ToUtf8(e.what(), TDecodeMode::Replace) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tarvo
