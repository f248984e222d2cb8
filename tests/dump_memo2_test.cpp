// The converted body view in the --dump output: each body line by its own code.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {
std::string DumpOf(const std::string& name, const std::string& mail) {
  const fs::path p = fs::temp_directory_path() / name;
  std::ofstream(p, std::ios::binary) << mail;
  const std::string cmd = std::string(TARVO_BINARY) + " --dump " + p.string() + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> f(popen(cmd.c_str(), "r"), pclose);
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) out.append(buf, n);
  return out;
}
}  // namespace

TEST(DumpMemo2, JISLineIsConvertedAndRawViewKeepsIt) {
  const std::string out = DumpOf("tarvo_memo2_jis.eml",
                                 "Subject: x\r\n\r\nabc\r\n\x1B$B$3$s\x1B(B!\r\n\xB1\xB2\r\n");
  EXPECT_NE(out.find("\"Memo3\": [\"abc\", \"\\u001b$B$3$s\\u001b(B!\", \"\xEF\xBD\xB1\xEF\xBD\xB2\"]"),
            std::string::npos)
      << out;
  // The half-width katakana line is undecided and taken as EUC-JP.
  EXPECT_NE(out.find("\"Memo2\": [\"abc\", \"こん!\", \"\xE6\xB8\xA6\"]"), std::string::npos) << out;
  const std::size_t m3 = out.find("\"Memo3\""), m2 = out.find("\"Memo2\""), l1 = out.find("\"ListView1\"");
  EXPECT_LT(m3, m2);
  EXPECT_LT(m2, l1);
}

TEST(DumpMemo2, Base64BodyIsShownEncodedInBoth) {
  const std::string out = DumpOf("tarvo_memo2_b64.eml",
                                 "Content-Transfer-Encoding: base64\r\n\r\nGyRCJDMkcxsoQg==\r\n");
  EXPECT_NE(out.find("\"Memo3\": [\"GyRCJDMkcxsoQg==\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo2\": [\"GyRCJDMkcxsoQg==\"]"), std::string::npos) << out;
}
