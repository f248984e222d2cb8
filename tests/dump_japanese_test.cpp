// Japanese text that depends on the whole message, through --dump: carrier
// emoji in the text and the explanation box and part names, JIS katakana
// and JIS runs split over encoded words, raw 8-bit header text, and bytes
// that fit no character of their declared charset.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_tarvo.h"

using tarvo::testing::DumpOf;
using tarvo::testing::WriteTemp;

namespace {

struct TCase {
  const char* why;
  std::string message;                 // the file's bytes, or empty for `sample`
  const char* sample;                  // a file of samples/
  std::vector<std::string> wanted;     // pieces of the dump, JSON as written
};

std::string Sample(const char* name) { return std::string(TARVO_SOURCE_DIR) + "/samples/" + name; }

const std::string kFace = "(=\x1B(I_\x1B$B&X\x1B(I_\x1B(B)\x1B(II\x1B(B";

}  // namespace

TEST(DumpJapanese, MessageWideReadings) {
  const TCase cases[] = {
      {"docomo: Shift_JIS", {}, "docomo-emoji.eml",
       {"\"今日は晴れ☀です。ケーキ🎂を食べました❤\"", "[\"件名です\", \" 今日は晴れ☀\"]"}},
      {"au: its mail rows in ISO-2022-JP", {}, "au-emoji.eml",
       {"\"猫🐱と晴れ☀でパーティー🎉\"", "[\"件名です\", \" ラーメン🍜\"]"}},
      {"SoftBank: private-use UTF-8 and web codes", {}, "softbank-emoji.eml",
       {"\"晴れ☀の日に犬🐶とケーキ🎂を食べた❤\"", "[\"件名です\", \" 犬🐶とケーキ🎂\"]"}},
      {"docomo: a part name",
       "From: t@docomo.ne.jp\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
       "Content-Type: text/plain\r\n\r\nx\r\n--b\r\nContent-Type: image/jpeg\r\n"
       "Content-Disposition: attachment; filename=\"=?Shift_JIS?B?+J8uanBn?=\"\r\n\r\nx\r\n--b--\r\n",
       nullptr, {"\"name\": \"☀.jpg\""}},
      {"au: a part name",
       "From: t@ezweb.ne.jp\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
       "Content-Type: text/plain\r\n\r\nx\r\n--b\r\nContent-Type: image/jpeg\r\n"
       "Content-Disposition: attachment; filename=\"=?Shift_JIS?B?9mAuanBn?=\"\r\n\r\nx\r\n--b--\r\n",
       nullptr, {"\"name\": \"☀.jpg\""}},
      {"a raw Latin-1 part name of a Latin-1 message",
       "From: a@example.de\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nx\r\n--b\r\nContent-Type: text/csv; name=\"M\xFCnchen.csv\"\r\n"
       "\r\nx\r\n--b--\r\n",
       nullptr, {"\"name\": \"München.csv\""}},
      {"JIS katakana in the body and a raw header",
       "From: a@example.jp\r\nSubject: " + kFace + "\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" +
           kFace + "\r\n",
       nullptr, {"\"Memo4\": [\"(=ﾟωﾟ)ﾉ\"]", "[\"件名です\", \" (=ﾟωﾟ)ﾉ\"]"}},
      {"a JIS run split over two encoded words",
       "From: a@example.jp\r\nSubject: =?iso-2022-jp?B?GyRCJS0lOCVIJWkhJiVVJWklQyU3JWUbKEIvGyRCJUsl?=\r\n"
       " =?iso-2022-jp?B?YyE8JXMbKEI=?=\r\n\r\nx\r\n",
       nullptr, {"[\"件名です\", \" キジトラ・フラッシュ/ニャーン\"]"}},
      {"raw Latin-1 header text of a Latin-1 message",
       "From: J\xFCrgen L\xFCtkebohle <j@example.de>\r\nSubject: Gr\xFC\xDF" "e aus M\xFCnchen\r\n"
       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nGr\xFC\xDF" "e\r\n",
       nullptr, {"\"Jürgen Lütkebohle\", \"j@example.de\"", "\" Grüße aus München\"", "\"Memo4\": [\"Grüße\"]"}},
      {"raw Shift_JIS header text",
       "From: a@example.jp\r\nSubject: \xFB\xFC\x8B\xB4\x82\xB3\x82\xF1 \xF0\x40\r\n"
       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nx\r\n",
       nullptr, {"\" 髙橋さん \uE000\""}},
      {"an RFC 2231 name whose bytes do not fit its charset",
       "From: a@example.jp\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
       "Content-Type: text/plain\r\n\r\nx\r\n--b\r\nContent-Type: application/octet-stream\r\n"
       "Content-Disposition: attachment; filename*=iso-2022-jp'ja'Dij%8Aat.txt\r\n\r\nx\r\n--b--\r\n",
       nullptr, {"\"name\": \"Dij\uFFFDat.txt\""}},
  };
  int n = 0;
  for (const TCase& c : cases) {
    const std::string path =
        c.sample ? Sample(c.sample) : WriteTemp("tarvo_dump_japanese" + std::to_string(n++) + ".eml", c.message);
    const std::string out = DumpOf(path);
    for (const std::string& piece : c.wanted) EXPECT_NE(out.find(piece), std::string::npos) << c.why << "\n" << piece << "\n" << out;
  }
}
