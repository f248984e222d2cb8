#include "app/Display.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

#include "app/LineView.h"
#include "base/cp932.h"

namespace tarvo {

namespace {

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) holding at least one multi-byte sequence.
bool IsUtf8WithMultibyte(std::string_view s) {
  bool multi = false;
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 1;
    else if (c == 0xE0) n = 2, lo = 0xA0;
    else if (c == 0xED) n = 2, hi = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF) n = 2;
    else if (c == 0xF0) n = 3, lo = 0x90;
    else if (c == 0xF4) n = 3, hi = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3) n = 3;
    else return false;
    if (s.size() - i <= n) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF)) return false;
    }
    multi = true;
    i += n + 1;
  }
  return multi;
}

}  // namespace

QString LineToDisplay(std::string_view line, TTextKind kind) {
  if (kind == TTextKind::Decoded || IsUtf8WithMultibyte(line))
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  return ToDisplay(line);
}

std::string LineFromDisplay(const QString& text, TTextKind kind) {
  if (kind == TTextKind::Decoded) return text.toStdString();
  std::string cp932 = FromDisplay(text);
  // CP932 writes '?' for what it lacks: more of them means a loss.
  if (std::count(cp932.begin(), cp932.end(), '?') == text.count(QLatin1Char('?'))) return cp932;
  return text.toStdString();
}

QString ToDisplay(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8(cp932, TDecodeMode::Lossless);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromDisplay(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines) {
  // Decoded in one piece: a line break is never a trail byte, so no
  // character runs across two lines.
  std::size_t size = 0;
  for (const std::string& line : lines.Lines) size += line.size() + 1;
  std::string joined;
  joined.reserve(size);
  for (const std::string& line : lines.Lines) {
    joined += line;
    joined += '\n';
  }
  memo.setPlainText(ToDisplay(joined));
}

TStringList MemoLines(const QPlainTextEdit& memo) {
  // The raw text, not toPlainText(), which turns U+00A0 into a space and
  // U+2028 into a line break.
  const QString raw = memo.document()->toRawText();
  TStringList out;
  if (raw.isEmpty()) return out;
  const QStringList blocks = raw.split(QChar::ParagraphSeparator);
  qsizetype n = blocks.size();
  if (blocks.back().isEmpty()) --n;
  out.Lines.reserve(static_cast<std::size_t>(n));
  for (qsizetype i = 0; i < n; ++i) out.Add(FromDisplay(blocks[i]));
  return out;
}

void SetMemoLines(TLineView& memo, const TStringList& lines) { memo.SetLines(lines, TTextKind::Stored); }

TStringList MemoLines(const TLineView& memo) { return memo.Lines(); }

void SetEditText(QLineEdit& edit, std::string_view cp932) {
  const std::size_t nul = cp932.find('\0');
  edit.setText(ToDisplay(cp932.substr(0, nul)));
}

std::string EditText(const QLineEdit& edit) { return FromDisplay(edit.text()); }

}  // namespace tarvo
