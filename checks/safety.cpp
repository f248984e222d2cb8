// What the safety page says about the authentication: one row per check,
// and the verdict sentence. Kept here so tests reach it without a window.
#include <algorithm>

#include "checks/auth.h"
#include "checks/filters.h"

namespace tarvo {

namespace {

std::string Meaning(const std::string& result) {
  static const std::pair<const char*, const char*> kMeanings[] = {
      {"pass", "合格"},          {"fail", "不合格"},       {"softfail", "不合格 (弱い)"},
      {"neutral", "判定なし"},   {"none", "検査なし"},     {"temperror", "一時的なエラー"},
      {"permerror", "設定の誤り"}, {"policy", "方針により不合格"}, {"bestguesspass", "推測で合格"},
  };
  for (const auto& [word, meaning] : kMeanings)
    if (result == word) return result + " (" + meaning + ")";
  return result;
}

std::string Aligned(const std::optional<bool>& a) {
  if (!a) return "";
  return *a ? "差出人 (From) と同じ組織のドメインです。" : "差出人 (From) とは別の組織のドメインです。";
}

std::string Explain(const char* method, const std::string& result) {
  const bool pass = result == "pass", fail = result == "fail" || result == "softfail" || result == "permerror";
  const std::string m = method;
  if (m == "SPF")
    return pass ? "送信したサーバは、このドメインからメールを送ることを認められています。"
           : fail ? "送信したサーバは、このドメインからメールを送ることを認められていません。"
                  : "送信したサーバが認められているかどうか分かりません。";
  if (m == "DKIM")
    return pass ? "電子署名が正しく、署名したドメインから途中で書き換えられずに届いています。"
           : fail ? "電子署名が正しくありません。途中で書き換えられたか、署名が偽物です。"
                  : "受信したサーバはこの署名の結果を書いていません。";
  if (m == "DMARC")
    return pass ? "差出人 (From) のドメインが SPF か DKIM で確かめられました。"
           : fail ? "差出人 (From) のドメインを確かめられませんでした。なりすましの可能性があります。"
                  : "差出人のドメインは DMARC の方針を公開していないか、検査されていません。";
  if (m == "ARC")
    return pass ? "転送の途中の記録 (ARC) は正しくつながっています。"
           : fail ? "転送の途中の記録 (ARC) が壊れています。"
                  : "転送の記録 (ARC) が正しいかどうかは、受信したサーバに確かめられていません。";
  return pass ? "Microsoft の総合判定で合格です。" : fail ? "Microsoft の総合判定で不合格です。" : "Microsoft の総合判定です。";
}

constexpr const char* kNoResults = "判定できません (認証結果がありません)";

void AddRow(std::vector<TSafetyRow>& rows, const char* item, const std::optional<TAuthValue>& v, bool anyResults,
            std::string extra = {}) {
  if (!v) {
    if (anyResults) rows.push_back({item, "なし", "", "この検査の結果はメールに書かれていません。"});
    else rows.push_back({item, kNoResults, "", "受信したサーバの認証結果がないため、この検査の結果は分かりません。"});
    return;
  }
  std::string text = Explain(item, v->Result) + extra;
  if (!v->Source.empty()) text += " (" + v->Source + ")";
  rows.push_back({item, Meaning(v->Result), v->Domain, std::move(text)});
}

// compauth's reason code, said in words ("reason=130" as written).
std::string CompAuthReason(const std::string& raw) {
  const std::size_t at = raw.find("reason=");
  if (at == std::string::npos) return {};
  const std::string code = raw.substr(at + 7, 3);
  const std::string meaning = CompAuthReasonMeaning(code);
  return meaning.empty() ? std::string() : "理由 " + code + ": " + meaning;
}

}  // namespace

std::vector<TSafetyRow> AuthenticationRows(const TAuthentication& a) {
  std::vector<TSafetyRow> rows;
  const bool helo = a.Spf && a.Spf->Identity == "helo";
  const bool any = a.HasResults;
  AddRow(rows, "SPF", a.Spf, any,
         Aligned(a.SpfAligned) + (helo ? "この結果は送信したサーバが名乗った名前 (HELO) についてのものです。" : ""));
  if (a.Dkim.empty()) {
    // Statements without a signature left in the message still say something.
    for (const TAuthValue& s : a.DkimStatements) AddRow(rows, "DKIM", s, any);
    if (a.DkimStatements.empty()) rows.push_back({"DKIM", "なし", "", "このメールには DKIM 署名がありません。"});
  }
  // Two rows per signature: what the receiving server said, and what
  // Tarvo's own check of the body hash found in the stored copy.
  for (const TDkimCheck& c : a.Dkim) {
    const bool said = c.Result != "none" || any;
    rows.push_back({"DKIM (s=" + c.Selector + ")", said ? Meaning(c.Result) : kNoResults, c.Domain,
                    "受信したサーバの判定: " + Explain("DKIM", c.Result)});
    std::string result, text;
    switch (c.BodyHash) {
      case TBodyHash::Match:
        result = "一致";
        text = "このファイルの本文は署名したときのままです (bh= が一致)。";
        break;
      case TBodyHash::Mismatch:
        result = "不一致";
        text = "このファイルの本文は署名したあとで変わっています (bh= が不一致)。";
        break;
      case TBodyHash::Unchecked:
        result = "未確認";
        text = "本文のハッシュは確かめられませんでした。";
        break;
      case TBodyHash::Broken:
        result = "壊れた署名";
        text = "署名の bh= が壊れていて、本文を確かめられません。";
        break;
    }
    if (c.Length) text += "署名は本文の先頭 " + std::to_string(*c.Length) + " バイトだけを守っています (l=)。";
    rows.push_back({"DKIM 本文 (Tarvo の確認)", result, c.Domain, std::move(text)});
  }
  AddRow(rows, "DMARC", a.Dmarc, any);
  AddRow(rows, "ARC", a.Arc, any);
  if (a.CompAuth) AddRow(rows, "compauth", a.CompAuth, any, CompAuthReason(a.CompAuth->Raw));
  // What the sending side could have written: shown, never believed.
  constexpr std::size_t kMaxClaimRows = 20;
  std::size_t shown = 0, untrusted = 0;
  for (const TAuthClaim& c : a.Claims) {
    if (c.Trusted) continue;
    if (++untrusted > kMaxClaimRows) continue;
    ++shown;
    std::string item = c.Method + " (申告)";
    rows.push_back({std::move(item), Meaning(c.Result), c.Domain,
                    "判定には使っていません: " + c.Why + " (" + c.Source +
                        (c.AuthServId.empty() ? std::string() : " " + c.AuthServId) + ")"});
  }
  if (untrusted > shown)
    rows.push_back({"申告", "", "", "ほかに " + std::to_string(untrusted - shown) + " 件の認証結果を判定に使っていません。"});
  return rows;
}

TBanner VerdictBanner(const TAuthentication& auth, const std::vector<TFinding>& findings) {
  TBanner b;
  b.Level = VerdictLevel(findings);
  // What raised the level: the findings of that level, by their texts.
  std::vector<const TFinding*> causes;
  for (const TFinding& f : findings)
    if (f.Level == b.Level && b.Level != TLevel::Info) causes.push_back(&f);
  const bool onlyMissing = !causes.empty() && !auth.HasResults && auth.Claims.empty() &&
                           std::all_of(causes.begin(), causes.end(), [](const TFinding* f) { return f->Kind == "auth-missing"; });
  if (onlyMissing) {
    b.Neutral = true;
    b.Sentence = kNoResults;
    b.Source = "受信したサーバが認証結果を書いていないため、差出人が本物かどうかは判定できません。ほかの兆候は見つかりませんでした。";
    return b;
  }
  b.Sentence = VerdictSentence(b.Level);
  if (causes.empty()) {
    b.Source = auth.HasResults ? "根拠: 受信したサーバの認証結果と Tarvo の確認で、気になる点はありませんでした。"
                               : "根拠: Tarvo の確認で、気になる点はありませんでした。";
    return b;
  }
  b.Source = "根拠: " + causes.front()->Text;
  if (causes.size() > 1) b.Source += " (ほか " + std::to_string(causes.size() - 1) + " 件)";
  return b;
}

std::string VerdictSentence(TLevel level) {
  switch (level) {
    case TLevel::Info: return "問題なし: 認証に合格し、なりすましや改ざんの兆候は見つかりませんでした。";
    case TLevel::Warn: return "注意: 気になる点があります。下の説明を確かめてから開いてください。";
    case TLevel::Bad:
      return "危険: なりすましや改ざんの兆候があります。リンクを開いたり返信したりしないでください。";
  }
  return {};
}

}  // namespace tarvo
