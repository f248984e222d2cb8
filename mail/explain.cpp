#include "mail/explain.h"

#include <array>
#include <cstdint>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "jcode/charset.h"
#include "jcode/jconvert.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

// What follows the separator.
enum TValueKind {
  kValue,           // the trimmed value
  kDecoded,         // its encoded words decoded
  kDecodedAndDate,  // decoded, then the date rewritten
  kAddresses,       // decoded, then display name and address of each mailbox
};

struct TKey {
  std::string_view name;
  std::array<std::uint8_t, 5> lines;  // explanation numbers, 0 ends the list
  TValueKind kind;
};

// E1 ... E61.
constexpr std::array<const char*, 61> kExplanations = {
    "件名です",  // E1
    "日付時刻です、時間の後ろにある +- は GMT からの時差を示しています。",  // E2
    "メールに付けられる ID です。この ID は世界中で重複しない ID が前提となっています。",  // E3
    "メールサーバが受信した際に配信経路を示す為に付けられる情報です。",  // E4
    "エンベローブの上から下に向かって古くなります。",  // E5
    "確実に信頼できる情報は１番上のみとなり２つ以降は正しくない場合もあります。",  // E6
    "メールの MIME フォーマットのバージョンです",  // E7
    "メールの形式と文字コードが指定されています。",  // E8
    "text/plain はテキストのみのメール、text/html は HTML メールです。",  // E9
    "Charset 以降が文字コードとなります。",  // E10
    "メール受信者が返信をする際の送り先です。",  // E11
    "From よりも優先されます。",  // E12
    "配信にエラーが発生した際に送り返されるメールアドレスです。",  // E13
    "特定のメールソフト又はメーリングリストで利用されているようです。",  // E14
    "処理を行った順番などが入っている場合があります。",  // E15
    "特定のメールソフトで利用されているようです。",  // E16
    "キーワードが入っている場合があります。",  // E17
    "メーリングリスト名または説明などが記載されている場合があります。",  // E18
    "メール送信者が指定したメール受信者のアドレス及び名前です。",  // E19
    "送信者が自由に付けることができますので違う名前やアドレスが指定されている場合もあります。",  // E20
    "メールサーバに送られてきた際に指定されたアドレスです。",  // E21
    "サーバが送信するエラーメールの場合は <> だけの場合もあります。",  // E22
    "Reply-To や From が無い場合にこれを参照する場合もあります。",  // E23
    "メール本文のエンコードに使われる形式が指定されます。",  // E24
    "7bit : JISコードや EUC/ASCII",  // E25
    "8bit : Shift-JIS",  // E26
    "Quoted-Printable : ASCIIで表記が出来ない箇所を特殊な形式で変換",  // E27
    "Base64 : Base64形式",  // E28
    "このメールの差出人です。",  // E29
    "このメールを同時に送信（ＣＣメール）した人の名前とアドレスが指定されます。",  // E30
    "このメールを送信したメールソフトの名前です。無い場合もあります。",  // E31
    "このメールの返信元の Message-ID が指定されます。",  // E32
    "このメールの重要度を示す値です。",  // E33
    "メールソフトで対応している場合はなにかが表示される場合がありますが spam なども利用する為",  // E34
    "余り意味がありません。",  // E35
    "不明、アーカイブされていないメールと言う意味らしいです。",  // E36
    "Sendmail で From に対してチェックが入った場合に挿入される場合があります。",  // E37
    "Microsoft のメールに使われている場合があります。",  // E38
    "サーバでメールを受信する際に利用される固有（ユニーク）な ID 。",  // E39
    "このメールが送ったメールの返信の場合に追加されます。データは返信元の Message-ID です",  // E40
    "開封確認を要求するメールに追加され開封確認メールの送信先が指定されます",  // E41
    "メールをチェックしたアンチウィルスソフト等の名前が指定されます。",  // E42
    "メールをチェックしたアンチウィルスソフトの結果が指定されます。",  // E43
    "不明のデータです",  // E44
    "受信したサーバが、差出人が本物かどうかを検査した結果 (SPF・DKIM・DMARC など) です。",  // E45
    "pass は合格、fail は不合格です。一番上にあるものが、このメールを受け取ったサーバの書いた結果です。",  // E46
    "メールを転送したサーバが、それまでの認証結果の記録 (ARC) を封印するために付ける電子署名です。",  // E47
    "i= は何番目の転送か、cv= はそれまでの記録を検査した結果を示します。",  // E48
    "メールを転送したサーバが、転送した時点のメールの内容に付ける電子署名です (ARC)。",  // E49
    "メールを転送したサーバが、受け取った時点の認証結果を写したものです (ARC)。",  // E50
    "i= の数字が大きいほど後の転送で付けられたものです。",  // E51
    "送信したドメインがメールに付けた電子署名 (DKIM) です。",  // E52
    "d= は署名したドメイン、s= は鍵の名前、bh= は本文のハッシュ、b= は署名そのものです。",  // E53
    "受信したサーバが、送信元のサーバにそのドメインのメールを送る資格があるか (SPF) を検査した結果です。",  // E54
    "メールマガジンなどの配信を停止するための宛先 (URL やメールアドレス) です。",  // E55
    "メールソフトの「配信停止」ボタンはここを使います。",  // E56
    "ワンクリックで配信を停止できることを示します。",  // E57
    "メーリングリストやメールマガジンを見分けるための名前です。",  // E58
    "Microsoft のサーバが、転送や書き換えの前に記録した認証結果です。",  // E59
    "Google が配信のために独自に付ける電子署名 (DKIM) です。",  // E60
    "配信サービスが苦情や配信の状況を集計するための ID です。",  // E61
};

// The keys in the order they are tested, compared with the upper-cased name.
constexpr std::array<TKey, 49> kKeys = {{
    {"DATE", {2}, kDecodedAndDate},
    {"MESSAGE-ID", {3}, kValue},
    {"RECEIVED", {4, 5, 6}, kValue},
    {"MIME-VERSION", {7}, kValue},
    {"CONTENT-TYPE", {8, 9, 10}, kValue},
    {"REPLY-TO", {11, 12}, kAddresses},
    {"ERRORS-TO", {13, 12}, kAddresses},
    {"X-SEQUENCE", {14, 15}, kDecoded},
    {"X-KEYWORDS", {16, 17}, kDecoded},
    {"X-SEQ", {14, 15}, kDecoded},
    {"MAILING-LIST", {18}, kDecoded},
    {"TO", {19, 20}, kAddresses},
    {"DELIVERED-TO", {19, 20}, kDecoded},
    {"RETURN-PATH", {21, 22, 23}, kValue},
    {"CONTENT-TRANSFER-ENCODING", {24, 25, 26, 27, 28}, kValue},
    {"FROM", {29}, kAddresses},
    {"CC", {30}, kAddresses},
    {"X-MAILER", {31}, kValue},
    {"IN-REPLY-TO", {32}, kValue},
    {"PRIORITY", {33, 34, 35}, kValue},
    {"X-MSMAIL-PRIORITY", {33, 34, 35}, kValue},
    {"X-PRIORITY", {33, 34, 35}, kValue},
    {"IMPORTANCE", {33, 34, 35}, kValue},
    {"PRECEDENCE", {33, 34, 35}, kValue},
    {"X-NO-ARCHIVE", {36}, kValue},
    {"X-AUTHENTICATION-WARNING", {37}, kValue},
    {"THREAD-INDEX", {38}, kValue},
    {"X-MIMEOLE", {38}, kValue},
    {"THREAD-TOPIC", {38}, kDecoded},
    {"CONTENT-CLASS", {38}, kValue},
    {"X-ORIGINALARRIVALTIME", {38}, kValue},
    {"X-UIDL", {39}, kValue},
    {"REFERENCES", {40}, kValue},
    {"DISPOSITION-NOTIFICATION-TO", {41}, kAddresses},
    {"X-ANTIVIRUS", {42}, kValue},
    {"X-ANTIVIRUS-STATUS", {43}, kValue},
    {"X-VIRUS-STATUS", {43}, kValue},
    {"AUTHENTICATION-RESULTS", {45, 46}, kValue},
    {"ARC-SEAL", {47, 48}, kValue},
    {"ARC-MESSAGE-SIGNATURE", {49, 48}, kValue},
    {"ARC-AUTHENTICATION-RESULTS", {50, 51}, kValue},
    {"DKIM-SIGNATURE", {52, 53}, kValue},
    {"RECEIVED-SPF", {54}, kValue},
    {"LIST-UNSUBSCRIBE", {55, 56}, kValue},
    {"LIST-UNSUBSCRIBE-POST", {57, 55}, kValue},
    {"LIST-ID", {58}, kDecoded},
    {"AUTHENTICATION-RESULTS-ORIGINAL", {59, 46}, kValue},
    {"X-GOOGLE-DKIM-SIGNATURE", {60, 53}, kValue},
    {"FEEDBACK-ID", {61}, kValue},
}};

constexpr const char* kSeparator = "----------------------------------------";

std::string Explanation(int number) { return kExplanations[static_cast<std::size_t>(number - 1)]; }

// The value without the blanks around it; an ESC that begins raw
// ISO-2022-JP text is not a blank.
std::string TrimValue(std::string_view v) {
  std::size_t start = 0;
  while (start < v.size() && IsControlOrBlank(v[start]) && v[start] != '\x1b') ++start;
  std::size_t end = v.size();
  while (end > start && IsControlOrBlank(v[end - 1])) --end;
  return std::string(v.substr(start, end - start));
}

// Stored bytes as the window shows them.
std::string Stored(std::string_view bytes) { return StoredTextToUtf8(bytes, TDecodeMode::Lossless); }

void AddValueLines(TValueKind kind, const std::string& value, std::vector<std::string>& out) {
  switch (kind) {
    case kValue: out.push_back(Stored(value)); break;
    case kDecoded: out.push_back(DecodeHeaderTextUtf8(value)); break;
    case kDecodedAndDate:
      out.push_back(DecodeHeaderTextUtf8(value));
      out.push_back(Stored(FormatMailDate(value)));
      break;
    case kAddresses: {
      out.push_back(DecodeHeaderTextUtf8(value));
      std::vector<TMailAddress> all = SplitMailAddresses(value);
      if (all.empty()) all.emplace_back();  // the name and address lines stay, empty
      for (TMailAddress& a : all) {
        out.push_back(std::move(a.Name));
        out.push_back(Stored(a.Address));
      }
      break;
    }
  }
}

}  // namespace

std::vector<std::string> HeaderExplanationLines(std::string_view name, std::string_view value,
                                                const TTextContext& context) {
  const TTextContextScope scope(context);
  const std::string upper = UpperCase(name);
  // The subject: untrimmed, no separator; raw JIS is converted with the rest.
  if (upper == "SUBJECT") return {Explanation(1), DecodeHeaderTextUtf8(value)};
  const std::string trimmed = TrimValue(value);
  std::vector<std::string> out;
  for (const TKey& key : kKeys) {
    if (upper != key.name) continue;
    for (std::uint8_t n : key.lines) {
      if (n == 0) break;
      out.push_back(Explanation(n));
    }
    out.push_back(kSeparator);
    AddValueLines(key.kind, trimmed, out);
    return out;
  }
  return {Explanation(44), kSeparator, Stored(trimmed)};
}

}  // namespace tarvo
