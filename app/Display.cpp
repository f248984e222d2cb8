#include "app/Display.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

#include "app/LineView.h"
#include "base/cp932.h"
#include "jcode/charset.h"

namespace tarvo {

QString LineToDisplay(std::string_view line, TTextKind kind) {
  if (kind == TTextKind::Decoded) return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  return StoredToDisplay(line);
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

QString StoredToDisplay(std::string_view bytes) {
  const std::string utf8 = StoredTextToUtf8(bytes, TDecodeMode::Lossless);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines, TTextKind kind) {
  // Code page 932 is decoded in one piece (a line break is never a trail
  // byte); stored lines that are UTF-8 are decided line by line.
  std::size_t size = 0;
  for (const std::string& line : lines.Lines) size += line.size() + 1;
  std::string joined;
  joined.reserve(size);
  for (const std::string& line : lines.Lines) {
    joined += line;
    joined += '\n';
  }
  if (kind == TTextKind::Decoded) {
    memo.setPlainText(QString::fromUtf8(joined.data(), static_cast<qsizetype>(joined.size())));
    return;
  }
  bool anyUtf8 = false;
  for (const std::string& line : lines.Lines)
    if (IsUtf8Multibyte(line)) {
      anyUtf8 = true;
      break;
    }
  if (!anyUtf8) {
    memo.setPlainText(ToDisplay(joined));
    return;
  }
  std::string shown;
  shown.reserve(size + size / 2);
  for (const std::string& line : lines.Lines) {
    shown += StoredTextToUtf8(line, TDecodeMode::Lossless);
    shown += '\n';
  }
  memo.setPlainText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
}

TStringList MemoLines(const QPlainTextEdit& memo, TTextKind kind) {
  // The raw text, not toPlainText(), which turns U+00A0 into a space. A
  // block ends a line, and so does U+2028, what Shift+Enter types: the user
  // meant a line break, and CP932 has no such character.
  const QString raw = memo.document()->toRawText();
  TStringList out;
  auto add = [&](QStringView line) {
    if (kind == TTextKind::Stored) {
      out.Add(FromDisplay(line.toString()));
    } else {
      const QByteArray utf8 = line.toUtf8();
      out.Add(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
  };
  const QStringView text(raw);
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != QChar::ParagraphSeparator && text[i] != QChar::LineSeparator) continue;
    add(text.sliced(start, i - start));
    start = i + 1;
  }
  if (start < text.size()) add(text.sliced(start));
  return out;
}

void SetMemoLines(TLineView& memo, const TStringList& lines, TTextKind kind) { memo.SetLines(lines, kind); }

TStringList MemoLines(const TLineView& memo) { return memo.Lines(); }

void SetEditText(QLineEdit& edit, std::string_view cp932) {
  const std::size_t nul = cp932.find('\0');
  edit.setText(ToDisplay(cp932.substr(0, nul)));
}

std::string EditText(const QLineEdit& edit) { return FromDisplay(edit.text()); }

QString PlainToolTip(const QString& text) {
  constexpr int kTipLength = 4000;  // a tool tip shows this much of a long value
  if (text.isEmpty()) return text;
  const QString shown = text.size() > kTipLength ? text.left(kTipLength) + QStringLiteral("…") : text;
  return QStringLiteral("<p style='white-space:pre-wrap'>") + shown.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace tarvo
