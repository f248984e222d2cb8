// The meanings of the filters' values, from each vendor's own documents:
//   Microsoft: "Anti-spam message headers" (message-headers-eop-mdo),
//     "Spam confidence level", "Bulk complaint level values", and for the
//     PCL stamp of Exchange Server, "Antispam stamps".
//   rspamd: "Milter headers module" and its actions (no action, greylist,
//     add header, rewrite subject, soft reject, reject).
//   Cisco: "Cisco Secure Email ... Reputation Filtering" (SenderBase
//     Reputation Score) and "File Reputation Filtering and File Analysis".
//   Proofpoint: "Proofpoint Protection Server ... X-Proofpoint-Spam-Details".
//   Trend Micro: "Understanding the X-headers of IMSS" (X-TM-AS-Result).
// A value none of them explains is not in this table: it is shown as it
// stands, marked unknown.
#include <array>

#include "base/ascii.h"
#include "checks/filters.h"

namespace tarvo {

namespace {

constexpr TLevel I = TLevel::Info, W = TLevel::Warn, B = TLevel::Bad;

constexpr std::array kMeanings = std::to_array<TFilterMeaning>({
    // The spam confidence level (SCL).
    {"SCL", "-1", "迷惑メールの検査を省略しました（信頼できる差出人、IP 許可一覧、メールフロー ルールなど）。", I, true},
    {"SCL", "0", "迷惑メールではないと判定しました。", I, false},
    {"SCL", "1", "迷惑メールではないと判定しました。", I, false},
    {"SCL", "2", "迷惑メール フィルタはこの値を付けません（メールフロー ルールなど別の仕組みが付けた値です）。", I, false},
    {"SCL", "3", "迷惑メール フィルタはこの値を付けません（メールフロー ルールなど別の仕組みが付けた値です）。", I, false},
    {"SCL", "4", "迷惑メール フィルタはこの値を付けません（メールフロー ルールなど別の仕組みが付けた値です）。", I, false},
    {"SCL", "5", "迷惑メールと判定しました。", W, false},
    {"SCL", "6", "迷惑メールと判定しました。", W, false},
    {"SCL", "7", "確度の高い迷惑メールと判定しました。", B, false},
    {"SCL", "8", "確度の高い迷惑メールと判定しました。", B, false},
    {"SCL", "9", "確度の高い迷惑メールと判定しました。", B, false},
    // The spam filtering verdict.
    {"SFV", "BLK", "受信者の「受信拒否リスト」にある差出人のため、検査を省略して受信を拒否しました。", W, false},
    {"SFV", "NSPM", "迷惑メールではないと判定し、受信者に配信しました。", I, false},
    {"SFV", "SFE", "受信者の「信頼できる差出人リスト」にある差出人のため、検査を省略して配信しました。", I, true},
    {"SFV", "SKA", "迷惑メール対策ポリシーの「許可する差出人・ドメイン」にあるため、検査を省略して受信トレイに配信しました。", I, true},
    {"SFV", "SKB", "迷惑メール対策ポリシーの「禁止する差出人・ドメイン」に当たるため、迷惑メールとしました。", W, false},
    {"SFV", "SKN", "検査の前に迷惑メールではないとされました（メールフロー ルールで SCL -1 や「迷惑メール フィルタを省略」にされたなど）。", I, true},
    {"SFV", "SKQ", "検疫から解放され、受信者に配信されました。", I, true},
    {"SFV", "SKS", "検査の前に迷惑メールとされました（メールフロー ルールで SCL 5〜9 にされたなど）。", W, false},
    {"SFV", "SPM", "迷惑メール フィルタが迷惑メールと判定しました。", W, false},
    // The category of the policy that applied.
    {"CAT", "AMP", "マルウェア対策ポリシーが当てはまりました（マルウェア）。", B, false},
    {"CAT", "BIMP", "ブランドのなりすましです。", B, false},
    {"CAT", "BULK", "一斉配信のメール（バルク）です。", W, false},
    {"CAT", "DIMP", "ドメインのなりすましです。", B, false},
    {"CAT", "FTBP", "マルウェア対策の「よくある添付ファイル」フィルタに当たりました（危険な種類の添付ファイル）。", W, false},
    {"CAT", "GIMP", "メールボックス インテリジェンスによるなりすましの検出です。", B, false},
    {"CAT", "HPHSH", "確度の高いフィッシングです。", B, false},
    {"CAT", "HPHISH", "確度の高いフィッシングです。", B, false},
    {"CAT", "HSPM", "確度の高い迷惑メールです。", B, false},
    {"CAT", "INTOS", "組織内からのフィッシングです。", B, false},
    {"CAT", "MALW", "マルウェアです。", B, false},
    {"CAT", "OSPM", "送信メールの迷惑メール判定です。", W, false},
    {"CAT", "PHSH", "フィッシングです。", B, false},
    {"CAT", "SAP", "安全な添付ファイル (Safe Attachments) が危険と判定しました。", B, false},
    {"CAT", "SPM", "迷惑メールです。", W, false},
    {"CAT", "SPOOF", "差出人の偽装（なりすまし送信）です。", B, false},
    {"CAT", "UIMP", "ユーザーのなりすましです。", B, false},
    // Safety tips.
    {"SFTY", "9.19", "ドメインのなりすまし: 保護されたドメインを装っています。", B, false},
    {"SFTY", "9.20", "ユーザーのなりすまし: 受信者の組織の人や保護されたユーザーを装っています。", B, false},
    {"SFTY", "9.25", "初めての差出人への注意表示です。不審なメールやフィッシングの兆しのこともあります。", I, false},
    {"SRV", "BULK", "一斉配信のメール（バルク）と判定しました（苦情レベル BCL が閾値以上）。", W, false},
    {"IPV", "CAL", "送信元の IP アドレスが IP 許可一覧にあるため、迷惑メールの検査を省略しました。", I, true},
    {"IPV", "NLI", "送信元の IP アドレスはどの IP 評価リストにも載っていません。", I, false},
    {"DIR", "INB", "外部から受信したメールです。", I, false},
    {"DIR", "OUT", "組織から外部へ送信したメールです。", I, false},
    {"DIR", "INT", "組織内のメールです。", I, false},
    // The bulk complaint level (BCL); the default threshold is 7.
    {"BCL", "0", "一斉配信の送信者からのメールではありません。", I, false},
    {"BCL", "1", "苦情の少ない一斉配信の送信者からのメールです。", I, false},
    {"BCL", "2", "苦情の少ない一斉配信の送信者からのメールです。", I, false},
    {"BCL", "3", "苦情の少ない一斉配信の送信者からのメールです。", I, false},
    {"BCL", "4", "苦情がある程度ある一斉配信の送信者からのメールです。", I, false},
    {"BCL", "5", "苦情がある程度ある一斉配信の送信者からのメールです。", I, false},
    {"BCL", "6", "苦情がある程度ある一斉配信の送信者からのメールです。", I, false},
    {"BCL", "7", "苦情がある程度ある一斉配信の送信者からのメールです（既定の閾値 7 に達しています）。", W, false},
    {"BCL", "8", "苦情の多い一斉配信の送信者からのメールです。", W, false},
    {"BCL", "9", "苦情の多い一斉配信の送信者からのメールです。", W, false},
    // The phishing confidence level (PCL) of Exchange's content filter.
    {"PCL", "1", "内容はフィッシングらしくありません（中立）。", I, false},
    {"PCL", "2", "内容はフィッシングらしくありません（中立）。", I, false},
    {"PCL", "3", "内容はフィッシングらしくありません（中立）。", I, false},
    {"PCL", "4", "内容はフィッシングの疑いがあります（不審）。", W, false},
    {"PCL", "5", "内容はフィッシングの疑いがあります（不審）。", W, false},
    {"PCL", "6", "内容はフィッシングの疑いがあります（不審）。", W, false},
    {"PCL", "7", "内容はフィッシングの疑いがあります（不審）。", W, false},
    {"PCL", "8", "内容はフィッシングの疑いがあります（不審）。", W, false},
    // Where Exchange delivered it (not documented by Microsoft).
    {"dest", "I", "受信トレイに配信しました。", I, false},
    {"dest", "J", "迷惑メール フォルダに配信しました。", W, false},
    // rspamd's actions.
    {"rspamd-action", "NO ACTION", "何もしません（迷惑メールではありません）。", I, false},
    {"rspamd-action", "GREYLIST", "一時的に受信を保留する（グレイリスト）よう勧めました。", I, false},
    {"rspamd-action", "ADD HEADER", "迷惑メールとして印のヘッダを付けるよう勧めました。", W, false},
    {"rspamd-action", "REWRITE SUBJECT", "迷惑メールとして件名を書き換えるよう勧めました。", W, false},
    {"rspamd-action", "SOFT REJECT", "一時的に受信を断るよう勧めました（送信元は後で送り直せます）。", I, false},
    {"rspamd-action", "REJECT", "受信を拒否するよう勧めました（確度の高い迷惑メール）。", B, false},
    // Yes / no flags.
    {"flag", "YES", "迷惑メールと判定しました。", W, false},
    {"flag", "NO", "迷惑メールではないと判定しました。", I, false},
    {"flag", "TRUE", "迷惑メールと判定しました。", W, false},
    {"flag", "FALSE", "迷惑メールではないと判定しました。", I, false},
    // Cisco's file reputation (AMP).
    {"amp", "CLEAN", "添付ファイルに危険は見つかりませんでした。", I, false},
    {"amp", "MALICIOUS", "添付ファイルがマルウェアと判定されました。", B, false},
    {"amp", "UNKNOWN", "添付ファイルの評価は分かりませんでした。", I, false},
    {"amp", "UNSCANNABLE", "添付ファイルを検査できませんでした。", I, false},
    {"amp", "SKIPPED", "添付ファイルの検査を省略しました。", I, false},
    // Proofpoint's rule.
    {"pp-rule", "NOTSPAM", "迷惑メールではないと判定しました。", I, false},
    {"pp-rule", "SPAM", "迷惑メールと判定しました。", W, false},
    {"pp-rule", "BULK", "一斉配信のメール（バルク）と判定しました。", W, false},
    // Trend Micro's trend type.
    {"tm-type", "1", "迷惑メールの判定です。", W, false},
    {"tm-type", "2", "フィッシングの判定です（フィッシングのデータベースに当たりました）。", B, false},
});

// Field names and what they hold, per family ("" for any).
struct TNameMeaning {
  std::string_view Family, Name, Meaning;
};

constexpr std::array kNames = std::to_array<TNameMeaning>({
    {"Microsoft 365", "SCL", "迷惑メールの確からしさ (Spam Confidence Level)。-1 は検査の省略、0〜1 は迷惑メールではない、5〜6 は迷惑メール、7〜9 は確度の高い迷惑メールです。"},
    {"Microsoft 365", "SFV", "迷惑メール フィルタの判定 (Spam Filtering Verdict) です。"},
    {"Microsoft 365", "CAT", "当てはまった脅威対策ポリシーの分類です。"},
    {"Microsoft 365", "SFTY", "フィッシングと見て付けた安全のヒントの番号です。"},
    {"Microsoft 365", "SRV", "一斉配信（バルク）の判定です。"},
    {"Microsoft 365", "IPV", "送信元 IP アドレスの評価です。"},
    {"Microsoft 365", "DIR", "メールの向き（受信・送信・組織内）です。"},
    {"Microsoft 365", "CIP", "接続してきたサーバの IP アドレスです（最初に送信したサーバとは限りません）。"},
    {"Microsoft 365", "CTRY", "接続してきたサーバの IP アドレスから見た国・地域です。"},
    {"Microsoft 365", "LANG", "メールが書かれた言語です。"},
    {"Microsoft 365", "H", "接続してきたサーバが名乗った名前 (HELO/EHLO) です。"},
    {"Microsoft 365", "PTR", "送信元 IP アドレスの逆引き名 (PTR レコード) です。"},
    {"Microsoft 365", "BCL", "一斉配信の苦情レベル (Bulk Complaint Level)。0 は一斉配信ではない、1〜3 は苦情が少ない、4〜7 は苦情がある程度ある、8〜9 は苦情が多い送信者です。"},
    {"Microsoft 365", "PCL", "フィッシングの確からしさ (Phishing Confidence Level)。1〜3 は中立、4〜8 は不審です。"},
    {"Microsoft 365", "dest", "配信先のフォルダです（I は受信トレイ、J は迷惑メール フォルダ）。"},
    {"Microsoft 365", "OFR", "振り分けを決めた規則の名前です。"},
    {"SpamAssassin", "status", "迷惑メールと判定したか (Yes / No) です。"},
    {"SpamAssassin", "score", "迷惑メールの点数です。当てはまった規則の点数の合計で、大きいほど迷惑メールらしいことを示します。"},
    {"SpamAssassin", "hits", "迷惑メールの点数です（古い形式での呼び名）。"},
    {"SpamAssassin", "required", "迷惑メールと判定する点数の閾値です。"},
    {"SpamAssassin", "tests", "当てはまった規則の名前です。"},
    {"SpamAssassin", "autolearn", "この判定をベイズ学習に使ったかどうかです。"},
    {"SpamAssassin", "autolearn_force", "自動学習を強制したかどうかです。"},
    {"SpamAssassin", "version", "SpamAssassin の版です。"},
    {"SpamAssassin", "level", "点数を「*」の数で表したものです（1 点ごとに 1 つ）。"},
    {"rspamd", "action", "rspamd が勧めた処置です。"},
    {"rspamd", "status", "迷惑メールと判定したか (True / False) です。"},
    {"rspamd", "score", "迷惑メールの点数です。大きいほど迷惑メールらしいことを示します。"},
    {"rspamd", "required", "受信を拒否する点数の閾値です。"},
    {"rspamd", "symbols", "当てはまった規則 (シンボル) と、それぞれの点数です。"},
    {"Cisco", "SBRS", "送信元 IP アドレスの評判 (SenderBase Reputation Score)。-10 に近いほど迷惑メールの送信元らしく、+10 に近いほど信頼できる送信元です。None は情報が足りないことを示します。"},
    {"Cisco", "E", "ウイルス検査のエンジンの名前です。"},
    {"Cisco", "i", "ウイルス検査のエンジンや定義の版です。"},
    {"Cisco", "d", "検査の記録です（値の意味は公開されていません）。"},
    {"Cisco", "a", "検査の通し番号です（値の意味は公開されていません）。"},
    {"Cisco", "amp", "添付ファイルの評価 (AMP: ファイル レピュテーション) の結果です。"},
    {"Proofpoint", "rule", "当てはまった規則の名前です。"},
    {"Proofpoint", "policy", "当てはめた方針 (ポリシー) の名前です。"},
    {"Proofpoint", "score", "総合の点数 (0〜100) です。"},
    {"Proofpoint", "spamscore", "迷惑メールらしさの点数 (0〜100) です。"},
    {"Proofpoint", "phishscore", "フィッシングらしさの点数 (0〜100) です。"},
    {"Proofpoint", "malwarescore", "マルウェアらしさの点数 (0〜100) です。"},
    {"Proofpoint", "bulkscore", "一斉配信（バルク）らしさの点数 (0〜100) です。"},
    {"Proofpoint", "suspectscore", "不審さの点数 (0〜100) です。"},
    {"Proofpoint", "impostorscore", "なりすましらしさの点数 (0〜100) です。"},
    {"Proofpoint", "adultscore", "成人向けの内容らしさの点数 (0〜100) です。"},
    {"Proofpoint", "classifier", "判定に使った分類器です。"},
    {"Proofpoint", "engine", "検査エンジンの版です。"},
    {"Proofpoint", "definitions", "定義データの版です。"},
    {"Barracuda", "status", "迷惑メールと判定したか (Yes / No) です。"},
    {"Barracuda", "SCORE", "迷惑メールの点数です。大きいほど迷惑メールらしいことを示します。"},
    {"Barracuda", "TAG_LEVEL", "迷惑メールの印を付ける点数の閾値です。"},
    {"Barracuda", "QUARANTINE_LEVEL", "隔離する点数の閾値です。"},
    {"Barracuda", "KILL_LEVEL", "受信を拒否する点数の閾値です。"},
    {"Barracuda", "tests", "当てはまった規則の名前です。"},
    {"Trend Micro", "status", "迷惑メールと判定したか (Yes / No) です。"},
    {"Trend Micro", "score", "迷惑メールの点数です。閾値以上なら迷惑メールと判定します。"},
    {"Trend Micro", "threshold", "迷惑メールと判定する点数の閾値です。"},
    {"Trend Micro", "category", "判定の分類の番号です。"},
    {"Trend Micro", "type", "判定の種類です（1 は迷惑メール、2 はフィッシング）。"},
    {"Mimecast", "score", "Mimecast が付けた迷惑メールの点数です。大きいほど迷惑メールらしいことを示します（判定の閾値は組織の設定によります）。"},
});

}  // namespace

const TFilterMeaning* FindFilterMeaning(std::string_view key, std::string_view value) {
  for (const TFilterMeaning& m : kMeanings)
    if (m.Key == key && EqualsNoCase(m.Value, value)) return &m;
  return nullptr;
}

std::string_view FilterFieldMeaning(std::string_view family, std::string_view name) {
  for (const TNameMeaning& n : kNames)
    if (n.Family == family && n.Name == name) return n.Meaning;
  return {};
}

}  // namespace tarvo
