// Names worn that are not the sender's own: brands, domains in display names,
// invisible characters, links to bare addresses and look-alike scripts.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks/auth.h"
#include "jcode/textfold.h"
#include "views/pipeline.h"

using namespace tarvo;

namespace {

TEST(TextFold, ReadsLookAlikesAsPlainLetters) {
  const struct {
    const char* in;
    const char* joined;
    const char* spaced;
  } cases[] = {
      {"三 菱 ＵＦＪ銀 行", "三菱ufj銀行", "三 菱 ufj銀 行"},
      {"メルカ\u2064リ", "メルカリ", "メルカリ"},
      {"\U0001D5E3\U0001D5EE\U0001D5EC\U0001D5E3\U0001D5EE\U0001D5F9", "paypal", "paypal"},  // sans-serif bold
      {"\u041Cet\u0430m\u0430sk", "metamask", "metamask"},                                  // Cyrillic М, а
      {"C o i n b a s e", "coinbase", "c o i n b a s e"},
      {"ｱﾏｿﾞﾝ ﾊﾟｽ", "アマゾンパス", "アマゾン パス"},
      {"ｶﾞ\xFF", "ガ", "ガ"},  // an invalid byte is dropped
      {"a\xEF\xBE\x9E", "a\xEF\xBE\x9E", "a\xEF\xBE\x9E"},  // a voiced mark after no kana stays as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    const TFoldedText f = FoldForMatching(c.in);
    EXPECT_EQ(f.Joined, c.joined);
    EXPECT_EQ(f.Spaced, c.spaced);
  }
  EXPECT_EQ(FoldForMatching("Pay\u200Bpal\u202E").Invisible, (std::vector<char32_t>{0x200B, 0x202E}));
  EXPECT_TRUE(FoldForMatching("✔️ 👨\u200D👩").Invisible.empty());  // emoji's own joiners and selectors
}

struct TCase {
  const char* why;
  const char* from;
  const char* subject;
  const char* html;
  const char* kind;  // expected, or "" for no sign of these kinds
  TLevel level;
};

const TCase kCases[] = {
    {"spaced wide brand name", "\"三 菱 ＵＦＪ銀 行\" <info@notice-mufg.example>", "ご確認", "", "brand-impersonation",
     TLevel::Bad},
    {"brand with an invisible character", "=?UTF-8?B?44Oh44Or44Kr4oGk44Oq?= <no-reply@mer-support.example>", "お知らせ",
     "", "brand-impersonation", TLevel::Bad},
    {"the brand's own sender", "楽天カード <info@mail.rakuten-card.co.jp>", "ご利用のお知らせ", "", "", TLevel::Info},
    {"the brand under another public suffix", "Amazon <no-reply@amazon.de>", "Bestellung", "", "", TLevel::Info},
    {"brand in the subject with a demand", "Support <a@shop.example>", "Your Netflix account is suspended", "",
     "brand-impersonation", TLevel::Bad},
    {"brand in the subject only", "Dealer <a@cars.example>", "eBay listing: 2008 Ford", "", "brand-impersonation",
     TLevel::Info},
    {"a forward whose links all go to the brand", "Taro <taro@home.example>", "Fwd: Apple ID の確認",
     "<a href=\"https://appleid.apple.com/\">x</a>", "", TLevel::Info},
    {"short key inside a word", "Groups <a@groups.example>", "upsilon", "", "", TLevel::Info},
    {"domain in the display name", "\"ethereum.org\" <x@mail.example>", "hi", "", "display-name-domain", TLevel::Bad},
    {"own domain in the display name", "\"shop.example\" <x@news.shop.example>", "hi", "", "", TLevel::Info},
    {"zero width space in the subject", "Shop <a@shop.example>", "=?UTF-8?B?44GK4oCL55+l44KJ44Gb?=", "",
     "invisible-characters", TLevel::Warn},
    {"link to a bare address", "Shop <a@shop.example>", "hi", "<a href=\"http://192.0.2.7/login\">ログイン</a>", "link-ip",
     TLevel::Bad},
    {"link to a Cyrillic look-alike", "Shop <a@shop.example>", "hi", "<a href=\"https://xn--pypal-4ve.com/\">x</a>",
     "punycode-mixed-script", TLevel::Bad},
    {"a domain no reply can reach", "Correio <aviso@correio>", "hi", "", "from-invalid", TLevel::Warn},
    {"a shortened link with no demand", "Shop <a@shop.example>", "New arrivals",
     "<a href=\"https://tinyurl.com/abc\">x</a>", "link-open-host", TLevel::Warn},
    {"the shortener's own mail", "Bitly <a@bit.ly>", "Verify", "<a href=\"https://bit.ly/x\">x</a>", "",
     TLevel::Info},
    {"an organisation on free mail, no demand", "Sales Team <sales.team@gmail.com>", "Catalogue", "",
     "free-mail-organisation", TLevel::Warn},
    {"an encoded name alone before the mailbox", "=?UTF-8?B?44Ok44Oe44OI?=,\r\n <info@mail.example>", "hi", "",
     "from-name-without-address", TLevel::Bad},
    {"a careless comma in a name", "Smith, John <john@mail.example>", "hi", "", "", TLevel::Info},
    {"two real senders", "\"Ann\" <ann@a.example>, \"Bob\" <bob@b.example>", "hi", "", "", TLevel::Info},
    {"pictures from a bare address and a picture drop", "Shop <a@shop.example>", "hi",
     "<img src=\"//192.0.2.9/t.gif\"><img src=\"https://i.imgur.com/a.png\">", "image-open-host", TLevel::Warn},
    {"a payout notice with pictures from a drop", "Casino <a@shop.example>", "Your payout is pending",
     "<img src=\"https://i.ibb.co/x.png\">", "image-open-host", TLevel::Bad},
    {"pictures from the sender's own server", "Shop <a@shop.example>", "hi",
     "<img src=\"https://cdn.shop.example/logo.png\">", "", TLevel::Info},
    {"the brand's pictures are no link to it", "Apple <id@notice.example>", "hi",
     "<img src=\"https://www.apple.com/logo.png\">", "brand-impersonation", TLevel::Bad},
    {"a brand dressed in the address", "Notice <amazon.co.jp@mail-notice.example>", "hi", "", "brand-impersonation",
     TLevel::Bad},
    {"a brand's short name inside a word of the address", "Ann <upsilon@groups.example>", "hi", "", "", TLevel::Info},
    {"a person on free mail", "Hanako Sato <hanako@gmail.com>", "Payment for lunch", "", "", TLevel::Info},
    {"a word only inside another", "Teamster Joe <joe@yahoo.com>", "hi", "", "", TLevel::Info},
    {"an international name that is no look-alike", "Shop <a@\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.example>",
     "hi", "", "", TLevel::Info},
};

TEST(PhishingSigns, EachFiresOnlyOnWhatRaisesIt) {
  const std::string kinds =
      " brand-impersonation display-name-domain invisible-characters link-ip punycode-mixed-script from-invalid"
      " link-open-host free-mail-organisation lookalike-domain from-quoted-address from-name-without-address"
      " image-open-host ";
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.why);
    const std::string head = std::string("From: ") + c.from + "\r\nSubject: " + c.subject + "\r\n";
    const THeaderFields fields = ReadFields(head);
    const std::vector<TFinding> findings = GetFindings(fields, GetAuthentication(fields, ""), c.html);
    std::vector<const TFinding*> signs;
    for (const TFinding& f : findings)
      if (kinds.find(" " + f.Kind + " ") != std::string::npos) signs.push_back(&f);
    if (!*c.kind) {
      EXPECT_TRUE(signs.empty()) << signs.front()->Kind << ": " << signs.front()->Detail;
      continue;
    }
    const auto it = std::find_if(signs.begin(), signs.end(), [&](const TFinding* f) { return f->Kind == c.kind; });
    ASSERT_NE(it, signs.end());
    EXPECT_EQ((*it)->Level, c.level);
    EXPECT_FALSE((*it)->Detail.empty());
  }
}

// Whole messages: each raises its sign, and the verdict is 危険.
TEST(PhishingSigns, MessagesMarkedBad) {
  const struct {
    const char* file;
    const char* kind;
  } cases[] = {
      {"open-host-demand.eml", "link-open-host"},
      {"free-mail-organisation.eml", "free-mail-organisation"},
      {"quoted-address.eml", "from-quoted-address"},
      {"quoted-address.eml", "brand-impersonation"},  // the quoted domain is not the sender's
      {"lookalike-domain.eml", "lookalike-domain"},
      {"brand-mailto.eml", "brand-impersonation"},  // a mailto: link to elsewhere is no brand link
      {"name-without-address.eml", "from-name-without-address"},
      {"picture-drop-demand.eml", "image-open-host"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TMailViews views;
    LoadMailFile(std::string(TARVO_SOURCE_DIR) + "/tests/data/signs/" + c.file, views);
    const auto it = std::find_if(views.Findings.begin(), views.Findings.end(),
                                 [&](const TFinding& f) { return f.Kind == c.kind; });
    ASSERT_NE(it, views.Findings.end());
    EXPECT_EQ(it->Level, TLevel::Bad) << it->Text;
  }
}

}  // namespace
