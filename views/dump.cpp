#include "views/dump.h"

#include <algorithm>
#include <exception>

#include "base/ascii.h"
#include "base/cp932.h"
#include "jcode/charset.h"
#include "base/privatedir.h"
#include "checks/auth.h"
#include "mail/html.h"
#include "mail/explain.h"
#include "views/json.h"
#include "views/pipeline.h"

namespace tarvo {

namespace {

// One array of strings per row, each cell text of the given kind.
template <typename Rows, typename Cells>
void WriteRows(TJsonWriter& w, const Rows& rows, Cells cells) {
  w.Raw("[");
  bool firstRow = true;
  for (const auto& row : rows) {
    w.Raw(firstRow ? "[" : ",\n  [");
    firstRow = false;
    bool firstCell = true;
    cells(row, [&](std::string_view text, TTextKind kind) {
      if (!firstCell) w.Raw(", ");
      firstCell = false;
      w.Text(text, kind);
    });
    w.Raw("]");
  }
  w.Raw("]");
}

// An ISO time, or null for a date that was not found.
void WriteTime(TJsonWriter& w, const TMailDate& d) {
  if (d.Valid) w.String(FormatIsoTime(d));
  else w.Null();
}

void WriteSeconds(TJsonWriter& w, const std::optional<std::int64_t>& s) {
  if (s) w.Number(*s);
  else w.Null();
}

// One object per route row: the receiving side, the time and the delay.
void WriteHops(TJsonWriter& w, const std::vector<TRouteRow>& rows) {
  w.Raw("[");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TRouteRow& r = rows[i];
    w.Raw(i ? ",\n  {\"by\": " : "{\"by\": ").Text(r.By, TTextKind::Stored);
    w.Raw(", \"with\": ").Text(r.With, TTextKind::Stored);
    w.Raw(", \"time\": ");
    WriteTime(w, r.Time);
    w.Raw(", \"delay\": ");
    WriteSeconds(w, r.Delay);
    w.Raw(", \"as\": ").Text(r.Network, TTextKind::Stored);
    w.Raw(", \"tls\": ");
    if (r.Tls) w.Text(*r.Tls, TTextKind::Stored);
    else w.Null();
    w.Raw("}");
  }
  w.Raw("]");
}

// A file name from the command line is bytes; keep valid UTF-8, replace the rest.
std::string SanitiseUtf8(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8ShapeLength(s, i);
    if (n == 0) out += "\xEF\xBF\xBD";
    else out.append(s.substr(i, n));
    i += std::max<std::size_t>(n, 1);
  }
  return out;
}

// The safety check's texts are UTF-8, but values copied from the header
// fields may hold any byte.
void WriteText(TJsonWriter& w, std::string_view utf8) { w.String(SanitiseUtf8(utf8)); }

void WriteResult(TJsonWriter& w, const std::optional<TAuthValue>& v, bool withDomain) {
  if (!v) {
    w.Null();
    return;
  }
  w.Raw("{\"result\": ");
  WriteText(w, v->Result);
  if (withDomain) {
    w.Raw(", \"domain\": ");
    WriteText(w, v->Domain);
  }
  if (!v->Identity.empty()) {
    w.Raw(", \"identity\": ");
    WriteText(w, v->Identity);
  }
  w.Raw(", \"source\": ");
  WriteText(w, v->Source);
  w.Raw("}");
}

void WriteBool(TJsonWriter& w, const std::optional<bool>& b) {
  if (b) w.Bool(*b);
  else w.Null();
}

void WriteAuthentication(TJsonWriter& w, const TAuthentication& a) {
  w.Raw("{\"from_domain\": ");
  WriteText(w, a.FromDomain);
  w.Raw(", \"spf\": ");
  WriteResult(w, a.Spf, true);
  w.Raw(", \"dkim\": [");
  for (std::size_t i = 0; i < a.Dkim.size(); ++i) {
    const TDkimCheck& d = a.Dkim[i];
    w.Raw(i ? ", {\"result\": " : "{\"result\": ");
    WriteText(w, d.Result);
    w.Raw(", \"domain\": ");
    WriteText(w, d.Domain);
    w.Raw(", \"selector\": ");
    WriteText(w, d.Selector);
    w.Raw(", \"body_hash\": \"").Raw(BodyHashName(d.BodyHash)).Raw("\"");
    if (!d.Checked) w.Raw(", \"checked\": false");
    w.Raw("}");
  }
  w.Raw("], \"dmarc\": ");
  WriteResult(w, a.Dmarc, true);
  w.Raw(", \"arc\": ");
  WriteResult(w, a.Arc, false);
  w.Raw(", \"spf_aligned\": ");
  WriteBool(w, a.SpfAligned);
  w.Raw(", \"dkim_aligned\": ");
  WriteBool(w, a.DkimAligned);
  // Every result the fields state, and whether it counts.
  w.Raw(", \"receiving_org\": ");
  WriteText(w, a.ReceivingOrg);
  w.Raw(", \"results\": [");
  for (std::size_t i = 0; i < a.Claims.size(); ++i) {
    const TAuthClaim& c = a.Claims[i];
    w.Raw(i ? ",\n  {\"field\": " : "\n  {\"field\": ").Number(static_cast<std::int64_t>(c.Field));
    w.Raw(", \"source\": ");
    WriteText(w, c.Source);
    w.Raw(", \"authserv_id\": ");
    WriteText(w, c.AuthServId);
    w.Raw(", \"method\": ");
    WriteText(w, c.Method);
    w.Raw(", \"result\": ");
    WriteText(w, c.Result);
    w.Raw(", \"domain\": ");
    WriteText(w, c.Domain);
    w.Raw(", \"trusted\": ");
    w.Bool(c.Trusted);
    w.Raw(", \"why\": ");
    if (c.Trusted) w.Null();
    else WriteText(w, c.Why);
    w.Raw("}");
  }
  w.Raw("]}");
}

void WriteFindings(TJsonWriter& w, const std::vector<TFinding>& findings) {
  w.Raw("[");
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const TFinding& f = findings[i];
    w.Raw(i ? ",\n  {\"kind\": " : "{\"kind\": ");
    WriteText(w, f.Kind);
    w.Raw(", \"level\": \"").Raw(LevelName(f.Level)).Raw("\", \"text\": ");
    WriteText(w, f.Text);
    w.Raw(", \"detail\": ");
    WriteText(w, f.Detail);
    w.Raw("}");
  }
  w.Raw("]");
}

void WriteFilters(TJsonWriter& w, const std::vector<TFilterStamp>& stamps) {
  w.Raw("[");
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    const TFilterStamp& s = stamps[i];
    w.Raw(i ? ",\n  {\"family\": " : "{\"family\": ");
    WriteText(w, s.Family);
    w.Raw(", \"header\": ").Text(s.Header, TTextKind::Stored);
    w.Raw(", \"side\": \"").Raw(FilterSideName(s.Side)).Raw("\", \"fields\": [");
    for (std::size_t k = 0; k < s.Fields.size(); ++k) {
      const TFilterField& f = s.Fields[k];
      w.Raw(k ? ", {\"name\": " : "{\"name\": ").Text(f.Name, TTextKind::Stored);
      w.Raw(", \"value\": ").Text(f.Value, TTextKind::Stored);
      w.Raw(", \"meaning\": ");
      WriteText(w, f.Meaning);
      w.Raw(", \"known\": ").Bool(f.Known);
      w.Raw("}");
    }
    w.Raw("], \"verdict\": ");
    if (s.Verdict) {
      w.Raw("{\"level\": \"").Raw(LevelName(s.Verdict->Level)).Raw("\", \"text\": ");
      WriteText(w, s.Verdict->Text);
      w.Raw("}");
    } else {
      w.Null();
    }
    w.Raw("}");
  }
  w.Raw("]");
}

void WriteParts(TJsonWriter& w, const TMailParts& parts) {
  w.Raw(",\n \"Parts\": [");
  const auto field = [&](const char* key, std::string_view text, TTextKind kind) {
    w.Raw(", \"").Raw(key).Raw("\": ").Text(text, kind);
  };
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const TMailPart& p = parts[i];
    w.Raw(i ? ",\n  {\"index\": " : "{\"index\": ").Number(p.Index);
    field("name", p.Name, TTextKind::Decoded);
    field("type", p.ContentType, TTextKind::Stored);
    field("disposition", p.Disposition, TTextKind::Stored);
    field("charset", p.Charset, TTextKind::Stored);
    field("encoding", p.Encoding, TTextKind::Stored);
    w.Raw(", \"size\": ").Number(static_cast<std::int64_t>(p.Size));
    field("md5", p.Md5, TTextKind::Decoded);
    field("sha1", p.Sha1, TTextKind::Decoded);
    field("sha256", p.Sha256, TTextKind::Decoded);
    field("warning", p.Warning, TTextKind::Decoded);
    field("content", ContentKindName(p.Content), TTextKind::Decoded);
    if (p.Archive.Read) {
      w.Raw(", \"encrypted\": ").Bool(p.Archive.Encrypted);
      w.Raw(", \"truncated\": ").Bool(p.Archive.Truncated);
      w.Raw(", \"entries\": [");
      for (std::size_t k = 0; k < p.Archive.Entries.size(); ++k) {
        const TArchiveEntry& e = p.Archive.Entries[k];
        w.Raw(k ? ", {\"name\": " : "{\"name\": ");
        WriteText(w, e.Name);
        w.Raw(", \"size\": ");
        if (e.Size >= 0) w.Number(e.Size);
        else w.Null();
        w.Raw(", \"encrypted\": ").Bool(e.Encrypted);
        w.Raw(", \"warning\": ");
        WriteText(w, e.Warning);
        w.Raw("}");
      }
      w.Raw("]");
    }
    w.Raw("}");
  }
  w.Raw("]");
}

}  // namespace

void WriteMailViews(const std::string& fileName, const TMailViews& views, const std::string* error, std::ostream& out,
                    const TMessagePlace* place) {
  TJsonWriter w(out);
  w.Raw("{\"file\": ");
  WriteText(w, fileName);
  if (place) {
    w.Raw(", \"index\": ");
    w.Number(static_cast<std::int64_t>(place->Index));
    w.Raw(", \"offset\": ");
    w.Number(static_cast<std::int64_t>(place->Offset));
  }
  w.Raw(", \"error\": ");
  if (error) w.Cp932(*error);
  else w.Null();

  // Keys in the order of the window's views; a view not built yet is left out.
  // The route's country is system text in code page 932; the rest as stored.
  w.Raw(",\n \"ListView2\": ");
  WriteRows(w, views.ListView2, [](const TRouteRow& r, auto cell) {
    cell(r.No, TTextKind::Stored);
    cell(r.ServerName, TTextKind::Stored);
    cell(r.Host, TTextKind::Stored);
    cell(r.IP, TTextKind::Stored);
    cell(Cp932ToUtf8(r.Country, TDecodeMode::Replace), TTextKind::Decoded);
    cell(r.Date, TTextKind::Stored);
  });
  w.Raw(",\n \"Hops\": ");
  WriteHops(w, views.ListView2);
  w.Raw(",\n \"Delivery\": {\"sent\": ");
  WriteTime(w, views.Delivery.Sent);
  w.Raw(", \"received\": ");
  WriteTime(w, views.Delivery.Received);
  w.Raw(", \"seconds\": ");
  WriteSeconds(w, views.Delivery.Seconds);
  w.Raw("}");
  w.Raw(",\n \"Notes\": [");
  for (std::size_t i = 0; i < views.Notes.size(); ++i) {
    if (i) w.Raw(", ");
    WriteText(w, views.Notes[i]);
  }
  w.Raw("]");

  w.Raw(",\n \"Memo1\": ").Lines(views.Memo1);
  w.Raw(",\n \"Memo3\": ").Lines(views.Memo3);
  w.Raw(",\n \"Memo2\": ").Lines(views.Memo2);
  w.Raw(",\n \"Memo4\": ").Lines(views.Memo4);
  w.Raw(",\n \"Memo6\": ").Lines(views.Memo6);

  w.Raw(",\n \"ListView1\": ");
  WriteRows(w, views.ListView1, [](const THeaderRow& h, auto cell) {
    cell(h.Name, TTextKind::Stored);
    cell(h.Value, TTextKind::Stored);
  });
  w.Raw(",\n \"Memo5\": ");
  WriteRows(w, views.ListView1, [&views, row = std::size_t{0}](const THeaderRow&, auto cell) mutable {
    for (const std::string& line : RowExplanationLines(views, row)) cell(line, TTextKind::Decoded);
    ++row;
  });
  w.Raw(",\n \"Authentication\": ");
  WriteAuthentication(w, views.Authentication);
  w.Raw(",\n \"Filters\": ");
  WriteFilters(w, views.Filters);
  w.Raw(",\n \"Findings\": ");
  WriteFindings(w, views.Findings);
  WriteParts(w, views.Parts);
  w.Raw("}\n");
}

int DumpMailFile(const std::string& fileName, std::ostream& out) {
  TMailViews views;
  std::string error;
  bool failed = false;
  try {
    TLoadOptions listing;
    listing.KeepPartData = false;
    LoadMailFile(fileName, views, listing);
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  }
  WriteMailViews(fileName, views, failed ? &error : nullptr, out);
  return failed ? 1 : 0;
}

int SaveMailHtml(const std::string& fileName, const std::string& outFile, std::ostream& err) {
  try {
    TMailViews views;
    LoadMailFile(fileName, views);
    std::string html;
    for (std::size_t i = 0; i < views.Memo6.Count(); ++i) html.append(views.Memo6[i]).append("\n");
    WriteNewFile(outFile, SafeHtmlPage(html, views.Parts, false));
  } catch (const std::exception& e) {
    err << Cp932ToUtf8(e.what(), TDecodeMode::Replace) << "\n";
    return 1;
  }
  return 0;
}

int SaveMailParts(const std::string& fileName, const std::string& folder, std::ostream& out, std::ostream& err) {
  if (folder.empty()) {
    err << "保存先のフォルダー名が空です。\n";
    return 2;
  }
  try {
    TMailViews views;
    LoadMailFile(fileName, views);
    // Each file is said as it is written: an error later must not hide it.
    (void)SaveNamedParts(views.Parts, folder, [&out](const TSavedPart& s) {
      out << "保存しました: " << s.Path;
      if (s.Renamed) out << "（同じ名前のファイルがあるため名前を変えました）";
      out << "\n" << std::flush;
    });
  } catch (const std::exception& e) {
    err << Cp932ToUtf8(e.what(), TDecodeMode::Replace) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tarvo
