#include "jcode/emoji.h"

#include <algorithm>
#include <initializer_list>

#include "base/bytes.h"

namespace tarvo {

namespace {

#include "jcode/emoji_table.inc"

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The domain of an address or message id: after the last "@", without the
// brackets and blanks around it, lower-cased.
std::string DomainOf(std::string_view s) {
  const std::size_t at = s.rfind('@');
  if (at == std::string_view::npos) return {};
  std::string_view d = s.substr(at + 1);
  const std::size_t end = d.find_first_of("> \t\r\n;,");
  if (end != std::string_view::npos) d = d.substr(0, end);
  return Lower(d);
}

bool IsOrUnder(std::string_view domain, std::string_view name) {
  if (domain == name) return true;
  return domain.size() > name.size() && domain.ends_with(name) && domain[domain.size() - name.size() - 1] == '.';
}

TCarrier CarrierOfDomain(std::string_view domain) {
  const auto any = [&](std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return IsOrUnder(domain, n); });
  };
  if (domain.empty()) return TCarrier::Unknown;
  if (any({"docomo.ne.jp"})) return TCarrier::Docomo;
  if (any({"ezweb.ne.jp", "au.com"})) return TCarrier::Au;
  if (any({"softbank.ne.jp", "i.softbank.jp", "disney.ne.jp", "vodafone.ne.jp"})) return TCarrier::SoftBank;
  return TCarrier::Unknown;
}

TCarrier CarrierOfMailer(std::string_view mailer) {
  const std::string m = Lower(mailer);
  if (m.find("docomo") != std::string::npos) return TCarrier::Docomo;
  if (m.find("softbank") != std::string::npos || m.find("vodafone") != std::string::npos) return TCarrier::SoftBank;
  if (m.find("kddi") != std::string::npos || m.find("ezweb") != std::string::npos) return TCarrier::Au;
  return TCarrier::Unknown;
}

std::string_view Find(std::span<const TEmojiRow> rows, std::uint16_t code) {
  const auto it = std::lower_bound(rows.begin(), rows.end(), code,
                                   [](const TEmojiRow& r, std::uint16_t c) { return r.code < c; });
  return it != rows.end() && it->code == code ? it->utf8 : std::string_view();
}

// au's mail rows: JIS rows 0x75..0x78 hold its codes of leads 0xF6 and
// 0xF7, rows 0x79..0x7C those of leads 0xF3 and 0xF4 (sun: JIS 0x7541,
// Shift_JIS 0xF660); as Shift_JIS those rows have the leads 0xEB..0xEE.
unsigned char AuMailLead(unsigned char lead) {
  switch (lead) {
    case 0xEB: return 0xF6;
    case 0xEC: return 0xF7;
    case 0xED: return 0xF3;
    case 0xEE: return 0xF4;
    default: return lead;
  }
}

constexpr unsigned char kLowestEmojiLead = 0xEB;

}  // namespace

TCarrier CarrierOfSender(std::string_view fromAddress, std::string_view xMailer, std::string_view messageId) {
  if (const TCarrier c = CarrierOfDomain(DomainOf(fromAddress)); c != TCarrier::Unknown) return c;
  if (const TCarrier c = CarrierOfMailer(xMailer); c != TCarrier::Unknown) return c;
  return CarrierOfDomain(DomainOf(messageId));
}

std::span<const TEmojiRow> CarrierEmojiRows(TCarrier carrier) {
  switch (carrier) {
    case TCarrier::Au: return kKddiEmoji;
    case TCarrier::SoftBank: return kSoftBankEmoji;
    case TCarrier::Docomo:
    case TCarrier::Unknown: break;
  }
  return kDocomoEmoji;
}

std::string_view EmojiPackageVersion() { return kEmojiPackageVersion; }

std::string_view CarrierEmoji(TCarrier carrier, unsigned char lead, unsigned char trail) {
  if (lead < kLowestEmojiLead) return {};
  if (carrier == TCarrier::Au) lead = AuMailLead(lead);
  return Find(CarrierEmojiRows(carrier), static_cast<std::uint16_t>(lead << 8 | trail));
}

std::uint16_t SoftBankWebCodeToSjis(char page, unsigned char ch) {
  // Each page is a run of characters from '!' in one half of a lead's row:
  // page G holds 0xF941.., E 0xF741.., F 0xF7A1.., O 0xF9A1.., P 0xFB41.., Q 0xFBA1...
  struct TPage {
    char letter;
    unsigned char lead, first;
    unsigned char last;  // the page's last character
  };
  static constexpr TPage kPages[] = {{'G', 0xF9, 0x41, 0x7A}, {'E', 0xF7, 0x41, 0x7A}, {'F', 0xF7, 0xA1, 0x7A},
                                     {'O', 0xF9, 0xA1, 0x6D}, {'P', 0xFB, 0x41, 0x6C}, {'Q', 0xFB, 0xA1, 0x5E}};
  for (const TPage& p : kPages) {
    if (p.letter != page) continue;
    if (ch < 0x21 || ch > p.last) return 0;
    unsigned trail = p.first + (ch - 0x21u);
    if (p.first == 0x41 && trail >= 0x7F) ++trail;  // no trail byte 0x7F
    return static_cast<std::uint16_t>(p.lead << 8 | trail);
  }
  return 0;
}

std::string SjisToUtf8(std::string_view s, TCarrier carrier, TDecodeMode mode) {
  const auto append = [&](std::string& out, std::string_view piece) {
    AppendCp932AsUtf8(piece, mode, out, [&out](std::string_view run) { out.append(run); });
  };
  std::string out;
  out.reserve(s.size() + s.size() / 2);
  std::size_t run = 0;  // start of the bytes not yet decoded
  for (std::size_t i = 0; i + 1 < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!IsCp932LeadByte(c)) {
      ++i;
      continue;
    }
    const auto d = static_cast<unsigned char>(s[i + 1]);
    if (const std::string_view e = CarrierEmoji(carrier, c, d); !e.empty()) {
      append(out, s.substr(run, i - run));
      out.append(e);
      i += 2;
      run = i;
      continue;
    }
    // Step as the code page 932 decoder does: a lead byte that makes no
    // character with the next byte stands alone.
    i += IsCp932Pair(c, d) ? 2 : 1;
  }
  append(out, s.substr(run));
  return out;
}

std::string PrivateUseEmojiToUnicode(std::string utf8, TCarrier carrier) {
  if (carrier == TCarrier::Au || utf8.find('\xEE') == std::string::npos) return utf8;
  std::string out;
  std::size_t run = 0;
  // U+E000..U+EFFF are EE 80 80 .. EE BF BF.
  for (std::size_t i = utf8.find('\xEE'); i != std::string::npos && i + 2 < utf8.size(); i = utf8.find('\xEE', i + 1)) {
    const auto b1 = static_cast<unsigned char>(utf8[i + 1]), b2 = static_cast<unsigned char>(utf8[i + 2]);
    if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) continue;
    const unsigned cp = 0xE000u | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
    std::uint16_t code = 0;
    if (carrier == TCarrier::SoftBank) {
      constexpr char kPageLetters[] = {'G', 'E', 'F', 'O', 'P', 'Q'};
      const unsigned page = (cp >> 8) & 0xF, ch = cp & 0xFF;
      if (page < 6 && ch >= 1) code = SoftBankWebCodeToSjis(kPageLetters[page], static_cast<unsigned char>(ch + 0x20));
    } else if (cp >= 0xE000 && cp <= 0xE757) {
      // Code page 932 maps its user-defined rows 0xF040.. to U+E000.., 188 a lead.
      const unsigned index = cp - 0xE000, t = index % 188;
      code = static_cast<std::uint16_t>((0xF0 + index / 188) << 8 | (t + 0x40 + (t >= 0x3F ? 1 : 0)));
    }
    const std::string_view e = code ? CarrierEmoji(carrier, code >> 8, code & 0xFF) : std::string_view();
    if (e.empty()) continue;
    out.append(utf8, run, i - run);
    out.append(e);
    run = i + 3;
    i += 2;
  }
  if (run == 0) return utf8;
  out.append(utf8, run);
  return out;
}

}  // namespace tarvo
