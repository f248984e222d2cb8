#include "app/MainWindow.h"

#include "app/AboutBox.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QSettings>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cstdlib>
#include <memory>
#include <exception>
#include <filesystem>
#include <type_traits>
#include <vector>

#include "app/Application.h"
#include "app/Display.h"
#include "app/LineView.h"
#include "app/MailboxList.h"
#include "base/bytes.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "views/messagelist.h"
#include "views/pipeline.h"
#include "views/viewtable.h"

namespace tarvo {

namespace {

constexpr int kScreenMargin = 16;     // the default size leaves this much of the screen on each side
constexpr QSize kLargestDefault(1880, 1040);
constexpr int kCellPadding = 14;      // a cell's text margins and grid line
constexpr int kWidestColumn = 560;    // a column fitted to its contents stops here
constexpr int kNarrowestColumn = 40;  // and a squeezed one here
constexpr int kRowsMeasured = 2000;   // a column's width is taken from its first rows
constexpr int kAdvertisementHeight = 55;
constexpr int kMemo5Height = 134;
constexpr int kHtmlStripHeight = 29;
constexpr int kRowHeight = 17;

QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

// The settings file under the XDG config folder: ~/.config/tarvo/tarvo.ini.
std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tarvo"),
                                     QStringLiteral("tarvo"));
}

// List headers in the proportional user-interface font, whatever the
// window's font resolves to for Latin letters.
QFont HeaderFont(const QFont& windowFont) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(windowFont.pixelSize());
  return font;
}

// A page whose one layout has no margins; `fill` widgets are added top to bottom.
QWidget* NewPage(const char* name, std::initializer_list<QWidget*> fill) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromLatin1(name));
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QWidget* w : fill) layout->addWidget(w);
  return page;
}

// The window's caption of a view of the model.
QString Caption(const char* key) { return QString::fromUtf8(ViewCaption(key)); }

// An editable memo with both scroll bars; it never wraps.
TLineView* NewMemo(const char* name) {
  auto* memo = new TLineView;
  memo->setObjectName(QString::fromLatin1(name));
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

// A list in report style: grid lines, whole rows, nothing editable, inert headers.
QTableWidget* NewListView(const char* name, const QStringList& captions, const std::vector<int>& widths) {
  auto* list = new QTableWidget(0, static_cast<int>(captions.size()));
  list->setObjectName(QString::fromLatin1(name));
  list->setHorizontalHeaderLabels(captions);
  list->setShowGrid(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setTabKeyNavigation(false);
  list->setWordWrap(false);
  list->setTextElideMode(Qt::ElideMiddle);
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView* header = list->horizontalHeader();
  header->setFont(HeaderFont(WindowFont()));
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  header->setSectionsMovable(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setFixedHeight(kRowHeight + 2);
  for (std::size_t i = 0; i < widths.size(); ++i) list->setColumnWidth(static_cast<int>(i), widths[i]);
  return list;
}

QTableWidgetItem* NewCell(const std::string& cp932) {
  auto* item = new QTableWidgetItem(StoredToDisplay(cp932));
  item->setToolTip(PlainToolTip(item->text()));
  // The bytes themselves, for the handlers that read a row back.
  item->setData(Qt::UserRole, QByteArray(cp932.data(), static_cast<qsizetype>(cp932.size())));
  return item;
}

// Replaces every row of a list; one update for the whole list.
void SetRows(QTableWidget& list, const std::vector<std::vector<const std::string*>>& rows) {
  list.setUpdatesEnabled(false);
  list.clearSelection();
  list.setRowCount(0);
  list.setRowCount(static_cast<int>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      list.setItem(static_cast<int>(r), static_cast<int>(c), NewCell(*rows[r][c]));
  list.setUpdatesEnabled(true);
}

}  // namespace

QString BrowserFailedMessage(const QString& file) {
  return QStringLiteral("ブラウザを起動できませんでした。HTML 部は次のファイルに書き出してあります:\n%1").arg(file);
}

namespace {

std::vector<std::string> EncodeNames(const QStringList& names) {
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(names.size()));
  for (const QString& n : names) out.push_back(QFile::encodeName(n).toStdString());
  return out;
}

// A name from the command line or a drop is loaded whatever it names, so a
// missing file or a folder shows the system's open error; only what would
// block the open (a pipe, a device) is refused before it.
void CheckLoadable(const std::string& name) {
  std::error_code ec;
  const auto status = std::filesystem::status(std::filesystem::path(name), ec);
  if (ec || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status) ||
      std::filesystem::is_directory(status))
    return;
  throw ETarvoError(Utf8ToCp932("ファイル \"" + FullPath(name) + "\" は通常のファイルではないため開けません"));
}

// The bytes of a dropped file's name: the URL's path, percent-decoded, so a
// name that is not UTF-8 arrives as the file system holds it.
std::string LocalFileBytes(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace

TMainWindow::TMainWindow(const QStringList& args, QWidget* parent) : TMainWindow(EncodeNames(args), parent) {}

TMainWindow::TMainWindow(const std::vector<std::string>& args, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Tarvo  -  メールの中身を調べるツール  (C) Tarvo Project"));
  setWindowIcon(QIcon(QStringLiteral(":/tarvo/icon.png")));
  setFont(WindowFont());
  setAttribute(Qt::WA_WindowPropagation);  // menus and dialogs take the font too
  BuildMenu();

  PageControl1 = new QTabWidget;
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->addTab(BuildRoutePage(), Caption("ListView2"));
  PageControl1->addTab(BuildEnvelopePage(), Caption("Memo1"));
  PageControl1->addTab(BuildBodyPage(), QStringLiteral("メール本文"));
  PageControl1->addTab(BuildCheckPage(), Caption("ListView1"));
  PageControl1->addTab(BuildToolsPage(), QStringLiteral("文字コード変換"));
  PageControl1->addTab(BuildSafetyPage(), Caption("Authentication"));
  PageControl1->addTab(BuildPartsPage(), Caption("Parts"));
  PageControl1->setCurrentIndex(0);
  // Captions are never cut; the window opens wide enough for all of them.
  PageControl1->setElideMode(Qt::ElideNone);
  PageControl2->setElideMode(Qt::ElideNone);

  auto* client = new QWidget;
  client->setObjectName(QStringLiteral("Client"));
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  MailboxList1 = new TMailboxList(this);  // the window's font from the start, for its widths
  MailboxList1->hide();
  connect(MailboxList1, &TMailboxList::MessageChosen, this, [this](int message) {
    RunGuarded([this, message] { ShowMessage(message); });
  });
  auto* split = new QSplitter(Qt::Vertical);
  split->setObjectName(QStringLiteral("MailboxSplitter"));
  split->setChildrenCollapsible(false);
  split->addWidget(MailboxList1);
  split->addWidget(PageControl1);
  split->setStretchFactor(1, 1);
  split->setSizes({260, 600});
  layout->addWidget(split, 1);
  layout->addWidget(BuildAdvertisement());
  setCentralWidget(client);

  // Drops anywhere in the window reach dropEvent, as on a window that accepts files.
  for (QWidget* w : findChildren<QWidget*>()) w->setAcceptDrops(false);
  setAcceptDrops(true);
  resize(DefaultSize(QRect(QPoint(), QSize(1280, 800))));
  BuildKeys();

  FormCreate(args);
}

void TMainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  OpenFileR1 = file->addAction(QStringLiteral("Open File(&R)"));
  OpenFileR1->setObjectName(QStringLiteral("OpenFileR1"));
  OpenFolder1 = file->addAction(QStringLiteral("Maildir フォルダを開く(&M)..."));
  OpenFolder1->setObjectName(QStringLiteral("OpenFolder1"));
  OpenFolder1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  connect(OpenFolder1, &QAction::triggered, this, [this] { RunGuarded([this] { OpenFolder1Click(); }); });
  file->addSeparator()->setObjectName(QStringLiteral("N1"));
  Exit1 = file->addAction(QStringLiteral("&Exit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));
  About1 = menuBar()->addAction(QStringLiteral("&About"));
  About1->setObjectName(QStringLiteral("About1"));

  OpenFileR1->setShortcut(QKeySequence::Open);
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(OpenFileR1, &QAction::triggered, this, [this] { RunGuarded([this] { OpenFileR1Click(); }); });
  connect(Exit1, &QAction::triggered, this, &QWidget::close);
  connect(About1, &QAction::triggered, this, [this] { RunGuarded([this] { About1Click(); }); });
}

QWidget* TMainWindow::BuildRoutePage() {
  // After the Date column, the hop: delay, receiving server, protocol, its
  // encryption, network.
  QStringList captions;
  std::vector<int> widths;
  for (const TRouteColumnInfo& c : kRouteColumns) {
    captions.push_back(QString::fromUtf8(c.Caption));
    widths.push_back(c.Width);
  }
  ListView2 = NewListView("ListView2", captions, widths);
  ListView2->viewport()->installEventFilter(this);
  RememberColumnWidths(*ListView2, QStringLiteral("route"));
  LabelDelivery = new QLabel;
  LabelDelivery->setObjectName(QStringLiteral("LabelDelivery"));
  LabelDelivery->setContentsMargins(4, 3, 4, 3);
  LabelDelivery->setTextFormat(Qt::PlainText);
  const std::unique_ptr<QSettings> settings = OpenSettings();
  LocalTimeBox = new QCheckBox(QStringLiteral("このコンピュータの時間帯で表示"));
  LocalTimeBox->setObjectName(QStringLiteral("LocalTimeBox"));
  LocalTimeBox->setChecked(settings->value(QStringLiteral("route/localTime"), false).toBool());
  OldestFirstBox = new QCheckBox(QStringLiteral("古い順に並べる"));
  OldestFirstBox->setObjectName(QStringLiteral("OldestFirstBox"));
  OldestFirstBox->setChecked(settings->value(QStringLiteral("route/oldestFirst"), false).toBool());
  for (auto [box, key] : {std::pair{LocalTimeBox, "route/localTime"}, std::pair{OldestFirstBox, "route/oldestFirst"}})
    connect(box, &QCheckBox::toggled, this, [this, key = QString::fromLatin1(key)](bool on) {
      OpenSettings()->setValue(key, on);
      RunGuarded([this] { RenderRoute(); });
    });
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("RouteStrip"));
  auto* stripLayout = new QHBoxLayout(strip);
  stripLayout->setContentsMargins(0, 0, 6, 0);
  stripLayout->addWidget(LabelDelivery, 1);
  stripLayout->addWidget(LocalTimeBox);
  stripLayout->addWidget(OldestFirstBox);
  return NewPage("TabSheet1", {ListView2, strip});
}

QWidget* TMainWindow::BuildEnvelopePage() {
  Memo1 = NewMemo("Memo1");
  return NewPage("TabSheet2", {Memo1});
}

QWidget* TMainWindow::BuildBodyPage() {
  Memo3 = NewMemo("Memo3");
  Memo2 = NewMemo("Memo2");
  Memo4 = NewMemo("Memo4");
  PageControl2 = new QTabWidget;
  PageControl2->setObjectName(QStringLiteral("PageControl2"));
  PageControl2->addTab(NewPage("TabSheet5", {Memo3}), Caption("Memo3"));
  PageControl2->addTab(NewPage("TabSheet6", {Memo2}), Caption("Memo2"));
  PageControl2->addTab(NewPage("TabSheet7", {Memo4}), Caption("Memo4"));
  PageControl2->addTab(BuildHtmlPage(), Caption("Memo6"));
  PageControl2->setCurrentIndex(1);
  return NewPage("TabSheet3", {PageControl2});
}

QWidget* TMainWindow::BuildHtmlPage() {
  Memo6 = NewMemo("Memo6");
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("Panel1"));
  strip->setFixedHeight(kHtmlStripHeight);
  Button2 = new QPushButton(QStringLiteral("ブラウザで開く"), strip);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(8, 4, 121, 20);
  CheckBox1 = new QCheckBox(QStringLiteral("http 又は https で始まる箇所を dummy に変換する"), strip);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(140, 6, 330, 17);
  CheckBox1->setChecked(true);
  connect(Button2, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button2Click(); }); });
  return NewPage("TabSheet8", {Memo6, strip});
}

QWidget* TMainWindow::BuildCheckPage() {
  // The seed's two columns, then the value as a mail client shows it.
  ListView1 = NewListView("ListView1", {QString(), QString(), QStringLiteral("デコード結果")}, {150, 400});
  ListView1->horizontalHeader()->setStretchLastSection(true);
  ListView1->viewport()->installEventFilter(this);
  RememberColumnWidths(*ListView1, QStringLiteral("headers"));
  Memo5 = new QPlainTextEdit;
  Memo5->setObjectName(QStringLiteral("Memo5"));
  Memo5->setReadOnly(true);
  Memo5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo5->setFixedHeight(kMemo5Height);
  Memo5->setTabChangesFocus(true);
  ListView1->installEventFilter(this);
  ListView1->viewport()->installEventFilter(this);
  return NewPage("TabSheet4", {ListView1, Memo5});
}

QGroupBox* TMainWindow::BuildAdvertisement() {
  GroupBox2 = new QGroupBox(QStringLiteral("広告欄"));
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  GroupBox2->setFixedHeight(kAdvertisementHeight);
  auto* products = new QLabel(
      QStringLiteral("Tarvo Project では、メールや文字コードを扱うほかの便利なツールも公開しています。"), GroupBox2);
  products->setObjectName(QStringLiteral("Label8"));
  products->setGeometry(16, 18, 540, 14);
  auto* homePage =
      new QLabel(QStringLiteral("詳しくは About 画面のリンクからホームページをご覧ください。"), GroupBox2);
  homePage->setObjectName(QStringLiteral("Label9"));
  homePage->setGeometry(16, 34, 540, 14);
  return GroupBox2;
}

void TMainWindow::FormCreate(const std::vector<std::string>& args) {
  if (args.empty() || args.front().empty()) return;
  RunGuarded([&] {
    CheckLoadable(args.front());
    LoadMailFile(args.front());
  });
}

void TMainWindow::OpenFileR1Click() {
  // A dialog object, not getOpenFileName: the name need not exist, the
  // load reports a missing file itself.
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("EML ファイル (*.eml)"), QStringLiteral("Text ファイル (*.txt)"),
                         QStringLiteral("mbox ファイル (*.mbox *.mbx)"), QStringLiteral("すべてのファイル (*)")});
  dialog.selectNameFilter(dialog.nameFilters().front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadMailFile(dialog.selectedFiles().front());
}

void TMainWindow::About1Click() {
  if (aboutBox_) aboutBox_->ShowVersion();
}

void TMainWindow::LoadMailFile(const QString& fileName) { LoadMailFile(QFile::encodeName(fileName).toStdString()); }

void TMainWindow::OpenFolder1Click() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("OpenFolderDialog1"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadMailFile(dialog.selectedFiles().front());
}

namespace {

QString BaseName(const std::string& path) {
  return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
}

}  // namespace

void TMainWindow::LoadMailFile(const std::string& fileName) {
  if (loading_) return;  // one load at a time; the progress box holds the window
  if (IsMailbox(fileName)) {
    OpenMailbox(fileName);
    return;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(std::filesystem::path(fileName), ec);
  const TLoader load = [&fileName](TMailViews& views, const TLoadOptions& options) {
    tarvo::LoadMailFile(fileName, views, options);
  };
  try {
    if (!ShowLoad(load, ec ? 0 : size, BaseName(fileName))) return;  // cancelled: what was shown stays
  } catch (...) {
    fileName_.clear();
    CloseMailbox();
    throw;
  }
  fileName_ = fileName;
  CloseMailbox();
}

void TMainWindow::OpenMailbox(const std::string& path) {
  if (loading_) return;
  MailboxList1->Open(path);
  MailboxList1->show();
  fileName_ = path;
  message_ = -1;
  // Nothing chosen yet: the pages stand empty under the mailbox's name.
  TMailViews none;
  titleName_ = BaseName(path);
  RenderViews(none);
  RenderParts({});
  ShowTitle(none);
}

void TMainWindow::ShowMessage(int message) {
  if (loading_) return;
  std::string bytes = MailboxList1->MessageBytes(message);
  const std::uint64_t size = bytes.size();
  const TLoader load = [&bytes](TMailViews& views, const TLoadOptions& options) {
    LoadMailBytes(std::move(bytes), views, options);
  };
  message_ = message;
  ShowLoad(load, size, QStringLiteral("%1 %2 通目").arg(BaseName(MailboxList1->Path())).arg(message + 1));
}

void TMainWindow::CloseMailbox() {
  MailboxList1->Close();
  MailboxList1->hide();
  message_ = -1;
}

bool TMainWindow::ShowLoad(const TLoader& load, std::uint64_t size, const QString& name) {
  TMailViews views;
  std::exception_ptr error;
  if (size >= largeFile_) {
    if (!LoadOnWorker(load, name, views, error)) return false;
  } else {
    try {
      load(views, {});
    } catch (...) {
      error = std::current_exception();
    }
  }
  titleName_ = error ? QString() : name;
  RenderViews(views);
  RenderParts(std::move(views.Parts));
  ShowTitle(views);
  if (error) std::rethrow_exception(error);
  return true;
}

bool TMainWindow::LoadOnWorker(const TLoader& load, const QString& name, TMailViews& views, std::exception_ptr& error) {
  std::atomic<int> percent{0};
  std::atomic<bool> cancel{false}, done{false};
  TLoadOptions options;
  options.Cancel = &cancel;
  options.Progress = [&percent](int p) { percent = p; };

  QProgressDialog dialog(QStringLiteral("読み込んでいます: %1").arg(name), QStringLiteral("キャンセル"), 0, 100, this);
  dialog.setObjectName(QStringLiteral("LoadProgress1"));
  dialog.setWindowTitle(QStringLiteral("Tarvo"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setAutoReset(false);
  dialog.setAutoClose(false);
  dialog.setMinimumDuration(0);
  QEventLoop loop;
  connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
    cancel = true;
    dialog.setLabelText(QStringLiteral("取り消しています…"));
  });
  if (progressWatcher_) progressWatcher_(dialog);
  if (dialog.wasCanceled()) cancel = true;  // cancel() is not the button: no signal
  loading_ = true;
  {
    // The worker fills `views` alone and touches no widget; this thread only
    // reads the two atomics until it is done. Leaving the block joins it.
    std::jthread worker([&] {
      try {
        load(views, options);
      } catch (...) {
        error = std::current_exception();
      }
      done = true;
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
      if (dialog.wasCanceled()) cancel = true;
      else dialog.setValue(percent);
      if (done) loop.quit();
    });
    poll.start(30);
    loop.exec();
  }
  loading_ = false;
  if (!error) return true;
  try {
    std::rethrow_exception(error);
  } catch (const ELoadCancelled&) {
    return false;
  } catch (...) {
    return true;  // the error goes on to the caller
  }
}

void TMainWindow::Reload() {
  if (message_ >= 0) ShowMessage(message_);
  else if (!fileName_.empty()) LoadMailFile(std::string(fileName_));
}

void TMainWindow::ShowTitle(const TMailViews& views) {
  QStringList parts;
  for (const THeaderRow& r : views.ListView1)
    if (UpperCase(Trim(r.Name)) == "SUBJECT") {
      QString subject = QString::fromUtf8(r.Decoded.data(), static_cast<qsizetype>(r.Decoded.size())).simplified();
      if (!subject.isEmpty()) parts.push_back(subject);
      break;
    }
  if (titleName_.isEmpty()) {
    setWindowTitle(QStringLiteral("Tarvo  -  メールの中身を調べるツール  (C) Tarvo Project"));
    return;
  }
  parts.push_back(titleName_);
  parts.push_back(QStringLiteral("Tarvo"));
  setWindowTitle(parts.join(QStringLiteral(" — ")));
}

void TMainWindow::RenderViews(TMailViews& views) {
  route_ = views.ListView2;
  notes_ = views.Notes;
  deliverySeconds_ = views.Delivery.Seconds;
  RenderRoute();
  // The memos take the lines over; the model is not used after this.
  ForEachView(views, [this](const auto& view, auto& member) {
    if constexpr (std::is_same_v<std::decay_t<decltype(member)>, TTextView>)
      findChild<TLineView*>(QLatin1String(view.Key))->SetSource(std::make_shared<TTextView>(std::move(member)));
  });
  std::vector<std::vector<const std::string*>> rows;
  rows.reserve(views.ListView1.size());
  for (const THeaderRow& r : views.ListView1) rows.push_back({&r.Name, &r.Value});
  SetRows(*ListView1, rows);
  for (std::size_t r = 0; r < views.ListView1.size(); ++r) {
    const std::string& d = views.ListView1[r].Decoded;
    auto* item = new QTableWidgetItem(QString::fromUtf8(d.data(), static_cast<qsizetype>(d.size())));
    item->setToolTip(PlainToolTip(item->text()));
    ListView1->setItem(static_cast<int>(r), 2, item);
  }
  FitColumns(*ListView1, QStringLiteral("headers"));
  textContext_ = views.TextContext;
  filters_ = views.Filters;
  RenderSafety(views, true);
}

namespace {

// "+0900" for minutes east of UTC.
QString OffsetText(int minutes) {
  const int a = std::abs(minutes);
  return QStringLiteral("%1%2%3")
      .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
      .arg(a / 60, 2, 10, QLatin1Char('0'))
      .arg(a % 60, 2, 10, QLatin1Char('0'));
}

// A hop's time with its offset: as the field wrote it, or in this
// computer's zone. A time without a zone reads "-0000" (zone unknown).
QString HopTime(const TRouteRow& r, bool local) {
  if (!r.Time.Valid) return StoredToDisplay(r.Date);
  if (!local)
    return StoredToDisplay(r.Date) + QLatin1Char(' ') +
           (r.Time.HasZone ? OffsetText(r.Time.ZoneMinutes) : QStringLiteral("-0000"));
  const QDateTime at = QDateTime::fromSecsSinceEpoch(UnixTime(r.Time), Qt::LocalTime);
  return at.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")) + OffsetText(at.offsetFromUtc() / 60);
}

}  // namespace

void TMainWindow::RenderRoute() {
  constexpr std::int64_t kLongDelay = 600;  // ten minutes and more stand out, either way
  const bool local = LocalTimeBox->isChecked();
  std::vector<const TRouteRow*> order;
  order.reserve(route_.size());
  for (const TRouteRow& r : route_) order.push_back(&r);
  if (OldestFirstBox->isChecked()) std::reverse(order.begin(), order.end());

  ListView2->setUpdatesEnabled(false);
  ListView2->clearSelection();
  ListView2->setRowCount(0);
  ListView2->setRowCount(static_cast<int>(order.size()));
  for (std::size_t i = 0; i < order.size(); ++i) {
    const TRouteRow& r = *order[i];
    for (const TRouteColumnInfo& c : kRouteColumns) {
      QTableWidgetItem* item = NewCell(RouteCell(r, c.Column));
      if (c.Column == TRouteColumn::Date) {
        item->setText(HopTime(r, local));
        item->setToolTip(PlainToolTip(item->text()));
      }
      // The protocol version in the cell, the cipher in the tool tip.
      if (c.Column == TRouteColumn::Tls) item->setText(item->text().section(QLatin1Char(' '), 0, 0));
      if (c.Column == TRouteColumn::Delay && r.Delay && std::abs(*r.Delay) >= kLongDelay)
        item->setForeground(QBrush(Qt::red));
      ListView2->setItem(static_cast<int>(i), RouteColumnIndex(c.Column), item);
    }
  }
  ListView2->setUpdatesEnabled(true);
  FitRouteColumns();

  QString status = QStringLiteral("送信から最上段の受信まで: ") +
                   (deliverySeconds_ ? QString::fromStdString(FormatDelay(*deliverySeconds_)) : QStringLiteral("不明"));
  // The lookup's notes stand here, never in the raw view: which rows' IP
  // no country holds.
  QStringList unlocated;
  for (const TRouteRow& r : route_)
    if (r.Unlocated) unlocated.push_back(QString::fromStdString(r.No));
  if (!notes_.empty())
    status += QStringLiteral("　　%1 (国の分からない IP: No %2)")
                  .arg(QString::fromStdString(notes_.front()), unlocated.join(QStringLiteral(", ")));
  LabelDelivery->setText(status);
}

void TMainWindow::RememberColumnWidths(QTableWidget& list, const QString& key) {
  connect(list.horizontalHeader(), &QHeaderView::sectionResized, this, [this, key](int column, int, int width) {
    // Only a drag of the user's: the list's own stretching is not a choice.
    if (!fitting_ && (QGuiApplication::mouseButtons() & Qt::LeftButton))
      OpenSettings()->setValue(QStringLiteral("%1/column%2").arg(key).arg(column), width);
  });
}

void TMainWindow::FitRouteColumns() {
  std::vector<int> firm;
  for (const TRouteColumnInfo& c : kRouteColumns)
    if (c.Firm) firm.push_back(RouteColumnIndex(c.Column));
  FitColumns(*ListView2, QStringLiteral("route"), {firm});
}

void TMainWindow::FitColumns(QTableWidget& list, const QString& key, const std::vector<std::vector<int>>& tiers) {
  if (list.rowCount() == 0) return;  // an empty list keeps the widths it has
  const int columns = list.columnCount();
  const QFontMetrics cell(list.font()), head(list.horizontalHeader()->font());
  const std::unique_ptr<QSettings> settings = OpenSettings();
  std::vector<int> want(static_cast<std::size_t>(columns)), least(want.size());
  std::vector<bool> fixed(want.size());
  for (int c = 0; c < columns; ++c) {
    const auto k = static_cast<std::size_t>(c);
    const QTableWidgetItem* caption = list.horizontalHeaderItem(c);
    const int header = (caption ? head.horizontalAdvance(caption->text()) : 0) + kCellPadding;
    int w = header;
    for (int r = 0; r < std::min(list.rowCount(), kRowsMeasured) && w < kWidestColumn; ++r)
      if (const QTableWidgetItem* item = list.item(r, c)) w = std::max(w, cell.horizontalAdvance(item->text()) + kCellPadding);
    const int user = settings->value(QStringLiteral("%1/column%2").arg(key).arg(c), 0).toInt();
    fixed[k] = user > 0;
    want[k] = fixed[k] ? user : std::clamp(w, kNarrowestColumn, kWidestColumn);
    least[k] = std::min(want[k], std::max(header, kNarrowestColumn));
  }
  // Too wide for the list: the columns give way tier by tier, those of no
  // tier first; in a tier the widest first, down to one common width and
  // none below its caption.
  std::vector<std::size_t> tierOf(want.size(), 0);
  for (std::size_t t = 0; t < tiers.size(); ++t)
    for (const int c : tiers[t])
      if (c >= 0 && c < columns) tierOf[static_cast<std::size_t>(c)] = t + 1;
  const int room = list.viewport()->width();
  for (std::size_t tier = 0; tier <= tiers.size(); ++tier) {
    int total = 0;
    for (const int w : want) total += w;
    if (total <= room) break;
    auto gives = [&](std::size_t k) {
      return !fixed[k] && tierOf[k] == tier;
    };
    auto freed = [&](int level) {
      int sum = 0;
      for (std::size_t k = 0; k < want.size(); ++k)
        if (gives(k)) sum += want[k] - std::max(least[k], std::min(want[k], level));
      return sum;
    };
    int lo = 0, hi = kWidestColumn;  // the highest level that frees enough
    while (lo < hi) {
      const int mid = (lo + hi + 1) / 2;
      if (freed(mid) >= total - room) lo = mid;
      else hi = mid - 1;
    }
    for (std::size_t k = 0; k < want.size(); ++k)
      if (gives(k)) want[k] = std::max(least[k], std::min(want[k], lo));
  }
  fitting_ = true;
  for (int c = 0; c < columns; ++c) list.setColumnWidth(c, want[static_cast<std::size_t>(c)]);
  fitting_ = false;
}

QSize TMainWindow::DefaultSize(const QRect& available) {
  return QSize(std::min(available.width() - 2 * kScreenMargin, kLargestDefault.width()),
               std::min(available.height() - 2 * kScreenMargin, kLargestDefault.height()));
}

void TMainWindow::DropFiles(const QStringList& fileNames) { DropFiles(EncodeNames(fileNames)); }

void TMainWindow::DropFiles(const std::vector<std::string>& fileNames) {
  for (const std::string& name : fileNames) {
    if (name.empty()) continue;  // not a local file
    CheckLoadable(name);
    LoadMailFile(name);
  }
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> names;
  for (const QUrl& url : event->mimeData()->urls()) names.push_back(LocalFileBytes(url));
  event->acceptProposedAction();
  // The loads run once the drop is over, so the source is not kept waiting.
  QTimer::singleShot(0, this, [this, names] { RunGuarded([&] { DropFiles(names); }); });
}

void TMainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!placed_) {
    placed_ = true;
    PlaceOnScreen();
  }
}

void TMainWindow::closeEvent(QCloseEvent* event) {
  OpenSettings()->setValue(QStringLiteral("window/geometry"), saveGeometry());
  QMainWindow::closeEvent(event);
}

void TMainWindow::PlaceOnScreen() {
  const QRect available = screen() ? screen()->availableGeometry() : QRect(QPoint(), QSize(1280, 800));
  const QByteArray saved = OpenSettings()->value(QStringLiteral("window/geometry")).toByteArray();
  if (!saved.isEmpty() && restoreGeometry(saved) && available.contains(frameGeometry())) return;
  // The size asked for is the outer one, frame included, where the frame is known.
  const QSize outerSize = DefaultSize(available);
  const QSize frame = frameGeometry().size() - geometry().size();
  resize(outerSize - frame);
  QRect outer(QPoint(), outerSize);
  outer.moveCenter(available.center());
  move(outer.topLeft());
}

void TMainWindow::BuildKeys() {
  auto add = [this](const char* name, std::initializer_list<QKeySequence> keys, std::function<void()> run) {
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(QList<QKeySequence>(keys));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { RunGuarded(run); });
    addAction(action);
    return action;
  };
  // The outer pages from anywhere, before an inner tab page or a list takes the key.
  const auto step = [this](int by) {
    const int n = PageControl1->count();
    PageControl1->setCurrentIndex((PageControl1->currentIndex() + by + n) % n);
  };
  add("NextPage1", {QKeySequence(Qt::CTRL | Qt::Key_Tab)}, [step] { step(1); });
  add("PreviousPage1", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)},
      [step] { step(-1); });
  for (int i = 0; i < PageControl1->count(); ++i)
    add("GoToPage1", {QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + i))},
        [this, i] { PageControl1->setCurrentIndex(i); });
  Reload1 = add("Reload1", {QKeySequence(Qt::Key_F5)}, [this] { Reload(); });
  SavePart1 = add("SavePart1", {QKeySequence::Save}, [this] { Button12Click(); });
}

}  // namespace tarvo
