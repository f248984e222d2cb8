#include "app/Display.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "base/cp932.h"

namespace tarvo {

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
  // The raw text, not toPlainText(), which turns U+00A0 into a space. A
  // block ends a line, and so does U+2028, what Shift+Enter types: CP932
  // has no such character, and the user meant a line break.
  const QString raw = memo.document()->toRawText();
  TStringList out;
  qsizetype start = 0;
  for (qsizetype i = 0; i < raw.size(); ++i) {
    if (raw[i] != QChar::ParagraphSeparator && raw[i] != QChar::LineSeparator) continue;
    out.Add(FromDisplay(raw.sliced(start, i - start)));
    start = i + 1;
  }
  if (start < raw.size()) out.Add(FromDisplay(raw.sliced(start)));
  return out;
}

void SetEditText(QLineEdit& edit, std::string_view cp932) {
  const std::size_t nul = cp932.find('\0');
  edit.setText(ToDisplay(cp932.substr(0, nul)));
}

std::string EditText(const QLineEdit& edit) { return FromDisplay(edit.text()); }

}  // namespace tarvo
