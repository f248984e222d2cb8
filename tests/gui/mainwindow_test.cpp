// The main window: layout, start-up, the File menu and dropped files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"
#include "base/errors.h"
#include "views/pipeline.h"
#include "tests/temp_dir.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

QString Sample(const char* name) { return QStringLiteral(TARVO_SOURCE_DIR "/samples/") + QString::fromLatin1(name); }

struct Capture {
  QStringList messages;
  Capture() {
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
  }
  ~Capture() { SetErrorMessageHook({}); }
};

QString TempPath(const char* name) {
  return QString::fromStdString((tarvo::testing::ProcessTempDir() / name).string());
}

// A file that exists but is too large to load: the load fails with the open error.
QString UnreadableFile() {
  const QString path = TempPath("tarvo_gui_toolarge.eml");
  tarvo::testing::WriteFile(path.toStdString(), "");
  fs::resize_file(path.toStdString(), kMaxMailSize + 1);  // sparse
  return path;
}

// The bytes of a list's column, row by row.
std::vector<std::string> Column(const QTableWidget& list, int column) {
  std::vector<std::string> out;
  for (int r = 0; r < list.rowCount(); ++r) out.push_back(FromDisplay(list.item(r, column)->text()));
  return out;
}

// Views of the window equal the model the pipeline makes of the same file.
void ExpectShows(const TMainWindow& f, const QString& file) {
  TMailViews want;
  tarvo::LoadMailFile(file.toStdString(), want);
  EXPECT_EQ(MemoLines(*f.Memo1).Lines, want.Memo1.Lines());
  EXPECT_EQ(MemoLines(*f.Memo2).Lines, want.Memo2.Lines());
  EXPECT_EQ(MemoLines(*f.Memo3).Lines, want.Memo3.Lines());
  EXPECT_EQ(MemoLines(*f.Memo4).Lines, want.Memo4.Lines());
  EXPECT_EQ(MemoLines(*f.Memo6).Lines, want.Memo6.Lines());
  std::vector<std::string> names, values, hosts;
  for (const auto& h : want.ListView1) names.push_back(h.Name), values.push_back(h.Value);
  for (const auto& r : want.ListView2) hosts.push_back(r.Host);
  EXPECT_EQ(Column(*f.ListView1, 0), names);
  EXPECT_EQ(Column(*f.ListView1, 1), values);
  EXPECT_EQ(Column(*f.ListView2, 2), hosts);
  EXPECT_FALSE(want.Memo1.Empty());
}

void ExpectEmpty(const TMainWindow& f) {
  for (const TLineView* m : {f.Memo1, f.Memo2, f.Memo3, f.Memo4, f.Memo6})
    EXPECT_TRUE(m->IsEmpty()) << m->objectName().toStdString();
  EXPECT_EQ(f.ListView1->rowCount(), 0);
  EXPECT_EQ(f.ListView2->rowCount(), 0);
}

void Drop(TMainWindow& f, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(p));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f, &drop);
  QApplication::processEvents();  // the loads run after the drop
}

// Runs `act` on the file dialog while `trigger` waits in exec(); should the
// dialog stay up, `act` is repeated, and after 10 s it is closed and the test fails.
void WithOpenDialog(const std::function<void(QFileDialog&)>& act, const std::function<void()>& trigger) {
  int tries = 0;
  bool timedOut = false;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d || !d->isVisible()) return;
    if (clock.elapsed() > 10000) {
      timedOut = true;
      static_cast<QDialog*>(d)->reject();
      return;
    }
    ++tries;
    act(*d);
  });
  poll.start(20);
  trigger();
  poll.stop();
  EXPECT_GT(tries, 0);
  EXPECT_FALSE(timedOut);
}

// Types a name into the dialog's name box, as a user does, and confirms.
// (selectFile leaves the box alone while it has the focus.)
void ChooseName(QFileDialog& d, const QString& name) {
  auto* box = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(box, nullptr);
  box->setText(name);
  static_cast<QDialog&>(d).accept();  // QFileDialog::accept, which is protected
}

}  // namespace

TEST(MainWindow, LayoutNamesAndCaptions) {
  TMainWindow f;
  f.show();
  EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("Tarvo")));
  EXPECT_EQ(f.frameGeometry().size(), TMainWindow::DefaultSize(f.screen()->availableGeometry()));
  EXPECT_LE((f.frameGeometry().center() - f.screen()->availableGeometry().center()).manhattanLength(), 2);
  EXPECT_EQ(f.font().families().front(), QStringLiteral("ＭＳ Ｐゴシック"));
  EXPECT_EQ(f.Memo1->font().pixelSize(), 12);

  const QStringList pages = {QStringLiteral("配信経路"), QStringLiteral("メールエンベローブ"),
                             QStringLiteral("メール本文"), QStringLiteral("エンベローブチェック"),
                             QStringLiteral("文字コード変換"), QStringLiteral("安全性チェック"),
                             QStringLiteral("添付ファイル")};
  ASSERT_EQ(f.PageControl1->count(), pages.size());
  for (int i = 0; i < pages.size(); ++i) EXPECT_EQ(f.PageControl1->tabText(i), pages[i]);
  EXPECT_EQ(f.PageControl1->widget(4), f.TabSheet9);
  EXPECT_EQ(f.PageControl1->widget(6), f.PartsSheet);
  const QStringList inner = {QStringLiteral("生データ"), QStringLiteral("SJIS に変換"),
                             QStringLiteral("テキストのみ抽出"), QStringLiteral("HTML部")};
  ASSERT_EQ(f.PageControl2->count(), inner.size());
  for (int i = 0; i < inner.size(); ++i) EXPECT_EQ(f.PageControl2->tabText(i), inner[i]);

  for (const char* name : {"Memo1", "Memo2", "Memo3", "Memo4", "Memo5", "Memo6", "ListView1", "ListView2", "Button2",
                           "CheckBox1", "TabSheet9", "OpenFileR1", "Exit1", "About1"})
    EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;

  const std::vector<std::pair<QString, int>> route = {{"No", 50}, {"server name", 100}, {"Host", 200},
                                                       {"IP", 90}, {"Country", 100}, {"Date", 120}};
  const QStringList hop = {"遅延", "受信サーバ", "方式", "暗号化", "ネットワーク"};
  ASSERT_EQ(f.ListView2->columnCount(), 11);
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(f.ListView2->horizontalHeaderItem(c)->text(), route[c].first);
    EXPECT_EQ(f.ListView2->columnWidth(c), route[c].second);
  }
  for (int c = 6; c < 11; ++c) EXPECT_EQ(f.ListView2->horizontalHeaderItem(c)->text(), hop[c - 6]);
  ASSERT_EQ(f.ListView1->columnCount(), 3);  // the seed's two, and the decoded value
  EXPECT_EQ(f.ListView1->columnWidth(0), 150);
  for (QTableWidget* list : {f.ListView1, f.ListView2}) {
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
  }
}

TEST(MainWindow, MemosAndTheHtmlStrip) {
  TMainWindow f;
  f.show();
  EXPECT_TRUE(f.Memo5->isReadOnly());
  EXPECT_EQ(f.Memo5->height(), 134);
  EXPECT_EQ(f.Memo5->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  // Editable: a typed key lands in the memo. Never wrapped: a line wider
  // than the memo gives the horizontal scroll bar a range.
  TStringList wide;
  wide.Add(std::string(400, 'w'));
  for (TLineView* m : {f.Memo1, f.Memo2, f.Memo3, f.Memo4, f.Memo6}) {
    SetMemoLines(*m, wide);
    m->resize(300, 200);
    EXPECT_GT(m->horizontalScrollBar()->maximum(), 0) << m->objectName().toStdString();
    QTest::keyClick(m, Qt::Key_X);
    EXPECT_EQ(MemoLines(*m).Lines, (std::vector<std::string>{"x" + std::string(400, 'w')}));
    EXPECT_EQ(m->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(m->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  }
  EXPECT_EQ(f.Button2->text(), QStringLiteral("ブラウザで開く"));
  EXPECT_EQ(f.Button2->geometry(), QRect(8, 4, 121, 20));
  EXPECT_EQ(f.Button2->parentWidget()->height(), 29);
  EXPECT_EQ(f.CheckBox1->text(), QStringLiteral("http 又は https で始まる箇所を dummy に変換する"));
  EXPECT_GT(f.CheckBox1->x(), f.Button2->geometry().right());
  EXPECT_EQ(f.GroupBox2->title(), QStringLiteral("広告欄"));
  EXPECT_EQ(f.GroupBox2->height(), 55);
  EXPECT_EQ(f.OpenFileR1->text(), QStringLiteral("Open File(&R)"));
  EXPECT_EQ(f.Exit1->text(), QStringLiteral("&Exit"));
  EXPECT_EQ(f.About1->text(), QStringLiteral("&About"));
}

TEST(MainWindow, StartsEmptyWithTheRoutePageInFront) {
  Capture capture;
  TMainWindow f;
  f.show();
  ExpectEmpty(f);
  EXPECT_TRUE(f.Memo5->toPlainText().isEmpty());
  EXPECT_EQ(f.PageControl1->currentIndex(), 0);
  EXPECT_EQ(f.PageControl2->tabText(f.PageControl2->currentIndex()), QStringLiteral("SJIS に変換"));
  EXPECT_TRUE(f.CheckBox1->isChecked());
  EXPECT_TRUE(capture.messages.isEmpty());
}

TEST(MainWindow, FirstArgumentIsLoadedBeforeTheWindowShows) {
  Capture capture;
  TMainWindow f({Sample("iso2022jp-plain.eml"), Sample("attachment.eml")});
  EXPECT_FALSE(f.isVisible());
  ExpectShows(f, Sample("iso2022jp-plain.eml"));  // further arguments are ignored
  f.show();
  EXPECT_EQ(f.PageControl1->currentIndex(), 0);
  EXPECT_TRUE(f.ListView1->selectionModel()->selectedRows().isEmpty());
  EXPECT_TRUE(capture.messages.isEmpty());
}

TEST(MainWindow, FirstArgumentNamingNoFileShowsTheOpenError) {
  // A double-click on a file that has moved: the system's own text, in Japanese.
  const struct {
    QString arg;
    QString says;
  } cases[] = {{QStringLiteral("/nonexistent/x.eml"), QStringLiteral("そのようなファイルやディレクトリはありません は開けません")},
               {TempPath(""), QStringLiteral("ディレクトリです は開けません")}};
  for (const auto& c : cases) {
    Capture capture;
    TMainWindow f({c.arg});
    ExpectEmpty(f);
    ASSERT_EQ(capture.messages.size(), 1) << c.arg.toStdString();
    EXPECT_TRUE(capture.messages[0].startsWith(QStringLiteral("ファイル \""))) << capture.messages[0].toStdString();
    EXPECT_TRUE(capture.messages[0].endsWith(c.says)) << capture.messages[0].toStdString();
  }
  Capture capture;
  TMainWindow f({QString()});  // no name at all: nothing to say
  EXPECT_TRUE(capture.messages.isEmpty());
}

TEST(MainWindow, FirstArgumentThatFailsToLoadIsShownAndStartUpGoesOn) {
  Capture capture;
  TMainWindow f({UnreadableFile()});
  ASSERT_EQ(capture.messages.size(), 1);
  EXPECT_TRUE(capture.messages[0].contains(QStringLiteral("開けません"))) << capture.messages[0].toStdString();
  ExpectEmpty(f);
  f.show();
  EXPECT_TRUE(f.isVisible());
}

TEST(MainWindow, DropLoadsEveryFileInTurnAndAMissingOneIsShown) {
  Capture capture;
  TMainWindow f;
  f.show();
  Drop(f, {Sample("iso2022jp-plain.eml"), Sample("multipart-alternative.eml")});
  ExpectShows(f, Sample("multipart-alternative.eml"));
  EXPECT_TRUE(capture.messages.isEmpty());
  Drop(f, {QStringLiteral("/nonexistent/y.eml"), Sample("iso2022jp-plain.eml")});
  ASSERT_EQ(capture.messages.size(), 1);
  EXPECT_TRUE(capture.messages[0].contains(QStringLiteral("/nonexistent/y.eml"))) << capture.messages[0].toStdString();
  ExpectEmpty(f);
}

TEST(MainWindow, AnErrorEndsTheDrop) {
  Capture capture;
  TMainWindow f({Sample("attachment.eml")});
  f.show();
  Drop(f, {UnreadableFile(), Sample("iso2022jp-plain.eml")});
  ASSERT_EQ(capture.messages.size(), 1);
  ExpectEmpty(f);  // the failed load emptied the views; the second file was not loaded
}

TEST(MainWindow, MenuOpenOfAMissingFileShowsTheOpenError) {
  Capture capture;
  TMainWindow f({Sample("iso2022jp-plain.eml")});
  f.show();
  f.Memo5->setPlainText(QStringLiteral("説明"));
  const QString missing = TempPath("tarvo_gui_missing.eml");
  fs::remove(missing.toStdString());
  WithOpenDialog(
      [&](QFileDialog& d) {
        EXPECT_EQ(d.objectName(), QStringLiteral("OpenDialog1"));
        EXPECT_EQ(d.nameFilters(),
                  (QStringList{QStringLiteral("EML ファイル (*.eml)"), QStringLiteral("Text ファイル (*.txt)"),
                               QStringLiteral("mbox ファイル (*.mbox *.mbx)"), QStringLiteral("すべてのファイル (*)")}));
        EXPECT_EQ(d.selectedNameFilter(), QStringLiteral("EML ファイル (*.eml)"));
        ChooseName(d, missing);
      },
      [&] { f.OpenFileR1->trigger(); });
  ASSERT_EQ(capture.messages.size(), 1);
  EXPECT_TRUE(capture.messages[0].startsWith(QStringLiteral("ファイル \"") + missing + QStringLiteral("\". ")))
      << capture.messages[0].toStdString();
  EXPECT_TRUE(capture.messages[0].contains(QStringLiteral("開けません")));
  ExpectEmpty(f);
  EXPECT_EQ(f.Memo5->toPlainText(), QStringLiteral("説明"));
}

TEST(MainWindow, MenuOpenLoadsTheChosenFileAndCancelKeepsTheViews) {
  Capture capture;
  TMainWindow f;
  f.show();
  f.PageControl1->setCurrentIndex(3);
  WithOpenDialog(
      [&](QFileDialog& d) {
        ChooseName(d, Sample("multipart-alternative.eml"));
      },
      [&] { f.OpenFileR1->trigger(); });
  ExpectShows(f, Sample("multipart-alternative.eml"));
  EXPECT_EQ(f.PageControl1->currentIndex(), 3);  // a load does not change the page
  WithOpenDialog([&](QFileDialog& d) { d.reject(); }, [&] { f.OpenFileR1->trigger(); });
  ExpectShows(f, Sample("multipart-alternative.eml"));
  EXPECT_TRUE(capture.messages.isEmpty());
}

TEST(MainWindow, LoadingAnotherFileReplacesEveryViewButMemo5) {
  TMainWindow f({Sample("multipart-alternative.eml")});
  f.ListView1->selectRow(1);
  f.Memo5->setPlainText(QStringLiteral("kept"));
  f.LoadMailFile(Sample("iso2022jp-plain.eml"));
  ExpectShows(f, Sample("iso2022jp-plain.eml"));
  EXPECT_TRUE(f.ListView1->selectionModel()->selectedRows().isEmpty());
  EXPECT_EQ(f.Memo5->toPlainText(), QStringLiteral("kept"));
  EXPECT_THROW(f.LoadMailFile(QStringLiteral("/nonexistent/z.eml")), ETarvoError);
  ExpectEmpty(f);
}

TEST(MainWindow, ExitClosesTheWindow) {
  TMainWindow f;
  f.show();
  ASSERT_TRUE(f.isVisible());
  f.Exit1->trigger();
  EXPECT_FALSE(f.isVisible());
}

namespace {
QStringList Texts(const QTableWidget& list, int column) {
  QStringList out;
  for (int r = 0; r < list.rowCount(); ++r) out.push_back(list.item(r, column)->text());
  return out;
}
}  // namespace

TEST(MainWindow, RouteShowsHopsDelaysAndTheTotal) {
  TMainWindow f({Sample("relays-ipv6.eml")});
  EXPECT_EQ(Texts(*f.ListView2, 6), (QStringList{"1秒", "4秒", "2秒", "1秒", ""}));
  EXPECT_EQ(Column(*f.ListView2, 7), (std::vector<std::string>{"localhost", "mx.example.co.jp", "mogw0123.example.ne.jp",
                                                               "smtp.example.ne.jp", "desk.local"}));
  EXPECT_EQ(Column(*f.ListView2, 8), (std::vector<std::string>{"ESMTP", "ESMTPS", "ESMTP", "ESMTPSA", ""}));
  EXPECT_TRUE(f.LabelDelivery->text().startsWith(QStringLiteral("送信から最上段の受信まで: 9秒　　Not found IP...")))
      << f.LabelDelivery->text().toStdString();

  // Ten minutes and more stand out; a skewed clock is named; no Date: no total.
  const QString path = TempPath("tarvo_gui_route_delays.eml");
  std::ofstream(path.toStdString(), std::ios::binary) << "Received: from a by b; 7 Dec 2026 10:20:00 +0900\r\n"
                                                         "Received: from c by d; 7 Dec 2026 10:10:00 +0900\r\n"
                                                         "Received: from e by f; 7 Dec 2026 10:10:01 +0900\r\n"
                                                         "Received: from g by h; 7 Dec 2026 10:00:02 +0900\r\n"
                                                         "\r\nx\r\n";
  f.LoadMailFile(path);
  EXPECT_EQ(Texts(*f.ListView2, 6), (QStringList{"10分", "−1秒 (時計のずれ)", "9分", ""}));
  EXPECT_EQ(f.ListView2->item(0, 6)->foreground().color(), QColor(Qt::red));
  for (int r = 1; r < 4; ++r) EXPECT_NE(f.ListView2->item(r, 6)->foreground().color(), QColor(Qt::red)) << r;
  EXPECT_EQ(f.LabelDelivery->text(), QStringLiteral("送信から最上段の受信まで: 不明"));
}
