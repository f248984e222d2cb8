#include "views/viewtable.h"

namespace tarvo {

const char* ViewCaption(std::string_view key) {
  const char* caption = "";
  const auto match = [&](const auto& entry) {
    if (key == entry.Key) caption = entry.Caption;
  };
  std::apply([&](const auto&... entry) { (match(entry), ...); }, kViews);
  return caption;
}

std::string RouteCell(const TRouteRow& r, TRouteColumn column) {
  switch (column) {
    case TRouteColumn::No: return r.No;
    case TRouteColumn::ServerName: return r.ServerName;
    case TRouteColumn::Host: return r.Host;
    case TRouteColumn::IP: return r.IP;
    case TRouteColumn::Country: return r.Country;
    case TRouteColumn::Date: return r.Date;
    case TRouteColumn::Delay: return r.Delay ? FormatDelay(*r.Delay) : std::string();
    case TRouteColumn::By: return r.By;
    case TRouteColumn::With: return r.With;
    case TRouteColumn::Tls: return !r.Tls ? std::string() : *r.Tls == "none" ? std::string("なし") : *r.Tls;
    case TRouteColumn::Network: return r.Network;
  }
  return {};
}

}  // namespace tarvo
