// The converted body view in the --dump output: each body line by its own code.
#include <gtest/gtest.h>


#include "run_tarvo.h"

namespace {
std::string DumpOf(const std::string& name, const std::string& mail) {
  return tarvo::testing::DumpOf(tarvo::testing::WriteTemp(name, mail));
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

TEST(DumpMemo2, Utf8LineIsReadAsUtf8InBoth) {
  const std::string out = DumpOf("tarvo_memo2_utf8.eml", "Subject: x\r\n\r\n\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\n");
  EXPECT_NE(out.find("\"Memo3\": [\"日本 😀\"]"), std::string::npos) << out;
  EXPECT_NE(out.find("\"Memo2\": [\"日本 😀\"]"), std::string::npos) << out;
}
