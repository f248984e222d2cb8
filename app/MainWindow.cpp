#include "app/MainWindow.h"

#include "app/AboutBox.h"

#include <QAction>
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
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <vector>

#include "app/Application.h"
#include "app/Display.h"
#include "app/LineView.h"
#include "views/pipeline.h"

namespace tarvo {

namespace {

constexpr QSize kOuterSize(583, 463);
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
  list->verticalHeader()->hide();
  list->verticalHeader()->setDefaultSectionSize(kRowHeight);
  QHeaderView* header = list->horizontalHeader();
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

namespace {

std::vector<std::string> EncodeNames(const QStringList& names) {
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(names.size()));
  for (const QString& n : names) out.push_back(QFile::encodeName(n).toStdString());
  return out;
}

// A name that names an existing file, not a folder.
bool IsFile(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(std::filesystem::path(name), ec);
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
  setFont(WindowFont());
  setAttribute(Qt::WA_WindowPropagation);  // menus and dialogs take the font too
  BuildMenu();

  PageControl1 = new QTabWidget;
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->addTab(BuildRoutePage(), QStringLiteral("配信経路"));
  PageControl1->addTab(BuildEnvelopePage(), QStringLiteral("メールエンベローブ"));
  PageControl1->addTab(BuildBodyPage(), QStringLiteral("メール本文"));
  PageControl1->addTab(BuildCheckPage(), QStringLiteral("エンベローブチェック"));
  PageControl1->addTab(BuildToolsPage(), QStringLiteral("文字コード変換"));
  PageControl1->addTab(BuildSafetyPage(), QStringLiteral("安全性チェック"));
  PageControl1->addTab(BuildPartsPage(), QStringLiteral("添付ファイル"));
  PageControl1->setCurrentIndex(0);

  auto* client = new QWidget;
  client->setObjectName(QStringLiteral("Client"));
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(BuildAdvertisement());
  setCentralWidget(client);

  // Drops anywhere in the window reach dropEvent, as on a window that accepts files.
  for (QWidget* w : findChildren<QWidget*>()) w->setAcceptDrops(false);
  setAcceptDrops(true);
  resize(kOuterSize);

  FormCreate(args);
}

void TMainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  OpenFileR1 = file->addAction(QStringLiteral("Open File(&R)"));
  OpenFileR1->setObjectName(QStringLiteral("OpenFileR1"));
  file->addSeparator()->setObjectName(QStringLiteral("N1"));
  Exit1 = file->addAction(QStringLiteral("&Exit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));
  About1 = menuBar()->addAction(QStringLiteral("&About"));
  About1->setObjectName(QStringLiteral("About1"));

  connect(OpenFileR1, &QAction::triggered, this, [this] { RunGuarded([this] { OpenFileR1Click(); }); });
  connect(Exit1, &QAction::triggered, this, &QWidget::close);
  connect(About1, &QAction::triggered, this, [this] { RunGuarded([this] { About1Click(); }); });
}

QWidget* TMainWindow::BuildRoutePage() {
  // After the Date column, the hop: delay, receiving server, protocol, its
  // encryption, network.
  ListView2 = NewListView("ListView2",
                          {QStringLiteral("No"), QStringLiteral("server name"), QStringLiteral("Host"),
                           QStringLiteral("IP"), QStringLiteral("Country"), QStringLiteral("Date"),
                           QStringLiteral("遅延"), QStringLiteral("受信サーバ"), QStringLiteral("方式"),
                           QStringLiteral("暗号化"), QStringLiteral("ネットワーク")},
                          {50, 100, 200, 90, 100, 120, 70, 150, 60, 120, 150});
  LabelDelivery = new QLabel;
  LabelDelivery->setObjectName(QStringLiteral("LabelDelivery"));
  LabelDelivery->setContentsMargins(4, 3, 4, 3);
  LabelDelivery->setTextFormat(Qt::PlainText);
  return NewPage("TabSheet1", {ListView2, LabelDelivery});
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
  PageControl2->addTab(NewPage("TabSheet5", {Memo3}), QStringLiteral("生データ"));
  PageControl2->addTab(NewPage("TabSheet6", {Memo2}), QStringLiteral("SJIS に変換"));
  PageControl2->addTab(NewPage("TabSheet7", {Memo4}), QStringLiteral("テキストのみ抽出"));
  PageControl2->addTab(BuildHtmlPage(), QStringLiteral("HTML部"));
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
  ListView1 = NewListView("ListView1", {QString(), QString()}, {150});
  ListView1->horizontalHeader()->setStretchLastSection(true);
  Memo5 = new QPlainTextEdit;
  Memo5->setObjectName(QStringLiteral("Memo5"));
  Memo5->setReadOnly(true);
  Memo5->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo5->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo5->setFixedHeight(kMemo5Height);
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
  if (args.empty() || !IsFile(args.front())) return;
  RunGuarded([&] { LoadMailFile(args.front()); });
}

void TMainWindow::OpenFileR1Click() {
  // A dialog object, not getOpenFileName: the name need not exist, the
  // load reports a missing file itself.
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("EML ファイル (*.eml)"), QStringLiteral("Text ファイル (*.txt)")});
  dialog.selectNameFilter(dialog.nameFilters().front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  LoadMailFile(dialog.selectedFiles().front());
}

void TMainWindow::About1Click() {
  if (aboutBox_) aboutBox_->ShowVersion();
}

void TMainWindow::LoadMailFile(const QString& fileName) { LoadMailFile(QFile::encodeName(fileName).toStdString()); }

void TMainWindow::LoadMailFile(const std::string& fileName) {
  TMailViews views;
  std::exception_ptr error;
  try {
    tarvo::LoadMailFile(fileName, views);
  } catch (...) {
    error = std::current_exception();
  }
  RenderViews(views);
  RenderParts(std::move(views.Parts));
  if (error) std::rethrow_exception(error);
}

void TMainWindow::RenderViews(TMailViews& views) {
  std::vector<std::vector<const std::string*>> rows;
  rows.reserve(views.ListView2.size());
  std::vector<std::string> delays, tls;
  delays.reserve(views.ListView2.size());
  tls.reserve(views.ListView2.size());
  for (const TRouteRow& r : views.ListView2) {
    delays.push_back(r.Delay ? FormatDelay(*r.Delay) : std::string());
    tls.push_back(!r.Tls ? std::string() : *r.Tls == "none" ? std::string("なし") : *r.Tls);
  }
  for (std::size_t i = 0; i < views.ListView2.size(); ++i) {
    const TRouteRow& r = views.ListView2[i];
    rows.push_back(
        {&r.No, &r.ServerName, &r.Host, &r.IP, &r.Country, &r.Date, &delays[i], &r.By, &r.With, &tls[i], &r.Network});
  }
  SetRows(*ListView2, rows);
  RenderDelivery(views);
  // The memos take the lines over; the model is not used after this.
  Memo1->SetSource(std::make_shared<TTextView>(std::move(views.Memo1)));
  Memo3->SetSource(std::make_shared<TTextView>(std::move(views.Memo3)));
  Memo2->SetSource(std::make_shared<TTextView>(std::move(views.Memo2)));
  Memo4->SetSource(std::make_shared<TTextView>(std::move(views.Memo4)));
  Memo6->SetSource(std::make_shared<TTextView>(std::move(views.Memo6)));
  rows.clear();
  rows.reserve(views.ListView1.size());
  for (const THeaderRow& r : views.ListView1) rows.push_back({&r.Name, &r.Value});
  SetRows(*ListView1, rows);
  textContext_ = views.TextContext;
  filters_ = views.Filters;
  RenderSafety(views, true);
}

void TMainWindow::RenderDelivery(const TMailViews& views) {
  constexpr int kDelayColumn = 6;
  constexpr std::int64_t kLongDelay = 600;  // ten minutes and more stand out
  for (std::size_t i = 0; i < views.ListView2.size(); ++i) {
    const std::optional<std::int64_t>& delay = views.ListView2[i].Delay;
    if (delay && *delay >= kLongDelay)
      ListView2->item(static_cast<int>(i), kDelayColumn)->setForeground(QBrush(Qt::red));
  }
  for (int c = kDelayColumn; c < ListView2->columnCount(); ++c) {
    ListView2->resizeColumnToContents(c);
    ListView2->setColumnWidth(c, std::max(ListView2->columnWidth(c), 60));
  }
  const std::optional<std::int64_t>& total = views.Delivery.Seconds;
  LabelDelivery->setText(QStringLiteral("送信から最上段の受信まで: ") +
                         (total ? QString::fromStdString(FormatDelay(*total)) : QStringLiteral("不明")));
}

void TMainWindow::DropFiles(const QStringList& fileNames) { DropFiles(EncodeNames(fileNames)); }

void TMainWindow::DropFiles(const std::vector<std::string>& fileNames) {
  for (const std::string& name : fileNames)
    if (IsFile(name)) LoadMailFile(name);
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

void TMainWindow::PlaceOnScreen() {
  // The size asked for is the outer one, frame included, where the frame is known.
  const QSize frame = frameGeometry().size() - geometry().size();
  resize(kOuterSize - frame);
  QRect outer(QPoint(), kOuterSize);
  if (const QScreen* s = screen()) outer.moveCenter(s->availableGeometry().center());
  move(outer.topLeft());
}

}  // namespace tarvo
