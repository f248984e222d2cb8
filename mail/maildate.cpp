// Date-times as RFC 5322 3.3 writes them, with the obsolete forms of 4.3
// and what servers write besides: no day name, two-digit years, comments,
// folding, zone names, asctime order ("Dec 7 04:25:45 2026").
#include <cstdio>
#include <cstdlib>

#include "base/ascii.h"
#include "mail/mailutils.h"

namespace tarvo {

namespace {

// Decimal digits only, at most 9 of them; -1 otherwise.
int Number(std::string_view s) {
  if (s.empty() || s.size() > 9) return -1;
  int v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// 1..12 for "jan".."dec" or the full name, any case; 0 otherwise.
int MonthNumber(std::string_view w) {
  static constexpr std::string_view kFull[12] = {"january", "february", "march",     "april",   "may",      "june",
                                                 "july",    "august",   "september", "october", "november", "december"};
  for (int m = 0; m < 12; ++m)
    if (EqualsNoCase(w, kFull[m].substr(0, 3)) || EqualsNoCase(w, kFull[m])) return m + 1;
  return 0;
}

bool IsDayName(std::string_view w) {
  static constexpr std::string_view kDays[7] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
  if (w.size() < 3) return false;
  for (std::string_view d : kDays)
    if (EqualsNoCase(w.substr(0, 3), d)) {
      for (char c : w)
        if (!IsAlpha(c)) return false;
      return true;
    }
  return false;
}

// obs-zone: the names of RFC 5322 4.3, in minutes east of UTC. Military
// letters carry no reliable offset there and count as an unknown zone.
bool ZoneName(std::string_view w, int& minutes, bool& known) {
  struct Name {
    std::string_view name;
    int hours;
  };
  static constexpr Name kNames[] = {{"ut", 0},   {"utc", 0},  {"gmt", 0},  {"z", 0},    {"est", -5}, {"edt", -4},
                                    {"cst", -6}, {"cdt", -5}, {"mst", -7}, {"mdt", -6}, {"pst", -8}, {"pdt", -7}};
  for (const Name& n : kNames)
    if (EqualsNoCase(w, n.name)) {
      minutes = n.hours * 60;
      known = true;
      return true;
    }
  if (w.size() == 1 && IsAlpha(w[0])) {
    minutes = 0;
    known = false;
    return true;
  }
  return false;
}

// "+hhmm" / "-hhmm"; "-0000" says the zone is unknown.
bool NumericZone(std::string_view w, int& minutes, bool& known) {
  if (w.size() != 5 || (w[0] != '+' && w[0] != '-')) return false;
  const int v = Number(w.substr(1));
  if (v < 0 || v % 100 > 59) return false;
  minutes = (v / 100) * 60 + v % 100;
  if (w[0] == '-') minutes = -minutes;
  known = !(w[0] == '-' && v == 0);
  return true;
}

// hour ":" minute [ ":" second ], a fraction of a second dropped.
bool TimeOfDay(std::string_view w, TMailDate& d) {
  const std::size_t dot = w.find('.');
  if (dot != std::string_view::npos) w = w.substr(0, dot);
  int part[3] = {-1, -1, 0};
  int k = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= w.size(); ++i) {
    if (i < w.size() && w[i] != ':') continue;
    if (k == 3) return false;
    const std::string_view p = w.substr(start, i - start);
    if (p.empty() || p.size() > 2) return false;
    part[k++] = Number(p);
    if (part[k - 1] < 0) return false;
    start = i + 1;
  }
  if (k < 2 || part[0] > 23 || part[1] > 59 || part[2] > 60) return false;
  d.Hour = part[0];
  d.Minute = part[1];
  d.Second = part[2];
  return true;
}

// The words of the text: comments removed, commas and blanks separating
// (and a ")" that closes no comment).
std::vector<std::string_view> DateWords(std::string_view rest) {
  std::vector<std::string_view> words;
  while (!rest.empty()) {
    const char c = rest.front();
    if (c == '(') ReadComment(rest);
    else if (IsFws(c) || c == ',' || c == ')') rest.remove_prefix(1);
    else words.push_back(ReadUntil(rest, "(),"));
  }
  return words;
}

}  // namespace

TMailDate ParseMailDate(std::string_view text) {
  TMailDate d;
  bool haveTime = false, haveZone = false;
  int year = -1;
  std::size_t yearDigits = 0;
  for (std::string_view w : DateWords(text)) {
    if (IsDayName(w)) continue;
    if (const int m = MonthNumber(w); m != 0) {
      if (d.Month == 0) d.Month = m;
      continue;
    }
    if (!haveTime && w.find(':') != std::string_view::npos) {
      haveTime = TimeOfDay(w, d);
      continue;
    }
    if (!haveZone && (NumericZone(w, d.ZoneMinutes, d.HasZone) || ZoneName(w, d.ZoneMinutes, d.HasZone))) {
      haveZone = true;
      continue;
    }
    const int n = Number(w);
    if (n < 0) continue;
    // The first number of one or two digits is the day; the year is the
    // other number, whatever its length.
    if (d.Day == 0 && w.size() <= 2) {
      d.Day = n;
    } else if (year < 0) {
      year = n;
      yearDigits = w.size();
    }
  }
  if (year >= 0 && yearDigits <= 2) year += year < 50 ? 2000 : 1900;
  else if (year >= 0 && yearDigits == 3) year += 1900;
  d.Year = year;
  d.Valid = haveTime && d.Month != 0 && d.Day >= 1 && d.Day <= 31 && year >= 0 && year <= 9999;
  if (!haveZone) d.ZoneMinutes = 0;
  return d;
}

namespace {

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

}  // namespace

std::int64_t UnixTime(const TMailDate& d) {
  return DaysFromCivil(d.Year, d.Month, d.Day) * 86400 + d.Hour * 3600 + d.Minute * 60 + d.Second -
         static_cast<std::int64_t>(d.ZoneMinutes) * 60;
}

std::string FormatIsoTime(const TMailDate& d) {
  if (!d.Valid) return {};
  const int zone = std::abs(d.ZoneMinutes);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute,
                d.Second, d.ZoneMinutes < 0 ? '-' : '+', zone / 60, zone % 60);
  return buf;
}

std::string FormatDelay(std::int64_t seconds) {
  // A negative delay reads like a positive one, with a minus sign and the
  // reason: the clocks of the two hosts disagree.
  const std::uint64_t n = seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
  char buf[64];
  if (n < 60) std::snprintf(buf, sizeof buf, "%llu秒", static_cast<unsigned long long>(n));
  else if (n < 3600) std::snprintf(buf, sizeof buf, "%llu分", static_cast<unsigned long long>(n / 60));
  else
    std::snprintf(buf, sizeof buf, "%llu時間%02llu分", static_cast<unsigned long long>(n / 3600),
                  static_cast<unsigned long long>(n % 3600 / 60));
  return seconds < 0 ? std::string("−") + buf + " (時計のずれ)" : std::string(buf);
}

std::string FormatDateTime(const TMailDate& d) {
  if (!d.Valid) return {};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%02d/%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second);
  return buf;
}

}  // namespace tarvo
