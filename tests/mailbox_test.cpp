// Mailboxes: where an mbox's messages start and end, their escaping, and
// --dump over many messages as JSON Lines in input order.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "base/errors.h"
#include "mail/mailbox.h"
#include "run_tarvo.h"
#include "views/batch.h"
#include "views/messagelist.h"

using namespace tarvo;
using tarvo::testing::RunTarvo;
using tarvo::testing::WriteFile;
using tarvo::testing::WriteTemp;

namespace {

const std::string kMbox =
    "From a@example.jp Mon Dec  7 09:00:00 2026\n"
    "Subject: one\n\nbody\n>From the start\n>>From deeper\nFrom inside a line is text\n\n"
    "From b@example.jp Mon Dec  7 09:01:00 2026\r\n"
    "Subject: two\r\n\r\nbody two\r\n\r\n"
    "From c@example.jp Mon Dec  7 09:02:00 2026\n"
    "Subject: three\n";

TEST(Mbox, SplitsAtFromLinesAfterEmptyLines) {
  TMboxReader reader(kMbox);
  TMboxMessage m;
  std::vector<TMboxMessage> all;
  while (reader.Next(m)) all.push_back(m);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].Offset, 0u);
  EXPECT_EQ(UnescapeMboxMessage(all[0].Bytes),
            "Subject: one\n\nbody\nFrom the start\n>From deeper\nFrom inside a line is text\n");
  EXPECT_EQ(all[1].Offset, kMbox.find("From b@"));
  EXPECT_EQ(all[1].Bytes, "Subject: two\r\n\r\nbody two\r\n");
  EXPECT_EQ(all[2].Bytes, "Subject: three\n");
  EXPECT_FALSE(IsMbox("Subject: x\n"));
  EXPECT_FALSE(TMboxReader("Subject: x\n").Next(m));
}

// The edges of a mailbox: no final newline, nothing at all, "From " lines
// in a body, CRLF lines.
TEST(Mbox, Edges) {
  const struct {
    const char* mbox;
    std::vector<std::string> messages;
  } cases[] = {
      {"From a x\nSubject: 1\n\nlast line without newline", {"Subject: 1\n\nlast line without newline"}},
      {"", {}},
      {"From a x\n", {""}},
      // An unescaped "From " after an empty line starts a message, whatever it says.
      {"From a x\nS: 1\n\nFrom here on\n", {"S: 1\n", ""}},
      {"From a x\nS: 1\nFrom b\n\n\nFrom c\r\nS: 2\r\n", {"S: 1\nFrom b\n\n", "S: 2\r\n"}},
  };
  for (const auto& c : cases) {
    TMboxReader reader(c.mbox);
    TMboxMessage m;
    std::vector<std::string> got;
    while (reader.Next(m)) got.emplace_back(m.Bytes);
    EXPECT_EQ(got, c.messages) << c.mbox;
  }
}

TEST(DumpMany, JsonLinesInInputOrderWithPlacesAndErrors) {
  const std::string mbox = WriteTemp("box.mbox", kMbox);
  const std::filesystem::path dir = std::filesystem::path(WriteTemp("maildir-x", "")).parent_path() / "Maildir";
  std::filesystem::create_directories(dir / "cur");
  std::filesystem::create_directories(dir / "tmp");
  WriteFile(dir / "cur" / "1765000000.1.host:2,RS", "Subject: maildir\n\nx\n");
  WriteFile(dir / "tmp" / "2", "Subject: unfinished\n\nx\n");
  const std::string args = " " + mbox + " " + dir.string() + " /nonexistent/x.eml";
  const auto one = RunTarvo("--dump --jobs 1" + args);
  const auto two = RunTarvo("--dump --jobs 2" + args);
  EXPECT_EQ(one.code, 1);  // the missing file failed; the rest went on
  EXPECT_EQ(one.out, two.out);
  std::vector<std::string> lines;
  for (std::size_t at = 0, nl; (nl = one.out.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(one.out.substr(at, nl - at));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[0].find("\"index\": 1, \"offset\": 0, \"error\": null"), std::string::npos);
  EXPECT_NE(lines[1].find("\"index\": 2, \"offset\": " + std::to_string(kMbox.find("From b@"))), std::string::npos);
  EXPECT_NE(lines[3].find("maildir"), std::string::npos);
  EXPECT_EQ(lines[3].find("unfinished"), std::string::npos);
  EXPECT_NE(lines[4].find("\"file\": \"/nonexistent/x.eml\""), std::string::npos);
  EXPECT_EQ(lines[4].find("\"error\": null"), std::string::npos);
  // One plain message keeps the single object of old.
  const std::string single = (dir / "cur" / "1765000000.1.host:2,RS").string();
  EXPECT_EQ(RunTarvo("--dump " + single).out.rfind("{\"file\": \"" + single + "\", \"error\": null,\n", 0), 0u);
}

// Many more messages than are held at once, of sizes that make threads end
// out of turn: the lines still come in input order, the same on any count.
TEST(DumpMany, OrderHoldsPastTheWindow) {
  std::string box;
  for (int i = 0; i < 60; ++i)
    box += "From x@example.jp Mon Dec  7 09:00:00 2026\nSubject: m" + std::to_string(i) + "\n\n" +
           std::string(static_cast<std::size_t>((i * 7919) % 13) * 20000, 'a') + "\n\n";
  const std::string mbox = WriteTemp("order.mbox", box);
  std::istringstream in;
  std::string outs[3];
  for (unsigned jobs : {1u, 2u, 5u}) {
    std::ostringstream out;
    TDumpOptions options;
    options.Jobs = jobs;
    options.Only = {"Memo1"};
    EXPECT_EQ(DumpPaths({mbox}, options, in, out), 0);
    outs[jobs / 2] = out.str();
  }
  EXPECT_EQ(outs[0], outs[1]);
  EXPECT_EQ(outs[0], outs[2]);
  std::size_t at = 0;
  for (int i = 0; i < 60; ++i) {
    at = outs[0].find("Subject: m" + std::to_string(i) + "\"", at);
    ASSERT_NE(at, std::string::npos) << i;
  }
}

// The summary counts every message once, by how it ended; the progress
// line ends wiped, its last drawing at the total.
TEST(DumpMany, SummaryAndProgress) {
  const std::string mbox = WriteTemp("summary.mbox", kMbox);
  const std::string bad = WriteTemp("bad.eml",
                                    "From: a@example.jp\nReply-To: x@other.example\n"
                                    "Authentication-Results: mx.example.jp; spf=fail smtp.mailfrom=example.jp\n"
                                    "Subject: x\n\nx\n");
  std::istringstream in;
  std::ostringstream out, progress, summary;
  TDumpOptions options;
  options.Jobs = 1;
  options.Progress = &progress;
  options.Summary = &summary;
  EXPECT_EQ(DumpPaths({mbox, "/nonexistent/y.eml"}, options, in, out), 1);
  EXPECT_EQ(summary.str().rfind("メッセージ 4 通 (失敗 1 通): 危険 0 / 注意 0 / 問題なし 0 / 判定できず 3、", 0), 0u)
      << summary.str();
  EXPECT_NE(progress.str().find("] 4/4 通"), std::string::npos) << progress.str();
  EXPECT_EQ(progress.str().substr(progress.str().size() - 4), "\r\x1b[K");
  std::ostringstream quiet;
  options = {};
  options.Jobs = 2;
  options.Summary = &quiet;
  EXPECT_EQ(DumpPaths({bad, mbox}, options, in, out), 0);
  EXPECT_EQ(quiet.str().rfind("メッセージ 4 通 (失敗 0 通): 危険 0 / 注意 1 / 問題なし 0 / 判定できず 3、", 0), 0u)
      << quiet.str();
  // Without the checks there is no verdict to count.
  std::ostringstream unjudged;
  options.Summary = &unjudged;
  options.Only = {"Memo1", "Parts"};
  EXPECT_EQ(DumpPaths({bad, mbox}, options, in, out), 0);
  EXPECT_EQ(unjudged.str().rfind("メッセージ 4 通 (失敗 0 通)、", 0), 0u) << unjudged.str();
}

// Read in pieces, a file splits as it does whole: messages across the
// pieces' edges, one longer than a piece, "From " lines cut at an edge.
TEST(Mbox, FileReadInPiecesSplitsAsWhole) {
  std::string big;
  for (int i = 0; big.size() < (3u << 20); ++i) {
    big += "From x Mon Dec  7 09:00:00 2026\nSubject: " + std::to_string(i) + "\n\nbody\n>From x\n\n";
    if (i == 5000) big += "From long\n\n" + std::string(5u << 19, 'a') + "\n\n";
  }
  const std::string path = WriteTemp("pieces.mbox", big);
  TMboxReader whole(big);
  TMboxFile file(path);
  TMboxMessage a, b;
  std::size_t n = 0;
  while (whole.Next(a)) {
    ASSERT_TRUE(file.Next(b)) << n;
    ASSERT_EQ(a.Bytes, b.Bytes) << n;
    ASSERT_EQ(a.Offset, b.Offset);
    ASSERT_EQ(b.BytesOffset, b.Offset + big.find('\n', b.Offset) + 1 - b.Offset);
    ++n;
  }
  EXPECT_FALSE(file.Next(b));
  EXPECT_GT(n, 5000u);
  EXPECT_FALSE(TMboxFile(WriteTemp("plain.eml", "Subject: x\n\nx\n")).Next(b));
}

// A file cut short while it is read ends the message under way with an
// error, not a fault.
TEST(Mbox, FileCutShortWhileRead) {
  std::string big;
  while (big.size() < (3u << 20)) big += "From x Mon Dec  7 09:00:00 2026\nSubject: s\n\n" + std::string(1000, 'b') + "\n\n";
  const std::string path = WriteTemp("cut.mbox", big);
  TMboxFile file(path);
  TMboxMessage m;
  ASSERT_TRUE(file.Next(m));
  std::filesystem::resize_file(path, 1u << 20);
  EXPECT_THROW(
      while (file.Next(m)) {}, EFOpenError);
  EXPECT_LT(file.Position(), 1u << 20);
}

// A folder walked for the window: each message's spot reads the same bytes
// again, an mbox's unescaped; a file that cannot be read gives its error.
TEST(MailboxWalk, SpotsReadTheMessagesAgain) {
  const std::filesystem::path dir = std::filesystem::path(WriteTemp("walk-x", "")).parent_path() / "walk";
  std::filesystem::create_directories(dir / "cur");
  WriteFile(dir / "cur" / "a.mbox", kMbox);
  WriteFile(dir / "cur" / "b", "Subject: single\n\nx\n");
  WriteFile(dir / "cur" / "c", "");
  const TMailboxWalk walk(dir.string());
  ASSERT_EQ(walk.Files().size(), 3u);
  std::filesystem::remove(dir / "cur" / "c");  // gone before it was read
  std::vector<std::string> got, errors;
  walk.Run([&](const TMessageSpot& spot, std::string bytes, const std::string& error, double done) {
    EXPECT_LE(done, 1.0);
    if (!error.empty()) errors.push_back(walk.Files()[spot.File]);
    else EXPECT_EQ(ReadMessageAt(walk.Files(), spot), bytes);
    got.push_back(std::to_string(spot.File) + "/" + std::to_string(spot.Index) + ":" + bytes.substr(0, 12));
    return true;
  });
  EXPECT_EQ(got, (std::vector<std::string>{"0/1:Subject: one", "0/2:Subject: two", "0/3:Subject: thr", "1/0:Subject: sin", "2/0:"}));
  EXPECT_EQ(errors, std::vector<std::string>{walk.Files()[2]});
  EXPECT_TRUE(IsMailbox(dir.string()));
  EXPECT_TRUE(IsMailbox((dir / "cur" / "a.mbox").string()));
  EXPECT_FALSE(IsMailbox((dir / "cur" / "b").string()));
  EXPECT_FALSE(IsMailbox((dir / "cur").string()));
}

TEST(DumpMany, ProgressLine) {
  const struct {
    std::size_t done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {5, 10, 1.0, "[############------------] 5/10 通  5 通/秒  残り 0:01"},
      {0, 10, 0.0, "[------------------------] 0/10 通  0 通/秒  残り 0:00"},
      {10, 10, 2.0, "[########################] 10/10 通  5 通/秒  残り 0:00"},
      {100, 7300, 1.0, "[------------------------] 100/7300 通  100 通/秒  残り 1:12"},
      {7, 0, 1.0, "7 通  7 通/秒"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgressLine(c.done, c.total, c.seconds), c.line);
}

}  // namespace
