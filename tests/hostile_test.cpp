// Hostile messages: each loads without crash or hang, with the results the
// rules give. Small ones live in tests/data/hostile/, large ones are built here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "mail/explain.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

const std::filesystem::path kDir = std::filesystem::path(TARVO_SOURCE_DIR) / "tests/data/hostile";

TMailViews LoadHostile(const std::string& name) {
  TMailViews v;
  LoadMailFile((kDir / name).string(), v);
  // The envelope check must cope with whatever the header list holds.
  for (const auto& row : v.ListView1) (void)HeaderExplanationLines(row.Name, row.Value);
  return v;
}

TMailViews LoadBytes(std::string bytes) {
  TMailViews v;
  LoadMailBytes(std::move(bytes), v);
  return v;
}

std::vector<std::string> Lines(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

}  // namespace

TEST(Hostile, EveryFileInTheSetLoads) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(kDir)) {
    SCOPED_TRACE(e.path().filename().string());
    EXPECT_NO_THROW(LoadHostile(e.path().filename().string()));
    ++files;
  }
  EXPECT_GE(files, 7);
}

TEST(Hostile, EmptyFileGivesEmptyViews) {
  const TMailViews v = LoadHostile("empty.eml");
  EXPECT_TRUE(v.Memo1.Empty() && v.Memo2.Empty() && v.Memo3.Empty() && v.Memo4.Empty() && v.Memo6.Empty());
  EXPECT_TRUE(v.ListView1.empty() && v.ListView2.empty());
}

TEST(Hostile, OnlyBlankLines) {
  // The first CR LF CR LF ends an empty header block; the rest is body.
  const TMailViews v = LoadHostile("blank-lines.eml");
  EXPECT_EQ(v.Memo1.Lines(), Lines({""}));
  EXPECT_TRUE(v.ListView1.empty());
  EXPECT_EQ(v.Memo3.Count(), 48u + 3u);
  EXPECT_EQ(v.Memo2.Count(), v.Memo3.Count());
}

TEST(Hostile, NulBytesEndTheViewsButNotTheHeaderList) {
  const TMailViews v = LoadHostile("nul-header-body.eml");
  EXPECT_EQ(v.Memo1.Lines(), Lines({"Subject: a"}));
  ASSERT_EQ(v.ListView1.size(), 3u);
  EXPECT_EQ(v.ListView1[0].Value, std::string(" a\0b", 4));
  // The relay's address holds a NUL, so it is no address: the NUL stays an
  // ordinary byte of the name, the IP cell is empty, and the load goes on.
  ASSERT_EQ(v.ListView2.size(), 1u);
  EXPECT_EQ(v.ListView2[0].ServerName, std::string("a\0", 2));
  EXPECT_EQ(v.ListView2[0].Host, "b");
  EXPECT_EQ(v.ListView2[0].IP, "");
  EXPECT_EQ(v.ListView2[0].Country, "Unknown");
  EXPECT_EQ(v.Memo3.Lines(), Lines({"line one", "before"}));
}

TEST(Hostile, UnterminatedMultipart) {
  const TMailViews v = LoadHostile("unterminated-multipart.eml");
  EXPECT_EQ(v.Memo4.Lines(), Lines({"text of a part that never closes"}));
}

TEST(Hostile, BoundaryLinesInEveryCase) {
  // Boundaries compare with their case: a line in another case is content.
  const TMailViews v = LoadHostile("boundary-cases.eml");
  EXPECT_EQ(v.Memo4.Lines(), Lines({"part 1", "", "--abc", "Content-Type: text/plain", "", "part 2", "", "--ABC",
                                  "Content-Type: text/plain", "", "part 3", "", "--aBc", "Content-Type: text/plain", "",
                                  "part 4", "part 5", "", "--ABC--", "--abc--"}));
}

TEST(Hostile, TenMegabyteHeaderLine) {
  const std::size_t n = 10 * 1024 * 1024;
  const TMailViews v = LoadBytes("X-Long: " + std::string(n, 'a') + "\r\n\r\nbody\r\n");
  ASSERT_EQ(v.Memo1.Count(), 1u);
  EXPECT_EQ(v.Memo1[0].size(), n + 8);
  ASSERT_EQ(v.ListView1.size(), 1u);
  EXPECT_EQ(v.ListView1[0].Name, "X-Long");
  EXPECT_EQ(v.ListView1[0].Value.size(), n + 1);
  EXPECT_EQ(v.Memo3.Lines(), Lines({"body"}));
}

TEST(Hostile, FiveThousandRelays) {
  std::string mail;
  for (int i = 0; i < 5000; ++i)
    mail += "Received: from h" + std::to_string(i) + " (h [133.0.0." + std::to_string(i % 256) +
            "]) by x; Mon, 7 Dec 2026 04:25:45 +0900\r\n";
  const TMailViews v = LoadBytes(mail + "\r\nbody\r\n");
  ASSERT_EQ(v.ListView2.size(), 5000u);
  EXPECT_EQ(v.ListView2.back().No, "5000");
  EXPECT_EQ(v.ListView2.back().ServerName, "h4999");
  EXPECT_EQ(v.ListView2.back().Date, "2026/12/07 04:25:45");
  EXPECT_EQ(v.Memo3.Lines(), Lines({"body"}));
}

TEST(Hostile, NestingPastTheLimitIsShownAsItIs) {
  // Level i holds a text part "level i" and then the container of level i+1.
  // The container past the deepest nesting is listed as one part, and the
  // text view shows it as it is: the texts below it do not vanish.
  const int depth = kMaxNesting + 10;
  std::ostringstream m;
  m << "Content-Type: multipart/alternative; boundary=\"b0x\"\r\n\r\n";
  for (int i = 0; i < depth; ++i)
    m << "--b" << i << "x\r\nContent-Type: text/plain\r\n\r\nlevel " << i << "\r\n--b" << i
      << "x\r\nContent-Type: multipart/alternative; boundary=\"b" << i + 1 << "x\"\r\n\r\n";
  for (int i = depth - 1; i >= 0; --i) m << "--b" << i << "x--\r\n";
  const TMailViews v = LoadBytes(m.str());
  std::vector<std::string> want;
  for (int i = 0; i < kMaxNesting; ++i) want.push_back("level " + std::to_string(i));
  want.push_back("--b" + std::to_string(kMaxNesting) + "x");
  const auto shown = v.Memo4.Lines();
  ASSERT_GT(shown.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(want.size())), want);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "level " + std::to_string(depth - 1)), shown.end());
}

TEST(Hostile, HundredThousandParts) {
  std::string m = "Content-Type: multipart/mixed; boundary=\"p\"\r\n\r\n";
  for (int i = 0; i < 100000; ++i) m += "--p\r\nContent-Type: text/plain\r\n\r\nx\r\n";
  m += "--p--\r\n";
  const TMailViews v = LoadBytes(m);
  EXPECT_EQ(v.Memo4.Count(), 100000u);
  EXPECT_EQ(v.Memo3.Count(), 400001u);
}

TEST(Hostile, SixtyDkimSignaturesFiftyChecked) {
  std::string head = "From: a@shop.example\r\n";
  for (int i = 0; i < 60; ++i) head += "DKIM-Signature: v=1; a=rsa-sha256; d=shop.example; s=s" + std::to_string(i) + "; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=; b=AAAA\r\n";
  const TMailViews v = LoadBytes(head + "\r\nbody\r\n");
  ASSERT_EQ(v.Authentication.Dkim.size(), 60u);
  EXPECT_EQ(std::count_if(v.Authentication.Dkim.begin(), v.Authentication.Dkim.end(), [](const TDkimCheck& c) { return c.Checked; }), 50);
  EXPECT_EQ(v.Authentication.Dkim[49].BodyHash, TBodyHash::Mismatch);
  EXPECT_EQ(v.Authentication.Dkim[50].BodyHash, TBodyHash::Unchecked);
  EXPECT_TRUE(std::any_of(v.Findings.begin(), v.Findings.end(), [](const TFinding& f) { return f.Kind == "dkim-not-checked"; }));
}

TEST(Hostile, ALinkAfterANulIsStillChecked) {
  static const char kMail[] = "From: a@bank.example\r\nContent-Type: text/html\r\n\r\n<p>x\0y</p>"
                              "<a href=\"http://evil.example/\">https://bank.example/</a>\r\n";
  const TMailViews v = LoadBytes(std::string(kMail, sizeof kMail - 1));
  EXPECT_TRUE(std::any_of(v.Findings.begin(), v.Findings.end(), [](const TFinding& f) { return f.Kind == "link-mismatch"; }));
}

TEST(Hostile, GarbageAndEveryByteValue) {
  for (const char* name : {"binary-garbage.eml", "every-byte.eml"}) {
    SCOPED_TRACE(name);
    const TMailViews v = LoadHostile(name);
    EXPECT_EQ(v.Memo2.Count(), v.Memo3.Count());
  }
}
