// Runs the program itself: the --dump JSON and the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "parts_mail.h"
#include "run_tarvo.h"
#include "views/dump.h"
#include "views/pipeline.h"

namespace fs = std::filesystem;

using tarvo::testing::RunResult;
using tarvo::testing::RunTarvo;
using tarvo::testing::WriteTemp;

TEST(Dump, SplitsEnvelopeAndBody) {
  const RunResult r = RunTarvo("--dump " + WriteTemp("tarvo_dump1.eml", "A: 1\nB: 2\n\nbody"));
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"error\": null"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Memo1\": [\"A: 1\", \"B: 2\"]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Memo3\": [\"body\"]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"ListView1\": [[\"A\", \" 1\"],\n  [\"B\", \" 2\"]]"), std::string::npos) << r.out;
}

TEST(Dump, NoBlankLineMeansAllEnvelope) {
  const RunResult r = RunTarvo("--dump " + WriteTemp("tarvo_dump2.eml", "A: 1\r\nB: 2\r\n"));
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"Memo1\": [\"A: 1\", \"B: 2\"]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Memo3\": []"), std::string::npos) << r.out;
}

TEST(Dump, MissingFileIsAnErrorWithExitCode1) {
  const RunResult r = RunTarvo("--dump /nonexistent/dir/x.eml");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("\"error\": \"ファイル \\\"/nonexistent/dir/x.eml\\\". "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("は開けません\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Memo1\": []"), std::string::npos) << r.out;
}

TEST(Dump, FolderWithoutMessagesGivesNoLines) {
  const std::filesystem::path empty = tarvo::testing::ProcessTempDir().Path() / "no-messages";
  std::filesystem::create_directories(empty);
  const RunResult r = RunTarvo("--dump " + empty.string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
}

TEST(Dump, TextIsDecodedFromCp932) {
  const RunResult r = RunTarvo("--dump " + WriteTemp("tarvo_dump3.eml", "S: \x93\xfa\x96\x7b\n\n\x82\xa0\x81\n"));
  EXPECT_NE(r.out.find("[\"S\", \" 日本\"]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Memo3\": [\"あ\xEF\xBF\xBD\"]"), std::string::npos) << r.out;
}

// --only builds what the keys asked for and what those are read from, and
// writes the asked keys alone.
TEST(Dump, OnlyBuildsAndWritesTheViewsAskedFor) {
  const std::string mail = "Received: from a.example (a.example [192.0.2.1]) by mx.example.jp with ESMTP;"
                           " Mon, 7 Dec 2026 09:00:00 +0900\r\n" +
                           tarvo::testing::LetterWithAttachments();
  const struct {
    std::vector<std::string> only;
    bool route, rows, text, parts, findings;
  } cases[] = {
      {{"Memo1"}, false, false, false, false, false},
      {{"Memo4", "Hops"}, true, false, true, false, false},
      {{"Memo5"}, false, true, false, false, false},
      {{"Parts"}, false, false, false, true, false},
      {{"Findings"}, true, true, false, true, true},
      {{}, true, true, true, true, true},
  };
  for (const auto& c : cases) {
    tarvo::TMailViews views;
    tarvo::TLoadOptions options;
    options.Only = c.only;
    tarvo::LoadMailBytes(mail, views, options);
    const std::string what = c.only.empty() ? "all" : c.only[0];
    EXPECT_FALSE(views.Memo1.Count() == 0) << what;
    EXPECT_EQ(!views.ListView2.empty(), c.route) << what;
    EXPECT_EQ(!views.ListView1.empty(), c.rows) << what;
    EXPECT_EQ(views.Memo4.Count() != 0, c.text) << what;
    EXPECT_EQ(!views.Parts.empty(), c.parts) << what;
    EXPECT_EQ(!views.Findings.empty(), c.findings) << what;
    std::ostringstream out;
    tarvo::WriteMailViews("m.eml", views, nullptr, out, nullptr, c.only);
    for (const char* key : {"Memo1", "Memo4", "Hops", "Memo5", "Parts", "Findings", "ListView2"}) {
      const bool asked = c.only.empty() || std::find(c.only.begin(), c.only.end(), key) != c.only.end();
      EXPECT_EQ(out.str().find("\"" + std::string(key) + "\":") != std::string::npos, asked) << what << " " << key;
    }
    EXPECT_EQ(out.str().rfind("{\"file\": \"m.eml\", \"error\": null", 0), 0u) << out.str();
  }
  EXPECT_TRUE(tarvo::IsDumpKey("Memo5"));
  EXPECT_TRUE(tarvo::IsDumpKey("Parts"));
  EXPECT_FALSE(tarvo::IsDumpKey("parts"));
  EXPECT_FALSE(tarvo::IsDumpKey("file"));
}
