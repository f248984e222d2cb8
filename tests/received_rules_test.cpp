// A rule of the date formatter that the main tests leave open: commas
// inside date words.
#include <gtest/gtest.h>

#include <string>

#include "mail/mailutils.h"

using namespace tarvo;

TEST(FormatMailDate, CommasAreRemovedFromEveryWord) {
  const std::pair<std::string, std::string> cases[] = {
      {"Tue, 8 Dec, 2026, 09:15:02", "2026/12/08 09:15:02"},
      {"Dec,,, 7,, 2026,,", "2026/12/07 "},
      // A comma without a space joins two words into one that counts as nothing.
      {"8,Dec 2026", "2026/01/01 "},
      {"12:00,", "1/01/01 12:00"},
      {",", "1/01/01 "},
      {"2,0,2,6", "2026/01/01 "},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(FormatMailDate(in), want) << in;
}
