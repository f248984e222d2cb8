// The part list of whole messages: walk order, names, sizes, the bytes the
// sender attached, and the --dump and --save-parts forms.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "jcode/jconvert.h"
#include "views/pipeline.h"
#include "parts_mail.h"
#include "run_tarvo.h"

namespace fs = std::filesystem;
using namespace tarvo;
using namespace tarvo::testing;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// SHA-256 by OpenSSL's command line.
std::string ToolSha256(const std::string& bytes) {
  const std::string path = tarvo::testing::WriteTemp("tarvo_partlist_" + std::to_string(::getpid()), bytes);
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(("openssl dgst -sha256 -r " + path).c_str(), "r"), pclose);
  char buf[200] = {};
  const std::string out(buf, fread(buf, 1, sizeof buf - 1, p.get()));
  fs::remove(path);
  return out.substr(0, out.find(' '));
}

}  // namespace

TEST(PartList, LetterWithPdfJpegAndText) {
  TMailViews v;
  LoadMailBytes(LetterWithAttachments(), v);
  ASSERT_EQ(v.Parts.size(), 3u);
  const TMailPart& text = v.Parts[0];
  EXPECT_EQ(text.Index, 1);
  EXPECT_EQ(text.Name, "");
  EXPECT_EQ(text.ContentType, "text/plain");
  EXPECT_EQ(text.Charset, "ISO-2022-JP");
  EXPECT_EQ(text.Encoding, "7bit");
  EXPECT_EQ(text.Disposition, "");

  const TMailPart& pdf = v.Parts[1];
  EXPECT_EQ(pdf.Name, "report.pdf");
  EXPECT_EQ(pdf.ContentType, "application/pdf");
  EXPECT_EQ(pdf.Disposition, "attachment");
  EXPECT_EQ(pdf.Encoding, "base64");
  EXPECT_EQ(pdf.Size, PdfBytes().size());
  EXPECT_TRUE(pdf.Bytes() == PdfBytes());
  EXPECT_EQ(pdf.Sha256, ToolSha256(PdfBytes()));

  const TMailPart& jpeg = v.Parts[2];
  EXPECT_EQ(jpeg.Index, 3);
  EXPECT_EQ(jpeg.Name, "写真.jpg");
  EXPECT_EQ(jpeg.ContentType, "image/jpeg");
  EXPECT_EQ(jpeg.Disposition, "inline");
  EXPECT_EQ(jpeg.Encoding, "base64");
  EXPECT_TRUE(jpeg.Bytes() == JpegBytes());
  EXPECT_EQ(jpeg.Sha256, ToolSha256(JpegBytes()));
  EXPECT_EQ(jpeg.Warning, "");
}

TEST(PartList, NestedPartsAndAttachedMessage) {
  const std::string mail =
      "Content-Type: multipart/mixed; boundary=outer\r\n\r\n"
      "--outer\r\nContent-Type: multipart/alternative; boundary=inner\r\n\r\n"
      "--inner\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nplain\r\n"
      "--inner\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<p>=E3=81=82</p>\r\n"
      "--inner--\r\n"
      "--outer\r\nContent-Type: message/rfc822\r\nContent-Disposition: attachment; filename=\"fwd.eml\"\r\n\r\n"
      "Subject: inner\r\n\r\ninner body\r\n"
      "--outer\r\nContent-Type: application/octet-stream\r\n"
      "Content-Disposition: attachment; filename=\"=?UTF-8?B?6KuL5rGC5pu4LnBkZi5leGU=?=\"\r\n\r\nMZ\r\n"
      "--outer--\r\n";
  TMailViews v;
  LoadMailBytes(mail, v);
  ASSERT_EQ(v.Parts.size(), 5u);
  EXPECT_EQ(v.Parts[0].ContentType, "text/plain");
  EXPECT_EQ(v.Parts[0].Bytes(), "plain");
  EXPECT_EQ(v.Parts[1].ContentType, "text/html");
  EXPECT_EQ(v.Parts[1].Bytes(), "<p>\xE3\x81\x82</p>");
  EXPECT_EQ(v.Parts[2].ContentType, "message/rfc822");
  EXPECT_EQ(v.Parts[2].Name, "fwd.eml");
  EXPECT_EQ(v.Parts[2].Bytes(), "Subject: inner\r\n\r\ninner body");
  EXPECT_EQ(v.Parts[3].Number, "3.1");
  EXPECT_EQ(v.Parts[3].Bytes(), "inner body");
  EXPECT_EQ(v.Parts[4].Number, "4");
  EXPECT_EQ(v.Parts[4].Name, "請求書.pdf.exe");
  EXPECT_NE(v.Parts[4].Warning.find("二重拡張子"), std::string::npos);
  for (std::size_t i = 0; i < v.Parts.size(); ++i) EXPECT_EQ(v.Parts[i].Index, static_cast<int>(i + 1));
  // A part stored as it is is not copied: its bytes lie in the message,
  // which the header view points into as well; a decoded one has its own.
  const char* message = v.Memo1[0].data();
  EXPECT_TRUE(v.Parts[0].Bytes().data() > message && v.Parts[0].Bytes().data() < message + mail.size());
  EXPECT_TRUE(v.Parts[1].Bytes().data() < message || v.Parts[1].Bytes().data() >= message + mail.size());
  // Nor is UTF-8 text copied for the text view: it reads the same decoded.
  ASSERT_EQ(v.Memo4.Count(), 1u);
  EXPECT_EQ(v.Memo4[0], "plain");
  EXPECT_TRUE(v.Memo4[0].data() > message && v.Memo4[0].data() < message + mail.size());

  // The same message with LF line ends lists the same parts.
  std::string lf = mail;
  for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  TMailViews w;
  LoadMailBytes(lf, w);
  ASSERT_EQ(w.Parts.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(w.Parts[i].ContentType, v.Parts[i].ContentType);
    EXPECT_EQ(w.Parts[i].Name, v.Parts[i].Name);
  }
  EXPECT_EQ(w.Parts[0].Bytes(), "plain");
  EXPECT_EQ(w.Parts[4].Bytes(), "MZ");
}

TEST(PartList, SinglePartMessageIsOnePart) {
  struct Case {
    std::string mail, type, encoding, data;
  };
  const Case cases[] = {
      {"Subject: x\r\n\r\nhello\r\n", "text/plain", "", "hello\r\n"},
      {"Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: Base64\r\n\r\nPGI+PC9iPg==\r\n",
       "text/html", "base64", "<b></b>"},
      // A list's footer after the padding is not part of the data.
      {"Content-Transfer-Encoding: base64\r\n\r\naGk=\r\n-- \r\nfooter\r\n", "text/plain", "base64", "hi"},
      // And one after unpadded data: a word after a blank line, any line after the short last one.
      {"Content-Transfer-Encoding: base64\r\n\r\nQUJDQUJD\r\nQUJDQUJD\r\n\r\nUnsubscribe\r\n", "text/plain", "base64",
       "ABCABCABCABC"},
      {"Content-Transfer-Encoding: base64\n\nQUJDQUJD\nQUJD \nThanks for reading\n", "text/plain", "base64", "ABCABCABC"},
      {"Subject: no body\r\n", "text/plain", "", ""},
  };
  for (const Case& c : cases) {
    TMailViews v;
    LoadMailBytes(c.mail, v);
    ASSERT_EQ(v.Parts.size(), 1u) << c.mail;
    EXPECT_EQ(v.Parts[0].ContentType, c.type) << c.mail;
    EXPECT_EQ(v.Parts[0].Encoding, c.encoding) << c.mail;
    EXPECT_EQ(v.Parts[0].Bytes(), c.data) << c.mail;
    EXPECT_EQ(v.Parts[0].Size, c.data.size()) << c.mail;
    const std::string out = tarvo::testing::DumpOf(tarvo::testing::WriteTemp("tarvo_single.eml", c.mail));
    EXPECT_NE(out.find("\"size\": " + std::to_string(c.data.size()) + ","), std::string::npos) << c.mail;
  }
}

TEST(PartList, DumpHasThePartsKey) {
  const std::string path = tarvo::testing::WriteTemp("tarvo_partlist_dump.eml", LetterWithAttachments());
  const std::string out = tarvo::testing::DumpOf(path);
  EXPECT_NE(out.find("\"Parts\": [{\"index\": \"1\", \"depth\": 0, \"name\": \"\", \"type\": \"text/plain\", \"disposition\": \"\", "
                     "\"charset\": \"ISO-2022-JP\", \"encoding\": \"7bit\", \"size\": 16, "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("{\"index\": \"3\", \"depth\": 0, \"name\": \"写真.jpg\", \"type\": \"image/jpeg\", \"disposition\": \"inline\", "
                     "\"charset\": \"\", \"encoding\": \"base64\", \"size\": " +
                     std::to_string(JpegBytes().size()) + ", "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"sha256\": \"" + ToolSha256(PdfBytes()) + "\", \"warning\": \"\", \"content\": \"pdf\"}"), std::string::npos) << out;
}

TEST(PartList, SavePartsWritesTheSendersBytes) {
  const std::string path = tarvo::testing::WriteTemp("tarvo_partlist_save.eml", LetterWithAttachments());
  const fs::path dir = fs::temp_directory_path() / ("tarvo_partlist_save_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  tarvo::testing::RunResult r = tarvo::testing::RunTarvo("--save-parts " + path + " " + dir.string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "保存しました: " + (dir / "report.pdf").string() + "\n保存しました: " + (dir / "写真.jpg").string() + "\n");
  EXPECT_TRUE(ReadAll(dir / "report.pdf") == PdfBytes());
  EXPECT_TRUE(ReadAll(dir / "写真.jpg") == JpegBytes());

  // Again: nothing is overwritten, the new files get free names.
  r = tarvo::testing::RunTarvo("--save-parts " + path + " " + dir.string());
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find((dir / "report (2).pdf").string() + "（同じ名前のファイルがあるため名前を変えました）"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(ReadAll(dir / "写真 (2).jpg") == JpegBytes());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);

  r = tarvo::testing::RunTarvo("--save-parts " + path + " " + (dir / "missing").string());
  EXPECT_EQ(r.code, 1);
  // An empty folder name is no folder (not the current one).
  r = tarvo::testing::RunTarvo("--save-parts " + path + " ''");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  fs::remove_all(dir);
}

TEST(PartList, SavePartsSaysWhatItWroteBeforeAnError) {
  // The second file is too large for the file size limit (2 KiB in dash's
  // 512-byte blocks); what was written before it is still said.
  const std::string mail = "From: a@example.jp\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                           "--b\r\nContent-Type: text/plain; name=a.txt\r\n\r\nsmall\r\n"
                           "--b\r\nContent-Type: application/octet-stream; name=b.bin\r\n\r\n" +
                           std::string(8192, 'x') + "\r\n--b--\r\n";
  const std::string path = tarvo::testing::WriteTemp("tarvo_partlist_limit.eml", mail);
  tarvo::testing::TTempDir dir;
  const std::string cmd = "sh -c 'trap \"\" XFSZ; ulimit -f 4; exec " + std::string(TARVO_BINARY) + " --save-parts " + path +
                          " " + dir.Path().string() + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p.get())) > 0;) out.append(buf, n);
  EXPECT_EQ(out, "保存しました: " + (dir / "a.txt").string() + "\n");
  const int status = pclose(p.release());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_FALSE(fs::exists(dir / "b.bin"));
}

TEST(PartList, AttachmentsPageShowsATextPartAsTheTextViewDoes) {
  struct Case {
    const char* fields;  // Content-Type and Content-Transfer-Encoding
    const char* body;
  } cases[] = {
      {"text/plain; charset=us-ascii", "\r\n\r\nUTF-8 \xE3\x81\x82 under us-ascii\r\n\r\n"},
      {"text/plain", "EUC \xA4\xA2\xA4\xA4\r\n\r\nSJIS \x82\xA0\x82\xA2\r\nplain\r\n"},
      {"text/plain; charset=utf-8", "  \r\n\xE3\x81\x82\r\n \t\r\n"},
      {"text/plain; charset=shift_jis\r\nContent-Transfer-Encoding: base64", "gqCCog0KDQqCpA==\r\n"},
      {"text/plain; charset=iso-2022-jp", "\x1B$B$\"\x1B(B\r\n"},
      {"text/plain; charset=x-no-such-charset", "\xE3\x81\x82\r\n\x82\xA0\r\n"},
  };
  for (const Case& c : cases) {
    TMailViews v;
    LoadMailBytes(std::string("Content-Type: ") + c.fields + "\r\n\r\n" + c.body, v);
    ASSERT_EQ(v.Parts.size(), 1u) << c.fields;
    EXPECT_EQ(PartTextLines(v.Parts[0]).Lines, v.Memo4.Lines()) << c.fields;
    EXPECT_FALSE(v.Memo4.Empty()) << c.fields;
  }
}
