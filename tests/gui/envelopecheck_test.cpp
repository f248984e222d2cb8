// The envelope check in the window: clicks and keys in the header list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include "app/Display.h"
#include "app/MainWindow.h"
#include "mail/explain.h"
#include "tests/temp_dir.h"

using namespace tarvo;

namespace {

const QString kSample = QStringLiteral(TARVO_SOURCE_DIR "/samples/iso2022jp-plain.eml");
const std::string kSeparator(40, '-');

struct Check : ::testing::Test {
  TMainWindow f{{kSample}};
  void SetUp() override {
    f.show();
    f.PageControl1->setCurrentIndex(3);
    ASSERT_GE(f.ListView1->rowCount(), 10);
  }
  int RowOf(const char* name) const {
    for (int r = 0; r < f.ListView1->rowCount(); ++r)
      if (f.ListView1->item(r, 0)->text() == QString::fromLatin1(name)) return r;
    return -1;
  }
  void Click(int row) {
    const QRect cell = f.ListView1->visualRect(f.ListView1->model()->index(row, 1));
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, cell.center());
  }
  std::vector<std::string> Shown() const { return MemoLines(*f.Memo5, TTextKind::Decoded).Lines; }
  std::string Stored(int row, int column) const {  // the bytes the header list holds
    const QByteArray b = f.ListView1->item(row, column)->data(Qt::UserRole).toByteArray();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
  }
  std::vector<std::string> Expected(int row) const { return HeaderExplanationLines(Stored(row, 0), Stored(row, 1)); }
};

}  // namespace

TEST_F(Check, ClickingAHeaderRowExplainsIt) {
  const int from = RowOf("From");
  ASSERT_GE(from, 0);
  Click(from);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0], "このメールの差出人です。");
  EXPECT_EQ(shown[1], kSeparator);
  EXPECT_EQ(shown[4], "taro@example.jp");
  EXPECT_EQ(shown, Expected(from));

  const int subject = RowOf("Subject");
  Click(subject);
  EXPECT_EQ(Shown().at(0), "件名です");
  EXPECT_EQ(Shown(), Expected(subject));
}

TEST_F(Check, EveryKeyReleaseFollowsTheSelection) {
  Click(0);
  f.ListView1->setFocus();
  for (int row = 1; row < f.ListView1->rowCount(); ++row) {
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    ASSERT_EQ(f.ListView1->selectionModel()->selectedRows().front().row(), row);
    EXPECT_EQ(Shown(), Expected(row)) << row;
  }
  QTest::keyClick(f.ListView1, Qt::Key_Up);
  EXPECT_EQ(Shown(), Expected(f.ListView1->rowCount() - 2));
  f.ListView1->clearSelection();
  QTest::keyClick(f.ListView1, Qt::Key_Shift);
  EXPECT_TRUE(f.Memo5->toPlainText().isEmpty());
}

TEST_F(Check, ClickingWhereNoRowIsEmptiesMemo5) {
  f.resize(583, 900);  // room below the last row
  QApplication::processEvents();
  Click(1);
  ASSERT_FALSE(Shown().empty());
  const QRect last = f.ListView1->visualRect(f.ListView1->model()->index(f.ListView1->rowCount() - 1, 0));
  ASSERT_LT(last.bottom() + 10, f.ListView1->viewport()->height());
  QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, QPoint(20, last.bottom() + 8));
  EXPECT_TRUE(f.ListView1->selectionModel()->selectedRows().isEmpty());
  EXPECT_TRUE(f.Memo5->toPlainText().isEmpty());
}

TEST_F(Check, LoadingAnotherFileKeepsTheExplanation) {
  Click(RowOf("Date"));
  const std::vector<std::string> before = Shown();
  ASSERT_EQ(before.size(), 4u);
  f.LoadMailFile(QStringLiteral(TARVO_SOURCE_DIR "/samples/attachment.eml"));
  EXPECT_EQ(Shown(), before);
  EXPECT_TRUE(f.ListView1->selectionModel()->selectedRows().isEmpty());
}

TEST(CheckUnicode, SubjectShowsEveryCharacter) {
  const tarvo::testing::TTempDir dir;
  const std::string path = (dir / "unicode.eml").string();
  tarvo::testing::WriteFile(path, "Subject: =?UTF-8?B?8J+YgCDpq5nmqYsg4pGgIOOAnA==?=\r\n"
                           "From: =?ISO-8859-2?Q?Miros=B3aw?= <m@example.pl>\r\n\r\nbody\r\n");
  TMainWindow f{{QString::fromStdString(path)}};
  f.show();
  f.PageControl1->setCurrentIndex(3);
  for (const auto& [row, want] : {std::pair{0, QStringLiteral(" 😀 髙橋 ① 〜")}, std::pair{1, QStringLiteral("Mirosław")}}) {
    f.ListView1->selectRow(row);
    f.ShowHeaderExplanation();
    EXPECT_TRUE(f.Memo5->toPlainText().contains(want)) << f.Memo5->toPlainText().toStdString();
  }
}
