// The HTML part view's button: Memo6 made safe to open (mail/html.h),
// optionally with its links disarmed, written into the run's private folder
// and handed to the browser.
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "app/Application.h"
#include "app/Display.h"
#include "app/LineView.h"
#include "app/MainWindow.h"
#include "base/strlist.h"
#include "mail/html.h"

namespace tarvo {

void TMainWindow::Button2Click() {
  const std::string page = SafeHtmlPage(MemoLines(*Memo6).Text(), parts_, CheckBox1->isChecked());
  if (!htmlDir_) htmlDir_ = std::make_shared<TPrivateDir>(htmlFolder_.empty() ? PrivateDirParent() : htmlFolder_);
  const std::string path = htmlDir_->Write("message", ".html", page);
  const QString file = QFile::decodeName(QByteArray::fromStdString(path));
  const QUrl url = QUrl::fromLocalFile(file);
  if (urlOpener_) urlOpener_(url);
  else if (!(browserStarter_ ? browserStarter_(url) : QDesktopServices::openUrl(url)))
    ShowErrorMessage(BrowserFailedMessage(file));
}

}  // namespace tarvo
