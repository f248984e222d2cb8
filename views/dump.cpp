#include "views/dump.h"

#include <algorithm>
#include <exception>
#include <type_traits>

#include "base/ascii.h"
#include "base/cp932.h"
#include "jcode/charset.h"
#include "base/privatedir.h"
#include "checks/auth.h"
#include "mail/html.h"
#include "mail/explain.h"
#include "views/json.h"
#include "views/pipeline.h"
#include "views/viewtable.h"

namespace tarvo {

namespace {

// One array of strings per row, each cell text of the given kind.
template <typename Rows, typename Cells>
void WriteRows(TJsonWriter& w, const Rows& rows, Cells cells) {
  w.Open('[');
  for (const auto& row : rows) {
    w.Item("\n  ").Open('[');
    cells(row, [&](std::string_view text, TTextKind kind) { w.Item().Text(text, kind); });
    w.Close();
  }
  w.Close();
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
  w.Open('[');
  for (const TRouteRow& r : rows) {
    w.Item("\n  ").Open('{');
    w.Key("by").Text(r.By, TTextKind::Stored);
    w.Key("with").Text(r.With, TTextKind::Stored);
    WriteTime(w.Key("time"), r.Time);
    WriteSeconds(w.Key("delay"), r.Delay);
    w.Key("as").Text(r.Network, TTextKind::Stored);
    if (r.Tls) w.Key("tls").Text(*r.Tls, TTextKind::Stored);
    else w.Key("tls").Null();
    w.Close();
  }
  w.Close();
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
  w.Open('{');
  WriteText(w.Key("result"), v->Result);
  if (withDomain) WriteText(w.Key("domain"), v->Domain);
  if (!v->Identity.empty()) WriteText(w.Key("identity"), v->Identity);
  WriteText(w.Key("source"), v->Source);
  w.Close();
}

void WriteBool(TJsonWriter& w, const std::optional<bool>& b) {
  if (b) w.Bool(*b);
  else w.Null();
}

void WriteDkim(TJsonWriter& w, const std::vector<TDkimCheck>& checks) {
  w.Open('[');
  for (const TDkimCheck& d : checks) {
    w.Item().Open('{');
    WriteText(w.Key("result"), d.Result);
    WriteText(w.Key("domain"), d.Domain);
    WriteText(w.Key("selector"), d.Selector);
    w.Key("body_hash").String(BodyHashName(d.BodyHash));
    if (!d.Checked) w.Key("checked").Bool(false);
    w.Close();
  }
  w.Close();
}

// Every result the fields state, and whether it counts.
void WriteClaims(TJsonWriter& w, const std::vector<TAuthClaim>& claims) {
  w.Open('[');
  for (const TAuthClaim& c : claims) {
    w.Item("\n  ", "\n  ").Open('{');
    w.Key("field").Number(static_cast<std::int64_t>(c.Field));
    WriteText(w.Key("source"), c.Source);
    WriteText(w.Key("authserv_id"), c.AuthServId);
    WriteText(w.Key("method"), c.Method);
    WriteText(w.Key("result"), c.Result);
    WriteText(w.Key("domain"), c.Domain);
    w.Key("trusted").Bool(c.Trusted);
    if (c.Trusted) w.Key("why").Null();
    else WriteText(w.Key("why"), c.Why);
    w.Close();
  }
  w.Close();
}

void WriteView(TJsonWriter& w, const TAuthentication& a) {
  w.Open('{');
  WriteText(w.Key("from_domain"), a.FromDomain);
  WriteResult(w.Key("spf"), a.Spf, true);
  WriteDkim(w.Key("dkim"), a.Dkim);
  WriteResult(w.Key("dmarc"), a.Dmarc, true);
  WriteResult(w.Key("arc"), a.Arc, false);
  WriteBool(w.Key("spf_aligned"), a.SpfAligned);
  WriteBool(w.Key("dkim_aligned"), a.DkimAligned);
  WriteText(w.Key("receiving_org"), a.ReceivingOrg);
  WriteClaims(w.Key("results"), a.Claims);
  w.Close();
}

void WriteView(TJsonWriter& w, const std::vector<TFinding>& findings) {
  w.Open('[');
  for (const TFinding& f : findings) {
    w.Item("\n  ").Open('{');
    WriteText(w.Key("kind"), f.Kind);
    w.Key("level").String(LevelName(f.Level));
    WriteText(w.Key("text"), f.Text);
    WriteText(w.Key("detail"), f.Detail);
    w.Close();
  }
  w.Close();
}

void WriteFilterFields(TJsonWriter& w, const std::vector<TFilterField>& fields) {
  w.Open('[');
  for (const TFilterField& f : fields) {
    w.Item().Open('{');
    w.Key("name").Text(f.Name, TTextKind::Stored);
    w.Key("value").Text(f.Value, TTextKind::Stored);
    WriteText(w.Key("meaning"), f.Meaning);
    w.Key("known").Bool(f.Known);
    w.Close();
  }
  w.Close();
}

void WriteView(TJsonWriter& w, const std::vector<TFilterStamp>& stamps) {
  w.Open('[');
  for (const TFilterStamp& s : stamps) {
    w.Item("\n  ").Open('{');
    WriteText(w.Key("family"), s.Family);
    w.Key("header").Text(s.Header, TTextKind::Stored);
    w.Key("side").String(FilterSideName(s.Side));
    WriteFilterFields(w.Key("fields"), s.Fields);
    w.Key("verdict");
    if (s.Verdict) {
      w.Open('{').Key("level").String(LevelName(s.Verdict->Level));
      WriteText(w.Key("text"), s.Verdict->Text);
      w.Close();
    } else {
      w.Null();
    }
    w.Close();
  }
  w.Close();
}

void WriteArchive(TJsonWriter& w, const TArchiveListing& archive) {
  w.Key("encrypted").Bool(archive.Encrypted);
  w.Key("truncated").Bool(archive.Truncated);
  w.Key("entries").Open('[');
  for (const TArchiveEntry& e : archive.Entries) {
    w.Item().Open('{');
    WriteText(w.Key("name"), e.Name);
    if (e.Size >= 0) w.Key("size").Number(e.Size);
    else w.Key("size").Null();
    w.Key("encrypted").Bool(e.Encrypted);
    WriteText(w.Key("warning"), e.Warning);
    w.Close();
  }
  w.Close();
}

void WriteView(TJsonWriter& w, const TMailParts& parts) {
  w.Open('[');
  for (const TMailPart& p : parts) {
    w.Item("\n  ").Open('{');
    w.Key("index").Text(p.Number, TTextKind::Decoded);
    w.Key("depth").Number(p.Depth);
    w.Key("name").Text(p.Name, TTextKind::Decoded);
    w.Key("type").Text(p.ContentType, TTextKind::Stored);
    w.Key("disposition").Text(p.Disposition, TTextKind::Stored);
    w.Key("charset").Text(p.Charset, TTextKind::Stored);
    w.Key("encoding").Text(p.Encoding, TTextKind::Stored);
    w.Key("size").Number(static_cast<std::int64_t>(p.Size));
    w.Key("md5").Text(p.Md5, TTextKind::Decoded);
    w.Key("sha1").Text(p.Sha1, TTextKind::Decoded);
    w.Key("sha256").Text(p.Sha256, TTextKind::Decoded);
    w.Key("warning").Text(p.Warning, TTextKind::Decoded);
    w.Key("content").Text(ContentKindName(p.Content), TTextKind::Decoded);
    if (p.Archive.Read) WriteArchive(w, p.Archive);
    if (p.ContentType == "message/external-body") {
      w.Key("reference").Open('{');
      w.Key("access-type").Text(p.AccessType, TTextKind::Stored);
      w.Key("name").Text(p.RemoteName, TTextKind::Decoded);
      w.Close();
    }
    if (p.TooDeep) w.Key("too-deep").Bool(true);
    w.Close();
  }
  w.Close();
}

// The route's cells as stored, but the country: system text in code page 932.
void WriteView(TJsonWriter& w, const std::vector<TRouteRow>& rows) {
  WriteRows(w, rows, [](const TRouteRow& r, auto cell) {
    for (std::size_t c = 0; c < kDumpedRouteColumns; ++c) {
      const TRouteColumn column = kRouteColumns[c].Column;
      if (column == TRouteColumn::Country) cell(Cp932ToUtf8(r.Country, TDecodeMode::Replace), TTextKind::Decoded);
      else cell(RouteCell(r, column), TTextKind::Stored);
    }
  });
}

void WriteView(TJsonWriter& w, const TDelivery& d) {
  w.Open('{');
  WriteTime(w.Key("sent"), d.Sent);
  WriteTime(w.Key("received"), d.Received);
  WriteSeconds(w.Key("seconds"), d.Seconds);
  w.Close();
}

void WriteView(TJsonWriter& w, const std::vector<std::string>& notes) {
  w.Open('[');
  for (const std::string& note : notes) WriteText(w.Item(), note);
  w.Close();
}

void WriteView(TJsonWriter& w, const TTextView& memo) { w.Lines(memo); }

void WriteView(TJsonWriter& w, const std::vector<THeaderRow>& rows) {
  WriteRows(w, rows, [](const THeaderRow& h, auto cell) {
    cell(h.Name, TTextKind::Stored);
    cell(h.Value, TTextKind::Stored);
  });
}

// The explanation box's lines of every header row.
void WriteExplanations(TJsonWriter& w, const TMailViews& views) {
  WriteRows(w, views.ListView1, [&views, row = std::size_t{0}](const THeaderRow&, auto cell) mutable {
    for (const std::string& line : RowExplanationLines(views, row)) cell(line, TTextKind::Decoded);
    ++row;
  });
}

bool Wanted(const std::vector<std::string>& only, std::string_view key) {
  return only.empty() || std::find(only.begin(), only.end(), key) != only.end();
}

}  // namespace

bool IsDumpKey(std::string_view key) {
  if (key == "Hops" || key == "Memo5") return true;
  return std::apply([key](const auto&... view) { return ((key == view.Key) || ...); }, kViews);
}

void WriteMailViews(const std::string& fileName, const TMailViews& views, const std::string* error, std::ostream& out,
                    const TMessagePlace* place, const std::vector<std::string>& only) {
  TJsonWriter w(out);
  w.Open('{');
  WriteText(w.Key("file"), fileName);
  if (place) {
    w.Key("index").Number(static_cast<std::int64_t>(place->Index));
    w.Key("offset").Number(static_cast<std::int64_t>(place->Offset));
  }
  if (error) w.Key("error").Cp932(*error);
  else w.Key("error").Null();
  // Each view on a line of its own; what is read off a view follows it.
  ForEachView(views, [&](const auto& view, const auto& member) {
    if (Wanted(only, view.Key)) WriteView(w.Key(view.Key, "\n "), member);
    using T = std::decay_t<decltype(member)>;
    if constexpr (std::is_same_v<T, std::vector<TRouteRow>>)
      if (Wanted(only, "Hops")) WriteHops(w.Key("Hops", "\n "), member);
    if constexpr (std::is_same_v<T, std::vector<THeaderRow>>)
      if (Wanted(only, "Memo5")) WriteExplanations(w.Key("Memo5", "\n "), views);
  });
  w.Close().Raw("\n");
}

int DumpMailFile(const std::string& fileName, std::ostream& out, const std::vector<std::string>& only) {
  TMailViews views;
  std::string error;
  bool failed = false;
  try {
    TLoadOptions listing;
    listing.KeepPartData = false;
    listing.Only = only;
    LoadMailFile(fileName, views, listing);
  } catch (const std::exception& e) {
    failed = true;
    error = e.what();
  }
  WriteMailViews(fileName, views, failed ? &error : nullptr, out, nullptr, only);
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
