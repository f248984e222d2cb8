// Carrier emoji: the codes docomo, au (KDDI) and SoftBank phones write for
// their pictograms, read as the Unicode characters they stand for. The rows
// come from Unicode's EmojiSources.txt (jcode/emoji_table.inc, made by
// tools/make_emoji.py), which gives each carrier's Shift_JIS codes.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/cp932.h"

namespace tarvo {

enum class TCarrier : std::uint8_t { Unknown, Docomo, Au, SoftBank };

// The carrier of a message: from the sender's address (its domain), else
// from the X-Mailer, else from the domain of the Message-ID.
[[nodiscard]] TCarrier CarrierOfSender(std::string_view fromAddress, std::string_view xMailer,
                                       std::string_view messageId);

struct TEmojiRow {
  std::uint16_t code;    // Shift_JIS, lead byte high
  std::string_view utf8; // the character or sequence
};
// The generated rows of a carrier, sorted by code (Unknown: docomo's).
[[nodiscard]] std::span<const TEmojiRow> CarrierEmojiRows(TCarrier carrier);
[[nodiscard]] std::string_view EmojiPackageVersion();

// What the two bytes stand for from `carrier`'s phones, UTF-8; empty when
// they are no emoji of it. A message of no known carrier is read as docomo's.
// au's mail carries its codes in rows of their own (leads 0xEB..0xEE, the
// JIS rows 0x75..0x7C), which are read as well as its Shift_JIS codes.
[[nodiscard]] std::string_view CarrierEmoji(TCarrier carrier, unsigned char lead, unsigned char trail);

// SoftBank's page letters (G, E, F, O, P, Q) and characters of its web code
// ("ESC $ G ! SI") and its private-use code points (U+E001 page G ...) both
// name one Shift_JIS code; 0 when they name none.
[[nodiscard]] std::uint16_t SoftBankWebCodeToSjis(char page, unsigned char ch);

// Code page 932 bytes to UTF-8, the carrier's emoji as Unicode.
[[nodiscard]] std::string SjisToUtf8(std::string_view sjis, TCarrier carrier,
                                     TDecodeMode mode = TDecodeMode::Lossless);

// UTF-8 whose private-use emoji of the carrier become Unicode: docomo's
// (and those of no known carrier) by code page 932's mapping of their
// Shift_JIS codes, SoftBank's by its web-code pages. au's own private-use
// codes stay as they are: no published table at hand gives them.
[[nodiscard]] std::string PrivateUseEmojiToUnicode(std::string utf8, TCarrier carrier);

}  // namespace tarvo
