// The part records: names, types, digests, warnings, and the safe names and
// files for saving.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/cp932.h"
#include "base/errors.h"
#include "mail/mailutils.h"
#include "mail/parts.h"

namespace fs = std::filesystem;
using namespace tarvo;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A fresh, empty folder for one test.
fs::path FreshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("tarvo_parts_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

}  // namespace

TEST(PartFileName, DecodesEveryForm) {
  struct Case {
    const char* what;
    std::string type, disposition, name;
  };
  const Case cases[] = {
      {"quoted filename", "", "attachment; filename=\"a.pdf\"", "a.pdf"},
      {"unquoted with blanks", "", "attachment; filename=my report.pdf", "my report.pdf"},
      {"backslash escape", "", "attachment; filename=\"a\\\"b.txt\"", "a\"b.txt"},
      {"name on the type only", "image/png; name=\"a.png\"", "", "a.png"},
      {"filename wins over name", "image/png; name=\"b.png\"", "inline; filename=\"a.png\"", "a.png"},
      {"no name at all", "text/plain; charset=us-ascii", "inline", ""},
      {"RFC 2231 UTF-8", "", "attachment; filename*=UTF-8''%E8%AB%8B%E6%B1%82%E6%9B%B8.pdf", "請求書.pdf"},
      {"RFC 2231 lower-case hex", "", "attachment; filename*=utf-8'ja'%e8%ab%8b%e6%b1%82%e6%9b%b8.pdf", "請求書.pdf"},
      {"RFC 2231 ISO-2022-JP", "", "attachment; filename*=iso-2022-jp'ja'%1B%24B%40A5a%3Dq%1B%28B.pdf", "請求書.pdf"},
      {"RFC 2231 segments", "",
       "attachment;\r\n filename*0*=UTF-8''%E8%AB%8B;\r\n filename*1*=%E6%B1%82%E6%9B%B8;\r\n filename*2=\".pdf\"",
       "請求書.pdf"},
      {"segments out of order", "", "attachment; filename*1=\"def.txt\"; filename*0=\"abc\"", "abcdef.txt"},
      {"segmented name on the type", "application/pdf; name*0*=UTF-8''%E6%9B%B8; name*1=\".pdf\"", "", "書.pdf"},
      {"extended value without charset", "", "attachment; filename*=a%20b.txt", "a b.txt"},
      {"encoded word, UTF-8", "image/jpeg; name=\"=?UTF-8?B?5YaZ55yfLmpwZw==?=\"", "", "写真.jpg"},
      {"encoded word, ISO-2022-JP", "", "attachment; filename=\"=?ISO-2022-JP?B?GyRCPEw/PxsoQi5qcGc=?=\"", "写真.jpg"},
      {"raw UTF-8", "", "attachment; filename=\"写真.jpg\"", "写真.jpg"},
      {"raw Shift-JIS", "", "attachment; filename=\"\x8e\xca\x90\x5e.jpg\"", "写真.jpg"},
      {"raw JIS", "", "attachment; filename=\"\x1b$B<L??\x1b(B.jpg\"", "写真.jpg"},
  };
  for (const Case& c : cases) {
    // Through the MIME walk's own reading of a part header.
    std::string header;
    if (!c.type.empty()) header += "Content-Type: " + c.type + "\r\n";
    if (!c.disposition.empty()) header += "Content-Disposition: " + c.disposition + "\r\n";
    TAttachLists parts;
    ParseMessageParts(ReadFields(header), "x", parts);
    ASSERT_EQ(parts.size(), 1u) << c.what;
    EXPECT_EQ(parts[0].PartName, c.name) << c.what;
  }
}

TEST(PartRecord, DispositionAndDigests) {
  // Known vectors: RFC 1321, FIPS 180-1 and FIPS 180-2 for "abc".
  const TMailPart p = MakeWalkedPart(3, {"a.txt", "text/plain", "attachment", "ISO-2022-JP", "base64"}, "abc");
  EXPECT_EQ(p.Index, 3);
  EXPECT_EQ(p.Size, 3u);
  EXPECT_EQ(p.Md5, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(p.Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(p.Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(p.Data, "abc");
  EXPECT_EQ(p.Warning, "");
  // Unknown dispositions are attachments (RFC 2183).
  EXPECT_EQ(MakeWalkedPart(1, {"", "text/plain", "form-data", "", ""}, "").Disposition, "attachment");
  EXPECT_EQ(MakeWalkedPart(1, {"", "text/plain", "inline", "", ""}, "").Disposition, "inline");
  EXPECT_EQ(MakeWalkedPart(1, {}, "").Sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(PartRecord, DigestOfBytesWithNulAndHighBytes) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
  const std::string path = (fs::temp_directory_path() / ("tarvo_parts_digest_" + std::to_string(::getpid()))).string();
  std::ofstream(path, std::ios::binary) << bytes;
  const auto tool = [&](const char* algo) {
    // OpenSSL's command line, a digest computed outside this program.
    const std::string cmd = std::string("openssl dgst -") + algo + " -r " + path;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    char buf[256] = {};
    const std::size_t n = fread(buf, 1, sizeof buf - 1, p.get());
    const std::string out(buf, n);
    return out.substr(0, out.find(' '));
  };
  const TMailPart p = MakeWalkedPart(1, {"", "application/octet-stream", "", "", ""}, bytes);
  EXPECT_EQ(p.Size, 1000u);
  EXPECT_EQ(p.Md5, tool("md5"));
  EXPECT_EQ(p.Sha1, tool("sha1"));
  EXPECT_EQ(p.Sha256, tool("sha256"));
  EXPECT_EQ(p.Sha256.size(), 64u);
  fs::remove(path);
}

TEST(SaveName, KeepsTheNameInsideTheFolder) {
  struct Case {
    std::string name, type, expect;
  };
  const Case cases[] = {
      {"a.pdf", "application/pdf", "a.pdf"},
      {"請求書.pdf", "application/pdf", "請求書.pdf"},
      {"../../etc/passwd", "text/plain", "passwd"},
      {"..\\..\\Windows\\evil.exe", "", "evil.exe"},
      {"C:\\temp\\a.txt", "", "a.txt"},
      {"dir/", "image/png", "part3.png"},
      {"..", "", "part3.bin"},
      {".bashrc", "", "bashrc"},
      {"CON", "", "_CON"},
      {"con.txt", "", "_con.txt"},
      {"LPT1", "", "_LPT1"},
      {"COM10.txt", "", "COM10.txt"},
      {"a\x01\x1f\x7f\tb.txt", "", "ab.txt"},
      {"a\xc2\x85z.txt", "", "az.txt"},
      {"a<b>c:d\"e|f?g*h.txt", "", "abcdefgh.txt"},
      {"invoice\u202Efdp.exe", "", "invoicefdp.exe"},
      {"report.pdf. . ", "", "report.pdf"},
      {"a\xff\xfe.txt", "", "a.txt"},
      {"", "application/pdf", "part3.pdf"},
      {"", "image/jpeg", "part3.jpg"},
      {"", "message/rfc822", "part3.eml"},
      {"", "message/external-body", "part3.txt"},
      {"", "application/x-whatever", "part3.bin"},
      {"\x01\x02", "text/plain", "part3.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(SafeSaveName(c.name, 3, c.type), c.expect) << c.name;
}

TEST(SaveName, LongNamesAreCutOnACharacterKeepingTheExtension) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += "書";
  name += ".pdf";
  const std::string safe = SafeSaveName(name, 1, "");
  EXPECT_LE(safe.size(), 200u);
  EXPECT_EQ(safe.substr(safe.size() - 4), ".pdf");
  EXPECT_EQ((safe.size() - 4) % 3, 0u);  // whole three-byte characters only
  EXPECT_EQ(safe.substr(0, 3), "書");
}

TEST(SaveFile, NeverOverwritesWithoutBeingAsked) {
  const fs::path dir = FreshFolder("clash");
  TSaveTarget t = SaveTargetIn(dir.string(), "a.pdf");
  EXPECT_FALSE(t.Exists);
  EXPECT_EQ(t.Path, (dir / "a.pdf").string());
  SavePartFile(t.Path, std::string("one\0two", 7), false);
  EXPECT_EQ(ReadAll(dir / "a.pdf"), std::string("one\0two", 7));

  EXPECT_TRUE(SaveTargetIn(dir.string(), "a.pdf").Exists);
  EXPECT_THROW(SavePartFile(t.Path, "other", false), EFCreateError);
  EXPECT_EQ(ReadAll(dir / "a.pdf"), std::string("one\0two", 7));

  EXPECT_EQ(FreeSaveName(dir.string(), "a.pdf"), "a (2).pdf");
  std::ofstream(dir / "a (2).pdf") << "x";
  EXPECT_EQ(FreeSaveName(dir.string(), "a.pdf"), "a (3).pdf");
  EXPECT_EQ(FreeSaveName(dir.string(), "noext"), "noext (2)");

  SavePartFile(t.Path, "replaced", true);  // the user said yes
  EXPECT_EQ(ReadAll(dir / "a.pdf"), "replaced");
  fs::remove_all(dir);
}

TEST(SaveFile, DoesNotFollowALinkOutOfTheFolder) {
  const fs::path dir = FreshFolder("link");
  const fs::path outside = FreshFolder("outside") / "victim.txt";
  std::ofstream(outside) << "keep";
  fs::create_symlink(outside, dir / "a.txt");
  EXPECT_TRUE(SaveTargetIn(dir.string(), "a.txt").Exists);
  EXPECT_THROW(SavePartFile((dir / "a.txt").string(), "evil", false), EFCreateError);
  EXPECT_THROW(SavePartFile((dir / "a.txt").string(), "evil", true), EFCreateError);
  EXPECT_EQ(ReadAll(outside), "keep");
  fs::create_symlink(dir / "nowhere", dir / "b.txt");  // dangling
  EXPECT_TRUE(SaveTargetIn(dir.string(), "b.txt").Exists);
  EXPECT_THROW(SavePartFile((dir / "b.txt").string(), "evil", false), EFCreateError);
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  fs::remove_all(dir);
  fs::remove_all(outside.parent_path());
}

TEST(SaveFile, ErrorIsTheCreateError) {
  try {
    SavePartFile("/nonexistent/folder/a.txt", "x", false);
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    const std::string text = Cp932ToUtf8(e.what());
    EXPECT_NE(text.find("ファイル \"/nonexistent/folder/a.txt\". "), std::string::npos) << text;
    EXPECT_NE(text.find("を作成できません"), std::string::npos) << text;
  }
}

TEST(SaveFile, SaveNamedPartsSkipsUnnamedAndRenamesOnClash) {
  const fs::path dir = FreshFolder("named");
  TMailParts parts;
  parts.push_back(MakeWalkedPart(1, {"", "text/plain", "", "", ""}, "body text"));
  parts.push_back(MakeWalkedPart(2, {"../x.pdf", "application/pdf", "attachment", "", ""}, "%PDF"));
  parts.push_back(MakeWalkedPart(3, {"x.pdf", "application/pdf", "attachment", "", ""}, "second"));
  const std::vector<TSavedPart> saved = SaveNamedParts(parts, dir.string());
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].Index, 2);
  EXPECT_EQ(saved[0].Path, (dir / "x.pdf").string());
  EXPECT_FALSE(saved[0].Renamed);
  EXPECT_EQ(saved[1].Path, (dir / "x (2).pdf").string());
  EXPECT_TRUE(saved[1].Renamed);
  EXPECT_EQ(ReadAll(dir / "x.pdf"), "%PDF");
  EXPECT_EQ(ReadAll(dir / "x (2).pdf"), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}
