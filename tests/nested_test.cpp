// Parts inside parts: attached messages and their own parts, references to
// content elsewhere, uuencoded data and nesting deeper than the walk follows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "jcode/jconvert.h"
#include "mail/parts.h"
#include "run_tarvo.h"
#include "views/pipeline.h"

namespace fs = std::filesystem;
using namespace tarvo;

namespace {

const std::string kForward = std::string(TARVO_SOURCE_DIR) + "/tests/data/nested/forward-uu.eml";

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TMailViews Load(const std::string& mail) {
  TMailViews v;
  LoadMailBytes(mail, v);
  return v;
}

std::string Joined(const TTextView& view) {
  std::string s;
  for (std::size_t i = 0; i < view.Count(); ++i) s += std::string(view[i]) + "\n";
  return s;
}

// Base64 in lines of 76, as mailers write it.
std::string Base64Lines(std::string_view bytes, std::string_view eol = "\n") {
  const std::string enc = Base64Encode(bytes);
  std::string out;
  for (std::size_t i = 0; i < enc.size(); i += 76) out += enc.substr(i, 76) + std::string(eol);
  return out;
}

// Multiparts nested `levels` deep around one text part (or `part`).
std::string Nested(int levels, const std::string& part = "Content-Type: text/plain\n\ndeep text\n") {
  std::string head, tail;
  for (int k = 1; k < levels; ++k) {
    head += "--L" + std::to_string(k - 1) + "\nContent-Type: multipart/mixed; boundary=L" + std::to_string(k) + "\n\n";
    tail = "--L" + std::to_string(k) + "--\n" + tail;
  }
  return "Content-Type: multipart/mixed; boundary=L0\n\n" + head + "--L" + std::to_string(levels - 1) +
         "\n" + part + tail + "--L0--\n";
}

}  // namespace

TEST(Uudecode, LinesAndBlocks) {
  struct Case {
    std::string text, want;
  } cases[] = {
      {"begin 644 a\n#86)C\n`\nend\n", "abc"},
      {"begin 644 a\r\n#86)C\r\n`\r\nend\r\n", "abc"},
      {"noise\nbegin 0600 a b\n#86)C\nend\nafter\n", "abc"},   // a name with a blank; text around it
      {"#86)C\n", "abc"},                                       // no begin line: all data
      {"begin 644 a\n&86)C\n\nend\n", std::string("abc\0\0\0", 6)},  // a short line: its blanks were taken off
      {"begin 644 a\n!86)CXX\nend\n", "a"},                   // characters past the count are left
      {"begin 644 a\n#86)C\nend\n#86)C\n", "abc"},            // nothing after the end line
      {"begin 644 a\n#", std::string(3, '\0')},               // a line cut after its count
  };
  for (const Case& c : cases) EXPECT_EQ(Uudecode(c.text), c.want) << c.text;

  const std::string text = "Hi\n\nbegin 644 one.bin\n#86)C\n`\nend\nmiddle\nbegin 644 two.bin\n#86)C\nend";
  const auto one = FindUuBlock(text);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->Name, "one.bin");
  EXPECT_EQ(text.substr(one->Begin, one->End - one->Begin), "begin 644 one.bin\n#86)C\n`\nend");
  const auto two = FindUuBlock(text, one->End);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->Name, "two.bin");
  EXPECT_EQ(two->End, text.size());
  EXPECT_FALSE(FindUuBlock(text, two->End));
  // Prose that starts like a block, and a block without its end line, are text.
  for (const char* prose : {"begin 644 a\nthe data follows\nend\n", "begin 644 a\n#86)C\n", "begin now please\n#86)C\nend",
                            "begin 644 a\nend\n"})
    EXPECT_FALSE(FindUuBlock(prose)) << prose;
}

TEST(NestedParts, AttachedMessagesAreListedWithTheirParts) {
  const TMailViews v = Load(ReadAll(kForward));
  struct Row {
    const char *number, *name, *type;
    int depth;
  } want[] = {
      {"1", "", "text/plain", 0},
      {"2", "note.txt", "application/octet-stream", 0},
      {"3", "請求書.eml", "message/rfc822", 0},
      {"3.1", "", "text/plain", 1},
      {"3.2", "invoice.pdf.exe", "application/octet-stream", 1},
      {"4", "", "message/external-body", 0},
      {"5", "old.zip", "application/octet-stream", 0},
  };
  ASSERT_EQ(v.Parts.size(), std::size(want));
  for (std::size_t i = 0; i < v.Parts.size(); ++i) {
    EXPECT_EQ(v.Parts[i].Number, want[i].number) << i;
    EXPECT_EQ(v.Parts[i].Name, want[i].name) << i;
    EXPECT_EQ(v.Parts[i].ContentType, want[i].type) << i;
    EXPECT_EQ(v.Parts[i].Depth, want[i].depth) << i;
  }
  EXPECT_EQ(v.Parts[1].Bytes(), "hi there\n");
  EXPECT_EQ(v.Parts[2].Bytes().substr(0, 24), "From: other@example.com\n");
  EXPECT_EQ(v.Parts[2].Bytes().substr(v.Parts[2].Bytes().size() - 9), "--inner--");
  EXPECT_EQ(v.Parts[3].Bytes(), "inner text");
  EXPECT_EQ(v.Parts[5].AccessType, "anon-ftp");
  EXPECT_EQ(v.Parts[5].RemoteName, "big.zip");
  std::string zip;
  for (int i = 0; i < 512; ++i) zip += static_cast<char>(i & 0xFF);
  EXPECT_EQ(v.Parts[6].Bytes(), zip);

  // The text view holds the message's own text, without the block.
  EXPECT_EQ(Joined(v.Memo4), "See the forwarded message.\nBye.\n");
  // The attachment check sees inside the attached message.
  const auto risk = std::find_if(v.Findings.begin(), v.Findings.end(),
                                 [](const TFinding& f) { return f.Detail == "部分 3.2: invoice.pdf.exe"; });
  EXPECT_NE(risk, v.Findings.end());
}

TEST(NestedParts, UuencodedBlockInAPlainMessage) {
  const TMailViews v = Load("Subject: old\r\n\r\nHere it is:\r\nbegin 600 a.bin\r\n#86)C\r\n`\r\nend\r\nregards\r\n");
  ASSERT_EQ(v.Parts.size(), 2u);
  EXPECT_EQ(v.Parts[1].Number, "2");
  EXPECT_EQ(v.Parts[1].Name, "a.bin");
  EXPECT_EQ(v.Parts[1].Bytes(), "abc");
  EXPECT_EQ(v.Parts[1].Size, 3u);
  EXPECT_EQ(Joined(v.Memo4), "Here it is:\nregards\n");
}

TEST(NestedParts, MessageInMessageAndDigest) {
  const TMailViews v = Load(
      "Content-Type: message/rfc822\n\n"
      "Subject: outer\nContent-Type: message/rfc822; name=given.eml\n\n"
      "Content-Type: multipart/digest; boundary=d\n\n"
      "--d\n\nSubject: first\n\none\n--d\n\n\ntwo\n--d--\n");
  std::vector<std::string> rows;
  for (const TMailPart& p : v.Parts) rows.push_back(p.Number + " " + p.Name + " " + std::to_string(p.Depth));
  EXPECT_EQ(rows, (std::vector<std::string>{"1 outer.eml 0", "1.1 given.eml 1", "1.1.1 first.eml 2", "1.1.1.1  3",
                                            "1.1.2 メッセージ.eml 2", "1.1.2.1  3"}));
  EXPECT_EQ(v.Parts[3].Bytes(), "one");
  EXPECT_EQ(v.Parts[5].Bytes(), "two");
  EXPECT_EQ(Joined(v.Memo4), "");  // none of it is the message's own text
}

TEST(NestedParts, Base64AttachedMessagesAreWalkedDecoded) {
  const std::string deep = "Subject: deep\n\nbottom";
  const std::string bill =
      "Subject: bill\nContent-Type: multipart/mixed; boundary=i\n\n--i\nContent-Type: text/plain\n\ninner text\n"
      "--i\nContent-Type: application/octet-stream; name=\"invoice.pdf.exe\"\nContent-Transfer-Encoding: base64\n\n"
      "TVqQAAMAAAAEAAAA//8AALgAAAAAAAAAQAAAAAAAAAA=\n"
      "--i\nContent-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n" + Base64Lines(deep) + "--i--\n";
  const std::string mail =
      "Subject: fwd\nContent-Type: multipart/mixed; boundary=o\n\n--o\nContent-Type: text/plain\n\nown text\n"
      "--o\nContent-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n" + Base64Lines(bill) +
      "--o\r\nContent-Type: message/rfc822; name=named.eml\r\nContent-Transfer-Encoding: BASE64\r\n\r\n" +
      Base64Lines("From: a@example.jp\r\n\r\nsecond\r\n", "\r\n") + "--o--\n";
  const TMailViews v = Load(mail);
  std::vector<std::string> rows;
  for (const TMailPart& p : v.Parts) rows.push_back(p.Number + " " + p.Name + " " + p.ContentType + " " + std::to_string(p.Depth));
  EXPECT_EQ(rows, (std::vector<std::string>{"1  text/plain 0", "2 bill.eml message/rfc822 0", "2.1  text/plain 1",
                                            "2.2 invoice.pdf.exe application/octet-stream 1",
                                            "2.3 deep.eml message/rfc822 1", "2.3.1  text/plain 2",
                                            "3 named.eml message/rfc822 0", "3.1  text/plain 1"}));
  ASSERT_EQ(v.Parts.size(), 8u);
  EXPECT_EQ(v.Parts[1].Bytes(), bill);  // the message itself saves decoded
  EXPECT_EQ(v.Parts[2].Bytes(), "inner text");
  EXPECT_EQ(v.Parts[3].Bytes().substr(0, 2), "MZ");
  EXPECT_EQ(v.Parts[5].Bytes(), "bottom");
  EXPECT_EQ(v.Parts[7].Bytes(), "second\r\n");
  EXPECT_EQ(Joined(v.Memo4), "own text\n");
  EXPECT_TRUE(std::any_of(v.Findings.begin(), v.Findings.end(),
                          [](const TFinding& f) { return f.Detail == "部分 2.2: invoice.pdf.exe"; }));
  const std::string out = tarvo::testing::DumpOf(tarvo::testing::WriteTemp("b64msg.eml", mail));
  for (const char* piece : {R"("index": "2.2", "depth": 1, "name": "invoice.pdf.exe")", R"("index": "2.3.1", "depth": 2)"})
    EXPECT_NE(out.find(piece), std::string::npos) << piece;

  // At the nesting limit the encoded message is listed whole, as a container there is.
  const TMailViews limit =
      Load(Nested(kMaxNesting, "Content-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n" + Base64Lines(deep)));
  ASSERT_EQ(limit.Parts.size(), 1u);
  EXPECT_TRUE(limit.Parts[0].TooDeep);
}

TEST(NestedParts, UuencodedBlockInADecodedText) {
  const std::string text = "Here it is:\nbegin 600 a.bin\n#86)C\n`\nend\nregards\n";
  struct Row {
    const char* encoding;
    std::string body;
  } rows[] = {
      {"quoted-printable", "Here it is=3A\nbegin 600 a.bin\n#86)C\n`\nend\nregards=\n\n"},
      {"base64", Base64Lines(text)},
  };
  for (const Row& r : rows) {
    const std::string mail = std::string("Subject: old\nContent-Transfer-Encoding: ") + r.encoding + "\n\n" + r.body;
    const TMailViews v = Load(mail);
    ASSERT_EQ(v.Parts.size(), 2u) << r.encoding;
    EXPECT_EQ(v.Parts[1].Name, "a.bin");
    EXPECT_EQ(v.Parts[1].Bytes(), "abc");
    EXPECT_EQ(Joined(v.Memo4), "Here it is:\nregards\n") << r.encoding;
    std::ostringstream out;
    DumpMailFile(tarvo::testing::WriteTemp("uu.eml", mail), out, {"Parts", "Memo4"});
    EXPECT_NE(out.str().find(R"("index": "2", "depth": 0, "name": "a.bin")"), std::string::npos) << r.encoding;
    EXPECT_EQ(out.str().find("begin 600"), std::string::npos) << r.encoding;  // not in the text view
  }
}

TEST(NestedParts, DeeperThanTheLimitIsShownWhole) {
  // Within the limit the text is found; past it, the rest is one part shown as it is.
  const TMailViews within = Load(Nested(kMaxNesting));
  EXPECT_EQ(Joined(within.Memo4), "deep text\n");
  EXPECT_TRUE(std::none_of(within.Findings.begin(), within.Findings.end(),
                           [](const TFinding& f) { return f.Kind == "nesting-too-deep"; }));

  const TMailViews deep = Load(Nested(kMaxNesting + 1));
  ASSERT_EQ(deep.Parts.size(), 1u);
  EXPECT_TRUE(deep.Parts[0].TooDeep);
  EXPECT_EQ(deep.Parts[0].ContentType, "multipart/mixed");
  const std::string shown = Joined(deep.Memo4);
  EXPECT_EQ(shown.substr(0, 8), "--L128\nC");
  EXPECT_NE(shown.find("deep text\n--L128--\n"), std::string::npos);
  EXPECT_TRUE(std::any_of(deep.Findings.begin(), deep.Findings.end(),
                          [](const TFinding& f) { return f.Kind == "nesting-too-deep" && f.Level == TLevel::Warn; }));
}

TEST(NestedParts, DumpAndSaveParts) {
  const std::string out = tarvo::testing::DumpOf(kForward);
  for (const char* piece : {R"("index": "3.2", "depth": 1, "name": "invoice.pdf.exe")",
                            R"("reference": {"access-type": "anon-ftp", "name": "big.zip"})"})
    EXPECT_NE(out.find(piece), std::string::npos) << piece;

  const fs::path dir = tarvo::testing::ProcessTempDir() / "saved";
  fs::create_directories(dir);
  ASSERT_EQ(tarvo::testing::RunTarvo("--save-parts " + kForward + " " + dir.string()).code, 0);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  // The reference is not saved as the remote file.
  EXPECT_EQ(names, (std::vector<std::string>{"invoice.pdf.exe", "note.txt", "old.zip", "請求書.eml"}));
  EXPECT_EQ(ReadAll(dir / "note.txt"), "hi there\n");
}
