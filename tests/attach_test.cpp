// Attachments judged by name and content: the risk table, content sniffing,
// archive listing (archives written here with libarchive), and the findings.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "checks/auth.h"
#include "jcode/jconvert.h"
#include "mail/content.h"
#include "tests/run_tarvo.h"
#include "views/pipeline.h"

using namespace tarvo;
using namespace std::string_literals;

namespace {

struct TEntrySpec {
  std::string name, data;
};

// An archive of the given format written in memory; `passphrase` encrypts it.
std::string MakeArchive(int (*format)(archive*), const std::vector<TEntrySpec>& entries, int (*filter)(archive*) = nullptr,
                        const char* passphrase = nullptr) {
  std::unique_ptr<archive, int (*)(archive*)> a(archive_write_new(), archive_write_free);
  format(a.get());
  if (filter) filter(a.get());
  if (passphrase) {
    archive_write_set_options(a.get(), "zip:encryption=zipcrypt");
    archive_write_set_passphrase(a.get(), passphrase);
  }
  std::string out(std::size_t{4} << 20, '\0');
  std::size_t used = 0;
  EXPECT_EQ(archive_write_open_memory(a.get(), out.data(), out.size(), &used), ARCHIVE_OK) << archive_error_string(a.get());
  for (const TEntrySpec& e : entries) {
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname(entry.get(), e.name.c_str());
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.data.size()));
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    EXPECT_EQ(archive_write_header(a.get(), entry.get()), ARCHIVE_OK) << archive_error_string(a.get());
    archive_write_data(a.get(), e.data.data(), e.data.size());
  }
  archive_write_close(a.get());
  out.resize(used);
  return out;
}

std::string Pe() {
  std::string b(0x80, '\0');
  b[0] = 'M', b[1] = 'Z', b[0x3C] = 0x40;
  b.replace(0x40, 4, "PE\0\0"s);
  return b;
}

}  // namespace

TEST(AttachmentRisk, NamesAgainstTheTable) {
  struct Case {
    std::string name, type;
    TLevel level;
    std::string piece;  // a piece of the first sentence; "" for no risk
  };
  const Case cases[] = {
      {"請求書.pdf.exe", "application/octet-stream", TLevel::Bad, "「.pdf」に見せかけたプログラム（.exe）"},
      {"scan.PDF      .Scr", "application/octet-stream", TLevel::Bad, "二重拡張子"},
      {"invoice.pdf.html", "text/html", TLevel::Bad, "「.pdf」に見せかけたWeb ページ"},
      {"invoice.pdf.zip", "application/zip", TLevel::Bad, "「.pdf」に見せかけた圧縮ファイル"},
      {"photo.exe", "image/jpeg", TLevel::Bad, "宣言された形式（image/jpeg）と拡張子（.exe）が合いません"},
      {"photo.jpg", "application/x-msdownload", TLevel::Bad, "プログラムですが、ファイル名は「photo.jpg」"},
      {"readme.js", "text/plain", TLevel::Bad, "スクリプト"},
      {"test.rb", "text/x-ruby-script", TLevel::Warn, "プログラムのソース"},
      {"invoice.pdf.py", "application/octet-stream", TLevel::Bad, "二重拡張子"},
      {"doc.iso", "application/octet-stream", TLevel::Bad, "ディスクイメージ"},
      {"notes.one", "application/octet-stream", TLevel::Bad, "マクロを含められる文書"},
      {"login.url", "application/octet-stream", TLevel::Bad, "ショートカット"},
      {"x.settingcontent-ms", "", TLevel::Bad, "ショートカット"},
      {"invoice\u202Efdp.exe", "application/pdf", TLevel::Bad, "制御文字か見えない文字"},
      {"請求書\u200B.pdf", "application/pdf", TLevel::Bad, "見えない文字"},
      {"page.html", "text/html", TLevel::Warn, "Web ページ"},
      {"old.xls", "application/vnd.ms-excel", TLevel::Warn, "古い形式の Office 文書"},
      {"files.zip", "application/zip", TLevel::Warn, "圧縮ファイル（.zip）"},
      {"parts.r00", "", TLevel::Warn, "圧縮ファイル"},
      {"archive.tar.gz", "application/gzip", TLevel::Warn, "圧縮ファイル（.gz）"},
      {"invoice.pdf", "application/pdf", TLevel::Info, ""},
      {"photo.jpg", "application/octet-stream", TLevel::Info, ""},
      {".exe", "image/png", TLevel::Info, ""},
  };
  for (const Case& c : cases) {
    const auto risks = NameRisks(c.name, c.type);
    SCOPED_TRACE(c.name);
    if (c.piece.empty()) {
      EXPECT_TRUE(risks.empty()) << risks.front().Text;
      continue;
    }
    ASSERT_FALSE(risks.empty());
    EXPECT_EQ(risks.front().Level, c.level) << risks.front().Text;
    EXPECT_NE(risks.front().Text.find(c.piece), std::string::npos) << risks.front().Text;
  }
}

TEST(AttachmentRisk, ContentByItsBytes) {
  std::string ole = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s + std::string(600, '\0');
  const std::string vba = ole + "_\0V\0B\0A\0_\0P\0R\0O\0J\0E\0C\0T\0"s;
  const std::pair<std::string, TContentKind> cases[] = {
      {Pe(), TContentKind::WindowsProgram},
      {"MZ" + std::string(100, 'x'), TContentKind::Unknown},  // no PE header
      {"\x7F" "ELF\x02\x01", TContentKind::ElfProgram},
      {"\xCF\xFA\xED\xFE\x07", TContentKind::MachOProgram},
      {"#!/bin/sh\nrm -rf ~\n", TContentKind::Script},
      {vba, TContentKind::OfficeMacros},
      {ole, TContentKind::Office},
      {"%PDF-1.7\n1 0 obj << /OpenAction << /S /JavaScript /JS (app.alert(1)) >> >>", TContentKind::PdfActive},
      {"%PDF-1.4\n<< /S /Launch /F (cmd.exe) >>", TContentKind::PdfActive},
      {"%PDF-1.4\n<< /JSON 1 /JavaScriptX 2 >>", TContentKind::Pdf},
      {"\xEF\xBB\xBF  <!DOCTYPE html><html>", TContentKind::Html},
      {"<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\">", TContentKind::Svg},
      {"PK\x03\x04rest", TContentKind::Archive},
      {"plain text", TContentKind::Unknown},
  };
  for (const auto& [bytes, kind] : cases) EXPECT_EQ(SniffContent(bytes), kind) << bytes.substr(0, 12);
}

TEST(AttachmentRisk, ArchivesListedByLibarchive) {
  const std::vector<TEntrySpec> files = {{"invoice.exe", Pe()}, {"docs/readme.txt", "hello"}};
  struct Case {
    const char* what;
    std::string bytes;
    bool encrypted;
  };
  const Case cases[] = {
      {"zip", MakeArchive(archive_write_set_format_zip, files), false},
      {"7z", MakeArchive(archive_write_set_format_7zip, files), false},
      {"iso", MakeArchive(archive_write_set_format_iso9660, files), false},
      {"tar.gz", MakeArchive(archive_write_set_format_pax_restricted, files, archive_write_add_filter_gzip), false},
      {"zip with a password", MakeArchive(archive_write_set_format_zip, files, nullptr, "secret"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TArchiveListing list = ListArchive(c.bytes);
    ASSERT_TRUE(list.Read);
    EXPECT_EQ(list.Encrypted, c.encrypted);
    std::map<std::string, std::int64_t> sizes;
    for (const TArchiveEntry& e : list.Entries) sizes[e.Name] = e.Size;
    EXPECT_EQ(sizes.size(), 2u);
    ASSERT_TRUE(sizes.contains("invoice.exe")) << ::testing::PrintToString(sizes);
    EXPECT_TRUE(sizes.contains("docs/readme.txt")) << ::testing::PrintToString(sizes);
    if (!c.encrypted) {
      EXPECT_EQ(sizes["invoice.exe"], 0x80);
    }
  }
  // A single compressed file is one entry named after it.
  const std::string gz = MakeArchive(archive_write_set_format_raw, {{"x", "data"}}, archive_write_add_filter_gzip);
  const TArchiveListing one = ListArchive(gz, "report.pdf.gz");
  ASSERT_EQ(one.Entries.size(), 1u);
  EXPECT_EQ(one.Entries[0].Name, "report.pdf");
  EXPECT_EQ(one.Entries[0].Size, 4);
  EXPECT_FALSE(ListArchive("not an archive at all").Read);
  // Caps: entries.
  std::vector<TEntrySpec> many;
  for (int i = 0; i < 1100; ++i) many.push_back({"f" + std::to_string(i), ""});
  const TArchiveListing capped = ListArchive(MakeArchive(archive_write_set_format_zip, many));
  EXPECT_EQ(capped.Entries.size(), kMaxArchiveEntries);
  EXPECT_TRUE(capped.Truncated);
}

TEST(AttachmentRisk, FindingsNameThePartTheFileAndTheEntry) {
  const std::string zip = MakeArchive(archive_write_set_format_zip, {{"invoice.exe", Pe()}, {"a.txt", "a"}});
  const std::string locked = MakeArchive(archive_write_set_format_zip, {{"a.doc", "x"}}, nullptr, "pw");
  const auto part = [](const std::string& type, const std::string& name, const std::string& bytes) {
    return "--b\r\nContent-Type: " + type + "; name=\"" + name + "\"\r\nContent-Disposition: attachment; filename=\"" + name +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Base64Encode(bytes) + "\r\n";
  };
  const std::string mail = "From: a@shop.example\r\nSubject: s\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                           "--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n" +
                           part("application/pdf", "invoice.pdf", Pe()) + part("application/zip", "files.zip", zip) +
                           part("application/zip", "locked.zip", locked) + "--b--\r\n";
  TMailViews v;
  TLoadOptions listing;
  listing.KeepPartData = false;
  LoadMailBytes(mail, v, listing);
  std::vector<std::string> details;
  for (const TFinding& f : v.Findings)
    if (f.Kind == "attachment-risk") details.push_back(LevelName(f.Level) + " "s + f.Detail);
  EXPECT_EQ(VerdictLevel(v.Findings), TLevel::Bad);
  const auto has = [&](const std::string& d) { return std::find(details.begin(), details.end(), d) != details.end(); };
  EXPECT_TRUE(has("bad 部分 2: invoice.pdf")) << ::testing::PrintToString(details);
  EXPECT_TRUE(has("bad 部分 3: files.zip / 中身: invoice.exe")) << ::testing::PrintToString(details);
  EXPECT_TRUE(has("warn 部分 4: locked.zip")) << ::testing::PrintToString(details);
  ASSERT_EQ(v.Parts[2].Archive.Entries.size(), 2u);
  EXPECT_NE(v.Parts[2].Archive.Entries[0].Warning.find("プログラム"), std::string::npos);
  EXPECT_NE(v.Parts[3].Warning.find("パスワード付き圧縮ファイル"), std::string::npos);
  EXPECT_EQ(v.Parts[1].Content, TContentKind::WindowsProgram);
}

TEST(AttachmentRisk, DumpListsEntriesAndFindings) {
  const std::string out =
      tarvo::testing::DumpOf(std::string(TARVO_SOURCE_DIR) + "/tests/data/attach/risky-attachments.eml");
  for (const char* piece : {"\"content\": \"windows-program\"", "\"entries\": [{\"name\": \"請求書/invoice.exe\", \"size\": 128",
                            "\"detail\": \"部分 2: invoice.pdf\"", "\"detail\": \"部分 3: files.zip / 中身: 請求書/invoice.exe\"",
                            "\"detail\": \"部分 4: photo.jpg\"", "\"kind\": \"attachment-risk\", \"level\": \"bad\""})
    EXPECT_NE(out.find(piece), std::string::npos) << piece;
}
