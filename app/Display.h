// The window's side of the display codec: CP932 bytes <-> QString, lossless
// for what the window shows (undecodable bytes travel as U+F700 + byte).
#pragma once
#include <QString>

#include <string>
#include <string_view>

#include "base/lines.h"
#include "base/strlist.h"

class QLineEdit;
class QPlainTextEdit;

namespace tarvo {

// CP932 bytes for display.
[[nodiscard]] QString ToDisplay(std::string_view cp932);
// Displayed (or typed) text back to CP932 bytes; characters CP932 lacks become '?'.
[[nodiscard]] std::string FromDisplay(const QString& text);

// One line of a memo for display, by the kind of text it holds: stored
// bytes read as UTF-8 when they are well-formed UTF-8 with a multi-byte
// character, else as CP932; decoded text is UTF-8.
[[nodiscard]] QString LineToDisplay(std::string_view line, TTextKind kind);
// A displayed (or typed) line back to bytes of that kind. Stored text goes
// back to CP932 unless that would lose a character; then it stays UTF-8.
[[nodiscard]] std::string LineFromDisplay(const QString& text, TTextKind kind);

// A memo shows each line followed by a line break, as a memo's text holds it.
void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines);
// The lines as they stand in the box; a last empty line after a break does not count.
[[nodiscard]] TStringList MemoLines(const QPlainTextEdit& memo);
// The same for the line view: the lines shown as stored bytes.
class TLineView;
void SetMemoLines(TLineView& memo, const TStringList& lines);
[[nodiscard]] TStringList MemoLines(const TLineView& memo);

// An edit box holds text that ends at its first zero byte.
void SetEditText(QLineEdit& edit, std::string_view cp932);
[[nodiscard]] std::string EditText(const QLineEdit& edit);

}  // namespace tarvo
