// A mailbox in the window: its messages listed in the background, sorted,
// and the one chosen loaded into the pages.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <filesystem>

#include "app/Display.h"
#include "app/LineView.h"
#include "app/MailboxList.h"
#include "app/MainWindow.h"
#include "base/errors.h"
#include "tests/temp_dir.h"

using namespace tarvo;
using tarvo::testing::TTempDir;
using tarvo::testing::WriteFile;

namespace {

// Three messages read in this order: the 8th's, the 7th's, one without a
// date that carries an attachment and a subject that looks like markup.
const char kMbox[] =
    "From a@example.jp Tue Dec  8 10:00:00 2026\n"
    "From: =?UTF-8?B?5aSq6YOO?= <taro@example.jp>\nDate: Tue, 8 Dec 2026 10:00:00 +0900\n"
    "Subject: =?UTF-8?B?5LqM55Wq55uu?=\n\nbody\n>From the escaped line\n\n"
    "From b@example.jp Mon Dec  7 10:00:00 2026\n"
    "From: b@example.jp\nDate: Mon, 7 Dec 2026 10:00:00 +0900\nSubject: first\n\nx\n\n"
    "From c@example.jp Mon Dec  7 11:00:00 2026\n"
    "From: c@example.jp\nSubject: <b>no date</b>\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: text/plain\n\nhi\n--x\n"
    "Content-Type: application/pdf; name=a.pdf\nContent-Disposition: attachment; filename=a.pdf\n"
    "Content-Transfer-Encoding: base64\n\nJVBERi0=\n--x--\n";

QStringList Column(const QTableView& list, int column) {
  QStringList out;
  for (int r = 0; r < list.model()->rowCount(); ++r) out << list.model()->index(r, column).data().toString();
  return out;
}

bool WaitFilled(TMainWindow& f) {
  return QTest::qWaitFor([&] { return !f.MailboxList1->Filling(); }, 20000);
}

}  // namespace

TEST(MailboxWindow, ListsSortsAndLoadsTheChosenMessage) {
  TTempDir dir;
  WriteFile(dir / "inbox", kMbox);
  TMainWindow f({QString::fromStdString((dir / "inbox").string())});
  ASSERT_TRUE(WaitFilled(f));
  EXPECT_FALSE(f.MailboxList1->isHidden());
  EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("inbox — "))) << f.windowTitle().toStdString();
  const QTableView& list = *f.MailboxList1->MessageList1;
  ASSERT_EQ(list.model()->rowCount(), 3);
  // Oldest first; no date before any date.
  EXPECT_EQ(Column(list, 2), (QStringList{QStringLiteral("<b>no date</b>"), QStringLiteral("first"), QStringLiteral("二番目")}));
  EXPECT_EQ(Column(list, 0), (QStringList{QString(), QStringLiteral("2026/12/07 10:00:00"), QStringLiteral("2026/12/08 10:00:00")}));
  EXPECT_EQ(Column(list, 1)[2], QStringLiteral("太郎 <taro@example.jp>"));
  EXPECT_EQ(Column(list, 3), QStringList(3, QString::fromUtf8(OutcomeName(TOutcome::Unjudged))));
  EXPECT_EQ(Column(list, 4), (QStringList{QStringLiteral("●"), QString(), QString()}));

  f.MailboxList1->MessageList1->sortByColumn(2, Qt::DescendingOrder);
  EXPECT_EQ(Column(list, 2), (QStringList{QStringLiteral("二番目"), QStringLiteral("first"), QStringLiteral("<b>no date</b>")}));

  // The first message read, wherever the sorting put it: unescaped in the pages.
  f.MailboxList1->MessageList1->selectRow(0);
  EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("二番目 — inbox 1 通目 — "))) << f.windowTitle().toStdString();
  EXPECT_EQ(MemoLines(*f.Memo3).Lines, (std::vector<std::string>{"body", "From the escaped line"}));
  EXPECT_EQ(f.ListView1->item(2, 2)->text(), QStringLiteral("二番目"));
  f.MailboxList1->MessageList1->selectRow(2);
  EXPECT_EQ(f.Parts().size(), 2u);

  // A single message file closes the mailbox.
  WriteFile(dir / "one.eml", "Subject: alone\n\nx\n");
  f.LoadMailFile((dir / "one.eml").string());
  EXPECT_TRUE(f.MailboxList1->isHidden());
  EXPECT_EQ(list.model()->rowCount(), 0);

  // A message saved with its "From " line is a mailbox of one, shown at once.
  WriteFile(dir / "saved", "From a@example.jp Mon Dec  7 09:00:00 2026\nSubject: saved\n\nx\n");
  f.LoadMailFile((dir / "saved").string());
  ASSERT_TRUE(WaitFilled(f));
  EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("saved — saved 1 通目"))) << f.windowTitle().toStdString();
}

TEST(MailboxWindow, OpensAMaildirAndRereadsAChosenMessage) {
  TTempDir dir;
  std::filesystem::create_directories(dir / "Maildir" / "cur");
  std::filesystem::create_directories(dir / "Maildir" / "new");
  WriteFile(dir / "Maildir" / "cur" / "1765000000.1.host:2,S", "Subject: seen\nDate: Mon, 7 Dec 2026 10:00:00 +0900\n\nx\n");
  WriteFile(dir / "Maildir" / "new" / "1765000001.2.host", "Subject: new\nDate: Mon, 7 Dec 2026 09:00:00 +0900\n\ny\n");
  TMainWindow f;
  f.LoadMailFile((dir / "Maildir").string());
  ASSERT_TRUE(WaitFilled(f));
  const QTableView& list = *f.MailboxList1->MessageList1;
  EXPECT_EQ(Column(list, 2), (QStringList{QStringLiteral("new"), QStringLiteral("seen")}));
  // A message gone since the list was read is an error, not a crash.
  std::filesystem::remove(dir / "Maildir" / "new" / "1765000001.2.host");
  EXPECT_THROW(f.ShowMessage(1), EFOpenError);
  f.MailboxList1->MessageList1->selectRow(1);
  EXPECT_EQ(MemoLines(*f.Memo3).Lines, std::vector<std::string>{"x"});
}
