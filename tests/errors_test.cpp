// The file layer's errors carry the system's error text in the user's
// language, readable once the message is decoded as the window decodes it.
#include <gtest/gtest.h>

#include <cerrno>
#include <iostream>
#include <string>

#include "base/cp932.h"
#include "base/errors.h"
#include "tests/ja_locale.h"
#include "tests/run_tarvo.h"

using namespace tarvo;
using tarvo::testing::JapaneseLocale;
using tarvo::testing::TLocaleEnv;

namespace {

struct SystemTextCase {
  const char* locale;
  int err;
  const char* text;
};

const SystemTextCase kSystemTexts[] = {
    {"ja_JP.UTF-8", ENOENT, "そのようなファイルやディレクトリはありません"},
    {"ja_JP.UTF-8", EACCES, "許可がありません"},
    {"ja_JP.UTF-8", EISDIR, "ディレクトリです"},
    // The common errors read in Japanese whatever the locale; the rest as the locale says.
    {"C", ENOENT, "そのようなファイルやディレクトリはありません"},
    {"C", EACCES, "許可がありません"},
    {"C.UTF-8", EISDIR, "ディレクトリです"},
    {"C.UTF-8", ENOSPC, "デバイスに空き領域がありません"},
    {"C.UTF-8", EROFS, "読み込み専用ファイルシステムです"},
    {"C", EPIPE, "Broken pipe"},
};

}  // namespace

TEST(FileErrors, SystemTextInTheUsersLanguage) {
  const auto ja = JapaneseLocale();
  for (const SystemTextCase& c : kSystemTexts) {
    const bool japanese = std::string(c.locale).rfind("ja", 0) == 0;
    if (japanese && !ja.ok) {
      std::cout << "[  SKIPPED ] " << c.locale << ": " << ja.why << "\n";
      continue;
    }
    TLocaleEnv env(c.locale, japanese ? ja.locpath : std::string());
    EXPECT_EQ(SystemErrorText(c.err), c.text) << c.locale << " errno " << c.err;

    const std::string open = Cp932ToUtf8(EFOpenError::Make("/nonexistent/x.eml", c.err).what());
    EXPECT_EQ(open, std::string("ファイル \"/nonexistent/x.eml\". ") + c.text + " は開けません") << c.locale;
    const std::string create = Cp932ToUtf8(EFCreateError::Make("/nonexistent/x.eml", c.err).what());
    EXPECT_EQ(create, std::string("ファイル \"/nonexistent/x.eml\". ") + c.text + " を作成できません") << c.locale;
  }
}

TEST(FileErrors, AnUnknownLocaleFallsBackToTheSystemsDefault) {
  TLocaleEnv env("xx_XX.NOPE", "");
  EXPECT_EQ(SystemErrorText(ECONNREFUSED), "Connection refused");
}

TEST(FileErrors, ANonUtf8NameKeepsItsBytes) {
  // テスト.eml in Shift-JIS, as a Windows archive leaves it: the message is
  // CP932, so the name shows as itself instead of as question marks.
  const std::string name = "/nonexistent/\x83\x65\x83\x58\x83\x67.eml";
  const std::string message = EFOpenError::Make(name, ENOENT).what();
  EXPECT_EQ(message.rfind("\x83\x74\x83\x40\x83\x43\x83\x8b \"" + name + "\". ", 0), 0u) << message;
  EXPECT_NE(Cp932ToUtf8(message).find("テスト.eml"), std::string::npos);
  // A UTF-8 name is converted to CP932 like the rest of the message.
  EXPECT_NE(Cp932ToUtf8(EFOpenError::Make("/nonexistent/テスト.eml", ENOENT).what()).find("テスト.eml"),
            std::string::npos);
}

TEST(FileErrors, DumpShowsTheJapaneseSystemText) {
  const auto ja = JapaneseLocale();
  if (!ja.ok) GTEST_SKIP() << ja.why;
  TLocaleEnv env("ja_JP.UTF-8", ja.locpath);
  const auto r = tarvo::testing::RunTarvo("--dump /nonexistent/dir/x.eml");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("\"error\": \"ファイル \\\"/nonexistent/dir/x.eml\\\". "
                       "そのようなファイルやディレクトリはありません は開けません\""),
            std::string::npos)
      << r.out;
}
