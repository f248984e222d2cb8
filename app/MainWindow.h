// TMainWindow, the main window: seven tab pages over the views of one loaded mail,
// the File menu, the first command-line argument and dropped files.
#pragma once
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/LineView.h"
#include "base/privatedir.h"
#include "checks/filters.h"
#include "jcode/charset.h"
#include "mail/parts.h"
#include "views/pipeline.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTextEdit;
class QUrl;
class QWidget;

namespace tarvo {

class TAboutBox;
class TLineView;
class TMailboxList;

// What the user is told when no browser starts: that, and the file written.
[[nodiscard]] QString BrowserFailedMessage(const QString& file);

class TMainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `args` are the command-line arguments after the program name, as the
  // bytes of argv: a file name need not be valid in the locale's encoding.
  explicit TMainWindow(const std::vector<std::string>& args, QWidget* parent = nullptr);
  // The same with names in the locale's encoding.
  explicit TMainWindow(const QStringList& args = {}, QWidget* parent = nullptr);

  // Empties every view but Memo5, runs the pipeline and shows what it filled;
  // the pipeline's error is rethrown after what came before it is shown.
  // `fileName` is the bytes of the name as the file system holds it.
  void LoadMailFile(const std::string& fileName);
  void LoadMailFile(const char* fileName) { LoadMailFile(std::string(fileName)); }
  void LoadMailFile(const QString& fileName);
  // An mbox file or a Maildir: its messages listed above the pages, read in
  // the background; choosing one loads it as LoadMailFile does a file.
  // LoadMailFile opens a mailbox this way.
  void OpenMailbox(const std::string& path);
  // Loads message `message` of the open mailbox (0-based, in the order read).
  void ShowMessage(int message);
  // Loads each file of a drop in turn; an error (a missing or unreadable
  // file) ends the drop.
  void DropFiles(const std::vector<std::string>& fileNames);
  void DropFiles(const QStringList& fileNames);
  // Memo5 gets the explanation of the selected header row, or stays empty.
  void ShowHeaderExplanation();
  // Files from this size on load on a worker thread behind a progress box
  // that can cancel; the watcher sees the box before the load starts (tests).
  void SetLargeFileSize(std::uint64_t bytes) { largeFile_ = bytes; }
  void SetProgressWatcher(std::function<void(QProgressDialog&)> watcher) { progressWatcher_ = std::move(watcher); }
  // Loads the last file again (F5); nothing without one.
  void Reload();
  // The size the window opens at on a screen of that available area: every
  // tab caption and every route column shown, never larger than the screen.
  [[nodiscard]] static QSize DefaultSize(const QRect& available);
  // The route rows again, after a toggle of the time zone or the order.
  void RenderRoute();

  // Where the run's private folder for the browser's pages is made (the
  // runtime or temporary folder unless set) and what opens a page (the
  // desktop's handler unless set); for tests.
  void SetHtmlFolder(std::string folder) { htmlFolder_ = std::move(folder); }
  void SetUrlOpener(std::function<void(const QUrl&)> opener) { urlOpener_ = std::move(opener); }
  // What starts the browser when no opener is set (the desktop's handler
  // unless set); false when none started, which the user is told.
  void SetBrowserStarter(std::function<bool(const QUrl&)> starter) { browserStarter_ = std::move(starter); }
  // The about box that "&About" shows; created once, after this window.
  void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }

  // Saving parts: what the user answers when a file is already there, and
  // the folder chooser and the question, replaceable for tests.
  enum class TOverwriteAnswer { Overwrite, Rename, Skip };
  void SetSaveFolderChooser(std::function<QString()> chooser) { saveFolderChooser_ = std::move(chooser); }
  // "名前を付けて保存": the path chosen for a suggested name, empty to cancel.
  void SetSaveFileChooser(std::function<QString(const QString&)> chooser) { saveFileChooser_ = std::move(chooser); }
  void SetOverwriteAsker(std::function<TOverwriteAnswer(const QString&)> asker) { overwriteAsker_ = std::move(asker); }
  [[nodiscard]] const TMailParts& Parts() const { return parts_; }

  QTabWidget* PageControl1 = nullptr;  // the seven pages
  QTabWidget* PageControl2 = nullptr;  // the four pages of "メール本文"
  QTableWidget* ListView2 = nullptr;   // 配信経路
  QLabel* LabelDelivery = nullptr;     // 送信から最上段の受信まで, under the route
  QCheckBox* LocalTimeBox = nullptr;   // every route time in this computer's zone
  QCheckBox* OldestFirstBox = nullptr; // the oldest hop on top
  TLineView* Memo1 = nullptr;          // メールエンベローブ
  TLineView* Memo3 = nullptr;          // 生データ
  TLineView* Memo2 = nullptr;          // SJIS に変換
  TLineView* Memo4 = nullptr;          // テキストのみ抽出
  TLineView* Memo6 = nullptr;          // HTML部
  QPushButton* Button2 = nullptr;      // ブラウザで開く
  QCheckBox* CheckBox1 = nullptr;      // http -> dummy
  QTableWidget* ListView1 = nullptr;   // エンベローブチェック
  QPlainTextEdit* Memo5 = nullptr;     // the explanation box
  QWidget* TabSheet9 = nullptr;        // 文字コード変換
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;  // SJIS input
  QLineEdit* Edit2 = nullptr;  // JIS
  QLineEdit* Edit3 = nullptr;  // EUC
  QLineEdit* Edit4 = nullptr;  // base64
  QLineEdit* Edit5 = nullptr;  // MD5
  QLineEdit* Edit6 = nullptr;  // SHA-1
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button7 = nullptr;
  QPushButton* Button8 = nullptr;
  QPushButton* Button9 = nullptr;
  QPushButton* Button10 = nullptr;
  QPushButton* Button11 = nullptr;
  QGroupBox* GroupBox1 = nullptr;  // 説明
  QGroupBox* GroupBox2 = nullptr;      // 広告欄
  QLabel* Label10 = nullptr;           // 安全性チェック: the verdict line
  QTableWidget* ListView3 = nullptr;   // 安全性チェック: 項目, 結果, ドメイン, 説明
  QTextEdit* Memo7 = nullptr;          // 安全性チェック: the warning signs
  QLabel* Label11 = nullptr;           // 安全性チェック: what is not checked
  QTableWidget* FilterList = nullptr;  // 安全性チェック: 受信側フィルタの判定, one row per stamp
  QPlainTextEdit* FilterFields = nullptr;  // the selected stamp's fields and their meanings
  QWidget* PartsSheet = nullptr;       // 添付ファイル
  QTableWidget* ListView4 = nullptr;   // the parts
  QPlainTextEdit* Memo8 = nullptr;     // the selected part's fingerprints
  QPlainTextEdit* Memo9 = nullptr;     // a text part's text
  QPushButton* Button12 = nullptr;     // 名前を付けて保存…
  QPushButton* Button13 = nullptr;     // すべて保存…
  TMailboxList* MailboxList1 = nullptr;  // the open mailbox's messages, hidden without one
  QAction* OpenFileR1 = nullptr;
  QAction* OpenFolder1 = nullptr;  // a Maildir
  QAction* Exit1 = nullptr;
  QAction* About1 = nullptr;
  QAction* Reload1 = nullptr;  // F5
  QAction* SavePart1 = nullptr;  // Ctrl+S: the selected part, under a name

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate(const std::vector<std::string>& args);
  void OpenFileR1Click();
  void About1Click();
  void ListView1Click();
  void ListView1KeyUp();
  void Button2Click();
  // The code tools (ToolsPage.cpp): one operation each, edit box to edit box.
  void Button1Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void Button9Click();
  void Button10Click();
  void Button11Click();

  // The attachments page (PartsPage.cpp).
  void Button12Click();
  void Button13Click();
  void ListView4Change();
  void ListView4DblClick(int row);

  void BuildMenu();
  QWidget* BuildRoutePage();
  QWidget* BuildEnvelopePage();
  QWidget* BuildBodyPage();
  QWidget* BuildHtmlPage();
  QWidget* BuildCheckPage();
  QWidget* BuildToolsPage();  // ToolsPage.cpp
  QGroupBox* BuildToolsExplanation();
  QWidget* BuildSafetyPage();  // SafetyPage.cpp
  void ShowFilterFields();     // SafetyPage.cpp
  void RenderSafety(const TMailViews& views, bool loaded);
  QGroupBox* BuildAdvertisement();
  void RenderViews(TMailViews& views);
  QWidget* BuildPartsPage();
  void RenderParts(TMailParts parts);
  [[nodiscard]] const TMailPart* SelectedPart() const;
  QString ChooseSaveFolder();
  TOverwriteAnswer AskOverwrite(const QString& path);
  void SavePart(const TMailPart& part, const std::string& folder);
  void SavePartAs(const TMailPart& part, const QString& path);
  void PlaceOnScreen();
  // Loads with `load` (on a worker thread behind a progress box from
  // largeFile_ bytes on) and shows what it filled under the title `name`;
  // false when the user cancelled. The load's error is rethrown after.
  using TLoader = std::function<void(TMailViews&, const TLoadOptions&)>;
  bool ShowLoad(const TLoader& load, std::uint64_t size, const QString& name);
  // The load on a worker thread; false when the user cancelled it.
  bool LoadOnWorker(const TLoader& load, const QString& name, TMailViews& views, std::exception_ptr& error);
  void CloseMailbox();
  void OpenFolder1Click();
  void BuildKeys();
  void ShowTitle(const TMailViews& views);
  // Columns sized to their contents within limits, a width the user set
  // kept; when the list is too narrow the columns of no tier give way
  // first, then each tier in turn.
  void FitColumns(QTableWidget& list, const QString& key, const std::vector<std::vector<int>>& tiers = {});
  void FitPartColumns();
  void FitRouteColumns();
  // A width the user drags a column to is kept in the settings under `key`.
  void RememberColumnWidths(QTableWidget& list, const QString& key);

  bool placed_ = false;
  bool fitting_ = false;
  bool loading_ = false;
  std::uint64_t largeFile_ = std::uint64_t{8} << 20;  // 8 MiB
  std::function<void(QProgressDialog&)> progressWatcher_;  // our own column resizes, not the user's
  std::string fileName_;  // the file or mailbox shown, for F5
  int message_ = -1;      // the mailbox's message shown, for F5
  QString titleName_;     // what the title names: the file, or the mailbox and the message
  std::vector<TRouteRow> route_;  // the loaded hops, for the toggles
  std::vector<std::string> notes_;
  std::optional<std::int64_t> deliverySeconds_;
  std::function<QString(const QString&)> saveFileChooser_;
  std::string htmlFolder_;
  std::vector<TFilterStamp> filters_;  // the loaded message's stamps, for Memo5 and the safety page
  std::function<void(const QUrl&)> urlOpener_;
  std::function<bool(const QUrl&)> browserStarter_;
  std::shared_ptr<TPrivateDir> htmlDir_;  // made at the first hand-off, removed with the window
  TAboutBox* aboutBox_ = nullptr;
  TMailParts parts_;  // what the attachments page lists and saves
  std::vector<std::size_t> rowParts_;  // the part each row of ListView4 shows (its entries' rows too)
  TTextContext textContext_;  // how the loaded message's header text reads
  std::function<QString()> saveFolderChooser_;
  std::function<TOverwriteAnswer(const QString&)> overwriteAsker_;
};

}  // namespace tarvo
