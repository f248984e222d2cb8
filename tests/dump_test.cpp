// Runs the program itself: the --dump JSON and the exit code.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_tarvo.h"

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
