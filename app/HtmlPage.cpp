// The HTML part view's button: Memo6 written to work.html, optionally with
// its links made harmless, and handed to the browser.
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "app/Application.h"
#include "app/Display.h"
#include "app/LineView.h"
#include "app/MainWindow.h"
#include "base/stream.h"
#include "base/strlist.h"
#include "jcode/DString.h"

namespace tarvo {

namespace {
bool IsHttpAt(std::string_view s, std::size_t i) {
  if (s.size() - i < 4) return false;
  for (std::size_t k = 0; k < 4; ++k) {
    const char c = s[i + k];
    const char up = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (up != "HTTP"[k]) return false;
  }
  return true;
}
}  // namespace

std::string ReplaceHttpWithDummy(std::string_view line) {
  // The scan tests every position once and moves one on after a
  // replacement; the windows that start inside "dummy" cannot match (it has
  // no h), so this is the same as going on after the four replaced bytes.
  std::string out;
  out.reserve(line.size() + line.size() / 4);
  for (std::size_t i = 0; i < line.size();) {
    if (IsHttpAt(line, i)) {
      out += "dummy";
      i += 4;
    } else {
      out += line[i++];
    }
  }
  return out;
}

void TMainWindow::Button2Click() {
  const std::string path = (htmlFolder_.empty() ? ProgramFolder() : htmlFolder_) + "work.html";
  TStringList lines = MemoLines(*Memo6);  // decoded: UTF-8, as work.html is written
  if (CheckBox1->isChecked())
    for (std::string& line : lines.Lines) line = ReplaceHttpWithDummy(line);
  // UTF-8 with a byte-order mark: the browser then reads it right whatever
  // charset the HTML's own meta tag names.
  TMemoryStream file(std::string("\xEF\xBB\xBF") + lines.Text());
  file.SaveToFile(path);
  const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
  if (urlOpener_) urlOpener_(url);
  else if (!(browserStarter_ ? browserStarter_(url) : QDesktopServices::openUrl(url)))
    ShowErrorMessage(BrowserFailedMessage(url.toLocalFile()));
}

}  // namespace tarvo
