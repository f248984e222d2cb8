// The window's side of the display codec: CP932 bytes <-> QString, lossless
// for what the window shows (undecodable bytes travel as U+F700 + byte).
#pragma once
#include <QString>

#include <string>
#include <string_view>

#include "base/lines.h"
#include "base/strlist.h"
#include "jcode/charset.h"

class QLineEdit;
class QPlainTextEdit;

namespace tarvo {

// CP932 bytes for display.
[[nodiscard]] QString ToDisplay(std::string_view cp932);
// Displayed (or typed) text back to CP932 bytes; characters CP932 lacks become '?'.
[[nodiscard]] std::string FromDisplay(const QString& text);

// A tool tip that shows the text as it is: Qt reads a tool tip that looks
// like markup as rich text (images, formatting), so the text goes escaped
// inside a paragraph that keeps its blanks and line breaks.
[[nodiscard]] QString PlainToolTip(const QString& text);

// Stored bytes for display: well-formed UTF-8 as UTF-8, the rest as CP932.
[[nodiscard]] QString StoredToDisplay(std::string_view bytes);

// One line of a memo for display, by the kind of text it holds (stored
// bytes as StoredToDisplay reads them; decoded text is UTF-8).
[[nodiscard]] QString LineToDisplay(std::string_view line, TTextKind kind);
// A displayed (or typed) line back to bytes of that kind. Stored text goes
// back to CP932 unless that would lose a character; then it stays UTF-8.
[[nodiscard]] std::string LineFromDisplay(const QString& text, TTextKind kind);

// A memo shows each line followed by a line break, as a memo's text holds it;
// `kind` says how its lines are read (decoded lines are UTF-8).
void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines, TTextKind kind = TTextKind::Stored);
// The lines as they stand in the box, as CP932 bytes (Stored) or UTF-8
// (Decoded); a last empty line after a break does not count.
[[nodiscard]] TStringList MemoLines(const QPlainTextEdit& memo, TTextKind kind = TTextKind::Stored);
// The same for the line view, which knows the kind of its lines.
class TLineView;
void SetMemoLines(TLineView& memo, const TStringList& lines, TTextKind kind = TTextKind::Stored);
[[nodiscard]] TStringList MemoLines(const TLineView& memo);

// An edit box holds text that ends at its first zero byte.
void SetEditText(QLineEdit& edit, std::string_view cp932);
[[nodiscard]] std::string EditText(const QLineEdit& edit);

}  // namespace tarvo
