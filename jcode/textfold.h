// Text folded for looking up names in it: the look-alike forms a sender uses
// to slip a brand past word filters ("ＵＦＪ", "𝗣𝗮𝘆𝗣𝗮𝗹", "Мetаmаsk",
// "C o i n b a s e", "メルカ\u2064リ", half-width katakana) read as the plain
// letters a reader sees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

struct TFoldedText {
  std::string Joined;  // folded, lower case, blanks and invisible characters removed
  std::string Spaced;  // the same with each run of blanks kept as one space
  std::vector<char32_t> Invisible;  // the invisible format characters met, in order (at most 8)
};

// Full-width and mathematical letters and digits, enclosed and squared
// letters, Cyrillic and Greek letters drawn like Latin ones and half-width
// katakana become their plain forms; ASCII letters are lower-cased; invalid
// UTF-8 bytes are dropped.
[[nodiscard]] TFoldedText FoldForMatching(std::string_view utf8);

// Characters that draw nothing and are not blanks: zero-width marks,
// bidirectional controls, tags, variation selectors beyond emoji's, fillers.
[[nodiscard]] bool IsInvisibleFormat(char32_t cp);

}  // namespace tarvo
