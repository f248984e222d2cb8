// The window as a reader meets it: what the raw view holds, where the route's
// notes go, decoded header values.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Application.h"
#include "app/Display.h"
#include "app/LineView.h"
#include "app/MainWindow.h"
#include "base/errors.h"
#include "base/stream.h"
#include "tests/temp_dir.h"

using namespace tarvo;

namespace {

QString Data(const char* name) { return QStringLiteral(TARVO_SOURCE_DIR "/tests/data/window/") + QString::fromLatin1(name); }

// The lines of the file's body, after the first empty line.
std::vector<std::string> BodyLines(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> out;
  std::size_t at = all.find("\r\n\r\n") + 4;
  while (at < all.size()) {
    const std::size_t end = all.find("\r\n", at);
    out.push_back(all.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

}  // namespace

TEST(Window, RawViewIsTheBodyAndTheLookupsNoteIsInTheStatusLine) {
  TMainWindow f({Data("ten-hops.eml")});
  EXPECT_EQ(MemoLines(*f.Memo3).Lines, BodyLines(Data("ten-hops.eml")));
  EXPECT_TRUE(f.LabelDelivery->text().contains(QStringLiteral("Not found IP... (国の分からない IP: No 3, 4, 7, 8, 9, 10)")))
      << f.LabelDelivery->text().toStdString();
}

TEST(Window, HeaderListShowsTheDecodedValueBesideTheRaw) {
  TMainWindow f({Data("ten-hops.eml")});
  QStringList decoded;
  for (int r = 0; r < f.ListView1->rowCount(); ++r) {
    // A folded value reads on one line.
    const QString value = f.ListView1->item(r, 2)->text();
    EXPECT_FALSE(value.contains(QLatin1Char('\t')) || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        << value.toStdString();
    if (f.ListView1->item(r, 0)->text() == QStringLiteral("Subject") || f.ListView1->item(r, 0)->text() == QStringLiteral("From"))
      decoded.push_back(value);
  }
  EXPECT_EQ(decoded, (QStringList{QStringLiteral("山田 太郎 <taro.yamada@example.com>"),
                                  QStringLiteral("【ご案内】年末年始の配送スケジュールについて")}));
}

namespace {

// Every tab of a bar shows its whole caption inside the bar.
void ExpectCaptionsVisible(const QTabWidget& tabs) {
  const QTabBar* bar = tabs.tabBar();
  const QFontMetrics fm(bar->font());
  for (int i = 0; i < tabs.count(); ++i) {
    const QRect r = bar->tabRect(i);
    EXPECT_TRUE(bar->rect().contains(r)) << tabs.tabText(i).toStdString();
    EXPECT_GE(r.width(), fm.horizontalAdvance(tabs.tabText(i))) << tabs.tabText(i).toStdString();
  }
}

// No cell of the list is cut: its text fits its column.
void ExpectNothingElided(const QTableWidget& list) {
  const QFontMetrics fm(list.font());
  for (int r = 0; r < list.rowCount(); ++r)
    for (int c = 0; c < list.columnCount(); ++c)
      EXPECT_LE(fm.horizontalAdvance(list.item(r, c)->text()) + 8, list.columnWidth(c))
          << "row " << r << " column " << c << ": " << list.item(r, c)->text().toStdString();
  int total = 0;
  for (int c = 0; c < list.columnCount(); ++c) total += list.columnWidth(c);
  EXPECT_LE(total, list.viewport()->width());
}

}  // namespace

TEST(Window, DefaultSizeShowsEveryTabCaptionAndNeverExceedsTheScreen) {
  for (const QSize screen : {QSize(1280, 800), QSize(1024, 768), QSize(1920, 1080)}) {
    const QSize size = TMainWindow::DefaultSize(QRect(QPoint(), screen));
    EXPECT_LE(size.width(), screen.width());
    EXPECT_LE(size.height(), screen.height());
    TMainWindow f({Data("ten-hops.eml")});
    f.show();
    f.resize(size);
    QApplication::processEvents();
    SCOPED_TRACE(screen.width());
    ExpectCaptionsVisible(*f.PageControl1);
    f.PageControl1->setCurrentIndex(2);  // the inner tabs are laid out once shown
    QApplication::processEvents();
    ExpectCaptionsVisible(*f.PageControl2);
    // Every route column is on screen, whatever it had to give up.
    int total = 0;
    for (int c = 0; c < f.ListView2->columnCount(); ++c) total += f.ListView2->columnWidth(c);
    EXPECT_LE(total, f.ListView2->viewport()->width());
  }
}

TEST(Window, NoRouteCellCutAt1920ForTenHopsWithIPv6Relays) {
  TMainWindow f({Data("ten-hops.eml")});
  f.show();
  f.resize(TMainWindow::DefaultSize(QRect(0, 0, 1920, 1080)));
  QApplication::processEvents();
  ASSERT_EQ(f.ListView2->rowCount(), 10);
  ExpectNothingElided(*f.ListView2);
  // Each time with its offset; long cells also read whole in their tool tip.
  EXPECT_EQ(f.ListView2->item(0, 5)->text(), QStringLiteral("2026/12/09 09:14:21 +0900"));
  EXPECT_EQ(f.ListView2->item(9, 5)->text(), QStringLiteral("2026/12/08 16:11:57 -0800"));
  EXPECT_TRUE(f.ListView2->item(3, 3)->toolTip().contains(QStringLiteral("2001:db8:77:abcd:ef01:2345:6789:a1b2")));
}

TEST(Window, RouteTimesInThisZoneAndOldestFirst) {
  qputenv("TZ", "Asia/Tokyo");
  tzset();
  TMainWindow f({Data("ten-hops.eml")});
  f.LocalTimeBox->setChecked(true);
  EXPECT_EQ(f.ListView2->item(9, 5)->text(), QStringLiteral("2026/12/09 09:11:57 +0900"));
  EXPECT_EQ(f.ListView2->item(3, 6)->text(), QStringLiteral("35秒"));
  EXPECT_EQ(f.ListView2->item(2, 6)->text(), QStringLiteral("−7秒 (時計のずれ)"));
  f.OldestFirstBox->setChecked(true);
  EXPECT_EQ(f.ListView2->item(0, 0)->text(), QStringLiteral("10"));
  EXPECT_EQ(f.ListView2->item(0, 5)->text(), QStringLiteral("2026/12/09 09:11:57 +0900"));
  // Both are remembered for the next window.
  TMainWindow g;
  EXPECT_TRUE(g.LocalTimeBox->isChecked());
  EXPECT_TRUE(g.OldestFirstBox->isChecked());
  qunsetenv("TZ");
  tzset();
}

TEST(Window, CtrlTabMovesBetweenTheOuterPagesFromInsideAListOrAMemo) {
  TMainWindow f({Data("ten-hops.eml")});
  f.show();
  QApplication::setActiveWindow(&f);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.PageControl1->setCurrentIndex(3);
  f.ListView1->setFocus();
  f.ListView1->selectRow(1);
  QTest::keyClick(f.ListView1, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(f.PageControl1->currentIndex(), 4);
  f.PageControl1->setCurrentIndex(2);
  f.PageControl2->setCurrentIndex(0);
  f.Memo3->setFocus();
  QTest::keyClick(f.Memo3, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(f.PageControl1->currentIndex(), 3);
  EXPECT_EQ(f.PageControl2->currentIndex(), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(f.PageControl1->currentIndex(), 2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_7, Qt::AltModifier);
  EXPECT_EQ(f.PageControl1->currentIndex(), 6);
  EXPECT_EQ(f.OpenFileR1->shortcut(), QKeySequence(QKeySequence::Open));
}

TEST(Window, TitleNamesTheSubjectAndTheFileAndTheWindowHasItsIcon) {
  TMainWindow f({Data("ten-hops.eml")});
  EXPECT_EQ(f.windowTitle(), QStringLiteral("【ご案内】年末年始の配送スケジュールについて — ten-hops.eml — Tarvo"));
  EXPECT_FALSE(f.windowIcon().isNull());
}

TEST(Window, RawViewCopiesControlCharactersAsTheyAre) {
  TMainWindow f({Data("ten-hops.eml")});
  EXPECT_TRUE(f.Memo3->RowText(0).contains(QChar(0x1B)));  // ESC $ B of the JIS body
  f.Memo3->selectAll();
  f.Memo3->copy();
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QChar(0x1B)));
}

TEST(Window, ABrowserThatDoesNotStartIsReported) {
  QStringList messages;
  SetErrorMessageHook([&](const QString& m) { messages.push_back(m); });
  TMainWindow f({QStringLiteral(TARVO_SOURCE_DIR "/samples/multipart-alternative.eml")});
  f.SetHtmlFolder(tarvo::testing::ProcessTempDir().Path().string() + "/");
  f.SetBrowserStarter([](const QUrl&) { return false; });
  f.Button2->click();
  SetErrorMessageHook({});
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ブラウザを起動できませんでした"))) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QStringLiteral(".html"))) << messages[0].toStdString();
}

TEST(Window, QtsOwnDialogsSpeakJapanese) {
  if (!InstallJapaneseTranslations()) GTEST_SKIP() << "qtbase_ja.qm is not installed (qt6-translations-l10n)";
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("File &name:"));
}

TEST(Window, TabLeavesEveryControlButTheEditableMemos) {
  TMainWindow f({Data("attachments.eml")});
  f.show();
  QApplication::setActiveWindow(&f);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  int tried = 0;
  for (int page = 0; page < f.PageControl1->count(); ++page) {
    f.PageControl1->setCurrentIndex(page);
    QApplication::processEvents();
    for (QWidget* w : f.PageControl1->widget(page)->findChildren<QWidget*>()) {
      // An editable memo takes Tab as a character, as the seed's memo does.
      if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || qobject_cast<TLineView*>(w)) continue;
      w->setFocus(Qt::TabFocusReason);
      if (QApplication::focusWidget() != w) continue;
      QTest::keyClick(w, Qt::Key_Tab);
      EXPECT_NE(QApplication::focusWidget(), w) << page << " " << w->metaObject()->className() << " "
                                                << w->objectName().toStdString();
      ++tried;
    }
  }
  EXPECT_GT(tried, 30);
}

TEST(Window, ALargeFileLoadsOnAWorkerAndCanBeCancelled) {
  TMainWindow f({Data("attachments.eml")});
  f.SetLargeFileSize(0);  // every file is large
  int boxes = 0;
  f.SetProgressWatcher([&](QProgressDialog&) { ++boxes; });
  f.LoadMailFile(Data("ten-hops.eml"));
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(MemoLines(*f.Memo3).Lines, BodyLines(Data("ten-hops.eml")));
  EXPECT_EQ(f.ListView2->rowCount(), 10);
  // Cancelled: the message shown before stays.
  f.SetProgressWatcher([](QProgressDialog& box) { box.cancel(); });
  f.LoadMailFile(Data("attachments.eml"));
  EXPECT_EQ(f.ListView2->rowCount(), 10);
  EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("ten-hops.eml")));
  // An error on the worker is the same error: here a file too large to load.
  f.SetProgressWatcher({});
  const std::filesystem::path big = tarvo::testing::ProcessTempDir() / "big.eml";
  tarvo::testing::WriteFile(big, "");
  std::filesystem::resize_file(big, kMaxMailSize + 1);  // sparse
  EXPECT_THROW(f.LoadMailFile(QString::fromStdString(big.string())), EFOpenError);
}
