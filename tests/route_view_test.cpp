// The route stage of the pipeline, and its rows in --dump and --country.
#include <gtest/gtest.h>


#include "base/cp932.h"
#include "mail/pipeline.h"
#include "run_tarvo.h"

using namespace tarvo;

namespace {
std::string RunProgram(const std::string& args) { return tarvo::testing::RunTarvo(args).out; }

std::vector<std::string> Row(const TRouteRow& r) {
  return {r.No, r.ServerName, r.Host, r.IP, Cp932ToUtf8(r.Country), r.Date};
}
}  // namespace

TEST(RouteView, SampleWithThreeRelays) {
  const std::string out = RunProgram("--dump " + std::string(TARVO_SOURCE_DIR) + "/samples/iso2022jp-plain.eml");
  EXPECT_NE(out.find("\"ListView2\": [[\"1\", \"mx1.example.jp\", \"mx1.example.jp\", \"133.0.0.25\", \"日本\", "
                     "\"2026/12/07 09:15:02\"],\n"
                     "  [\"2\", \"relay.example.com\", \"relay.example.com\", \"8.8.4.20\", \"アメリカ\", "
                     "\"2026/12/07 09:15:00\"],\n"
                     "  [\"3\", \"pc01\", \"localhost\", \"127.0.0.1\", \"Local host\", \"2026/12/07 09:14:58\"]],\n"
                     " \"Memo1\": "),
            std::string::npos)
      << out;
  // The note for the relay at 127.0.0.1 stands above the first body line.
  EXPECT_NE(out.find("\"Memo3\": [\"Not found IP...\", \"\\u001b$B:4F#"), std::string::npos) << out;
}

TEST(RouteView, RowsNotesAndTheLoadGoesOn) {
  TMailViews v;
  LoadMailBytes(
      "Received: from a (b [192.168.0.9]) by c; 7 Dec 2026 01:02:03\r\n"
      "Received: from d (e [IPv6:2001:db8::1]) by f\r\n"
      "Received: by g with LMTP; Tue, 8 Dec 2026 10:00:00 +0000\r\n"
      "Received: from h (i [10.1.2.3])\r\n"
      "Subject: x\r\n\r\nbody\r\n",
      v);
  using R = std::vector<std::string>;
  ASSERT_EQ(v.ListView2.size(), 4u);
  EXPECT_EQ(Row(v.ListView2[0]), (R{"1", "a", "b", "192.168.0.9", "Local netowrk", "2026/12/07 01:02:03"}));
  // An IPv6 relay is an address no range holds, not the end of the load.
  EXPECT_EQ(Row(v.ListView2[1]), (R{"2", "d", "e", "IPv6:2001:db8::1", "", ""}));
  EXPECT_EQ(Row(v.ListView2[2]), (R{"3", "", "", "", "Unknown", "2026/12/08 10:00:00"}));
  EXPECT_EQ(Row(v.ListView2[3]), (R{"4", "h", "i", "10.1.2.3", "", ""}));
  EXPECT_EQ(v.Memo3.Lines, (R{"Not found IP...", "Not found IP...", "Not found IP...", "body"}));
  EXPECT_EQ(v.ListView1.size(), 5u);
}

TEST(RouteView, NoReceivedFieldsNoRows) {
  TMailViews v;
  LoadMailBytes("Subject: x\r\n\r\nbody\r\n", v);
  EXPECT_TRUE(v.ListView2.empty());
  EXPECT_EQ(v.Memo3.Lines, std::vector<std::string>{"body"});
}

TEST(RouteView, CountryCommand) {
  const std::pair<std::string, std::string> cases[] = {
      {"8.8.8.8", "アメリカ\n\nAS15169 Google LLC\n"},  // no note: the network is still the third line
      {"133.0.0.1", "日本\n"},
      {"127.0.0.1", "Local host\nNot found IP...\n"},
      {"IPv6:2001:db8::1", "\nNot found IP...\n"},
      {"''", "Unknown\n"},
  };
  for (const auto& [ip, want] : cases) EXPECT_EQ(RunProgram("--country " + ip), want) << ip;
}
