// The views of the model and the route list's columns, each listed once:
// the pipeline clears, --dump writes and the window shows them from here.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <tuple>

#include "views/pipeline.h"

namespace tarvo {

// One view: the key --dump writes it under (the name of the window's widget
// that shows it), its caption in the window ("" for a view shown on the page
// of the one before it) and the member that holds it.
template <typename T>
struct TViewEntry {
  const char* Key;
  const char* Caption;
  T TMailViews::*Member;
};
// Written out for compilers without deduction for aggregates (clang 14,
// which the fuzz build uses).
template <typename T>
TViewEntry(const char*, const char*, T TMailViews::*) -> TViewEntry<T>;

// In the order of --dump's keys, which is the window's.
inline constexpr std::tuple kViews{
    TViewEntry{"ListView2", "配信経路", &TMailViews::ListView2},
    TViewEntry{"Delivery", "", &TMailViews::Delivery},
    TViewEntry{"Notes", "", &TMailViews::Notes},
    TViewEntry{"Memo1", "メールエンベローブ", &TMailViews::Memo1},
    TViewEntry{"Memo3", "生データ", &TMailViews::Memo3},
    TViewEntry{"Memo2", "SJIS に変換", &TMailViews::Memo2},
    TViewEntry{"Memo4", "テキストのみ抽出", &TMailViews::Memo4},
    TViewEntry{"Memo6", "HTML部", &TMailViews::Memo6},
    TViewEntry{"ListView1", "エンベローブチェック", &TMailViews::ListView1},
    TViewEntry{"Authentication", "安全性チェック", &TMailViews::Authentication},
    TViewEntry{"Filters", "", &TMailViews::Filters},
    TViewEntry{"Findings", "", &TMailViews::Findings},
    TViewEntry{"Parts", "添付ファイル", &TMailViews::Parts},
};

// Calls visit(entry, member) for every view of `views`, in that order.
template <typename Views, typename Visit>
void ForEachView(Views& views, Visit&& visit) {
  std::apply([&](const auto&... entry) { (visit(entry, views.*(entry.Member)), ...); }, kViews);
}

// The window's caption of the view under `key`; "" for none.
[[nodiscard]] const char* ViewCaption(std::string_view key);

// The route list's columns, in the window's order; --dump's ListView2 rows
// hold the first kDumpedRouteColumns.
enum class TRouteColumn { No, ServerName, Host, IP, Country, Date, Delay, By, With, Tls, Network };
struct TRouteColumnInfo {
  TRouteColumn Column;
  const char* Caption;
  int Width;  // before the list is fitted to its rows
  bool Firm;  // cut only when nothing else can give way
};
inline constexpr std::array<TRouteColumnInfo, 11> kRouteColumns{{
    {TRouteColumn::No, "No", 50, true},
    {TRouteColumn::ServerName, "server name", 100, false},
    {TRouteColumn::Host, "Host", 200, false},
    {TRouteColumn::IP, "IP", 90, false},
    {TRouteColumn::Country, "Country", 100, true},
    {TRouteColumn::Date, "Date", 120, true},
    {TRouteColumn::Delay, "遅延", 70, true},
    {TRouteColumn::By, "受信サーバ", 150, false},
    {TRouteColumn::With, "方式", 60, true},
    {TRouteColumn::Tls, "暗号化", 120, false},
    {TRouteColumn::Network, "ネットワーク", 150, false},
}};
inline constexpr std::size_t kDumpedRouteColumns = 6;
// A column's place in the list.
constexpr int RouteColumnIndex(TRouteColumn c) { return static_cast<int>(c); }
static_assert([] {
  for (std::size_t i = 0; i < kRouteColumns.size(); ++i)
    if (RouteColumnIndex(kRouteColumns[i].Column) != static_cast<int>(i)) return false;
  return true;
}());

// A row's cell: the fields as stored (Country in code page 932), the delay
// and the encryption as the window words them.
[[nodiscard]] std::string RouteCell(const TRouteRow& row, TRouteColumn column);

}  // namespace tarvo
