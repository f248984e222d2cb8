// The safety page in the window: verdict, results table, warning signs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include "app/MainWindow.h"

using namespace tarvo;

namespace {

const QString kDir = QStringLiteral(TARVO_SOURCE_DIR "/tests/data/auth/");

QStringList Column(const QTableWidget& t, int c) {
  QStringList out;
  for (int r = 0; r < t.rowCount(); ++r) out << t.item(r, c)->text();
  return out;
}

TEST(SafetyPage, SixthPageAfterTheFive) {
  TMainWindow f;
  ASSERT_EQ(f.PageControl1->count(), 7);  // 添付ファイル comes after it
  EXPECT_EQ(f.PageControl1->tabText(5), QStringLiteral("安全性チェック"));
  EXPECT_EQ(f.ListView3->columnCount(), 4);
  EXPECT_EQ(f.ListView3->horizontalHeaderItem(3)->text(), QStringLiteral("説明"));
  EXPECT_EQ(f.ListView3->rowCount(), 0);
  EXPECT_FALSE(f.Label10->text().startsWith(QStringLiteral("問題なし")));
  EXPECT_TRUE(f.Label11->text().contains(QStringLiteral("b=")));
}

TEST(SafetyPage, PhishingIsDangerousAndSaysWhy) {
  TMainWindow f{{kDir + QStringLiteral("phishing.eml")}};
  EXPECT_TRUE(f.Label10->text().startsWith(QStringLiteral("危険")));
  EXPECT_TRUE(f.Label10->styleSheet().contains(QStringLiteral("#c62828")));
  const QStringList items = Column(*f.ListView3, 0);
  EXPECT_TRUE(items.contains(QStringLiteral("SPF")));
  EXPECT_TRUE(items.contains(QStringLiteral("DMARC")));
  EXPECT_TRUE(items.contains(QStringLiteral("DKIM (s=mail)")));
  EXPECT_TRUE(Column(*f.ListView3, 1).contains(QStringLiteral("fail (不合格)")));
  const QString signs = f.Memo7->toPlainText();
  EXPECT_TRUE(signs.contains(QStringLiteral("support@tarvo-bank.co.jp")));
  EXPECT_TRUE(signs.contains(QStringLiteral("tarvо-bank")));  // decoded beside its xn-- form
  EXPECT_TRUE(signs.contains(QStringLiteral("本文が書き換えられています")));

  // Loading a clean message replaces all of it.
  f.LoadMailFile(kDir + QStringLiteral("gmail-clean.eml"));
  EXPECT_TRUE(f.Label10->text().startsWith(QStringLiteral("問題なし")));
  EXPECT_TRUE(f.Label10->styleSheet().contains(QStringLiteral("#2e7d32")));
  EXPECT_TRUE(Column(*f.ListView3, 2).contains(QStringLiteral("gmail.com")));
  EXPECT_FALSE(f.Memo7->toPlainText().contains(QStringLiteral("本文が書き換えられています")));
}

TEST(SafetyPage, FilterStampsOneRowEachWithTheirFieldsOnSelection) {
  TMainWindow f{{QStringLiteral(TARVO_SOURCE_DIR "/tests/data/filters/spamassassin.eml")}};
  ASSERT_EQ(f.FilterList->rowCount(), 5);
  EXPECT_EQ(Column(*f.FilterList, 0).count(QStringLiteral("SpamAssassin")), 5);
  EXPECT_EQ(f.FilterList->item(3, 1)->text(), QStringLiteral("X-Spam-Status"));
  EXPECT_TRUE(f.FilterList->item(3, 3)->text().contains(QStringLiteral("確度の高い迷惑メール")));
  EXPECT_TRUE(f.FilterFields->toPlainText().isEmpty());
  f.FilterList->selectRow(3);
  const QString fields = f.FilterFields->toPlainText();
  EXPECT_TRUE(fields.contains(QStringLiteral("required: 5.0 … 迷惑メールと判定する点数の閾値です。")));
  EXPECT_TRUE(fields.contains(QStringLiteral("tests: BAYES_99,HTML_MESSAGE,RCVD_IN_SBL,URIBL_BLACK")));

  // The header check shows the same fields for the stamp's row.
  for (int r = 0; r < f.ListView1->rowCount(); ++r) {
    if (f.ListView1->item(r, 0)->text() != QStringLiteral("X-Spam-Level")) continue;
    f.ListView1->selectRow(r);
    f.ShowHeaderExplanation();
    EXPECT_TRUE(f.Memo5->toPlainText().contains(QStringLiteral("12 点以上")));
  }

  f.LoadMailFile(kDir + QStringLiteral("gmail-clean.eml"));
  EXPECT_EQ(f.FilterList->rowCount(), 0);
  EXPECT_TRUE(f.FilterFields->placeholderText().contains(QStringLiteral("書かれていません")));
}

}  // namespace
