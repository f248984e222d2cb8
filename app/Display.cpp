#include "app/Display.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "base/cp932.h"
#include "jcode/charset.h"

namespace tarvo {

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
  // The raw text, not toPlainText(), which turns U+00A0 into a space and
  // U+2028 into a line break.
  const QString raw = memo.document()->toRawText();
  TStringList out;
  if (raw.isEmpty()) return out;
  const QStringList blocks = raw.split(QChar::ParagraphSeparator);
  qsizetype n = blocks.size();
  if (blocks.back().isEmpty()) --n;
  out.Lines.reserve(static_cast<std::size_t>(n));
  for (qsizetype i = 0; i < n; ++i) {
    if (kind == TTextKind::Stored) {
      out.Add(FromDisplay(blocks[i]));
    } else {
      const QByteArray utf8 = blocks[i].toUtf8();
      out.Add(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    }
  }
  return out;
}

void SetEditText(QLineEdit& edit, std::string_view cp932) {
  const std::size_t nul = cp932.find('\0');
  edit.setText(ToDisplay(cp932.substr(0, nul)));
}

std::string EditText(const QLineEdit& edit) { return FromDisplay(edit.text()); }

}  // namespace tarvo
