// The mail loading pipeline: one file in, a views model out. The window and
// the --dump mode render the same model; nothing here knows about widgets.
#pragma once
#include <string>
#include <vector>

#include "base/strlist.h"
#include "mail/auth.h"

namespace tarvo {

struct TRouteRow {
  std::string No, ServerName, Host, IP, Country, Date;
};

struct THeaderRow {
  std::string Name, Value;
};

// What each view of the main window shows, as CP932 bytes.
struct TMailViews {
  std::vector<TRouteRow> ListView2;  // 配信経路
  TStringList Memo1;                 // メールエンベローブ
  TStringList Memo3;                 // 生データ
  TStringList Memo2;                 // SJIS に変換
  TStringList Memo4;                 // テキストのみ抽出
  TStringList Memo6;                 // HTML部
  std::vector<THeaderRow> ListView1; // エンベローブチェック
  TAuthentication Authentication;    // 安全性チェック (UTF-8)
  std::vector<TFinding> Findings;    // 安全性チェック (UTF-8)

  // Empties every view the pipeline fills.
  void Clear();
};

// Runs the whole pipeline on a file into `views`, which it clears first.
// Errors (the open error, the conversion error) leave as exceptions; the
// views then hold what was filled before the error.
void LoadMailFile(const std::string& fileName, TMailViews& views);

// The same on bytes already in memory (the fuzz targets and benches use it).
void LoadMailBytes(std::string bytes, TMailViews& views);

}  // namespace tarvo
