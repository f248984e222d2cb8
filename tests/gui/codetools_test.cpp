// The page "文字コード変換": its layout and the buttons pressed as a user would.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "app/Display.h"
#include "app/MainWindow.h"

using namespace tarvo;

namespace {

const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea";  // 日本語
const std::string kKana = "\xb1\xb2\xb3";                // ｱｲｳ

struct Tools : ::testing::Test {
  TMainWindow f;
  void Type(QLineEdit* edit, const std::string& cp932) { SetEditText(*edit, cp932); }
  static std::string Text(const QLineEdit* edit) { return EditText(*edit); }
};

}  // namespace

TEST_F(Tools, ControlsStandWhereTheyBelong) {
  struct Place {
    const char* name;
    QRect rect;
  } places[] = {
      {"Label1", {24, 11, 24, 12}},    {"Edit1", {64, 8, 497, 20}},     {"Button1", {8, 32, 49, 20}},
      {"Edit2", {64, 32, 441, 20}},    {"Button3", {512, 32, 49, 20}},  {"Button4", {8, 56, 49, 20}},
      {"Edit3", {64, 56, 441, 20}},    {"Button5", {512, 56, 49, 20}},  {"Button6", {8, 80, 49, 20}},
      {"Edit4", {64, 80, 441, 20}},    {"Button7", {512, 80, 49, 20}},  {"Button8", {8, 104, 49, 20}},
      {"Edit5", {64, 104, 441, 20}},   {"Button9", {8, 128, 49, 20}},   {"Edit6", {64, 128, 441, 20}},
      {"Button10", {512, 104, 49, 20}}, {"Button11", {512, 128, 49, 20}}, {"GroupBox1", {16, 160, 537, 225}},
  };
  for (const Place& p : places) {
    auto* w = f.TabSheet9->findChild<QWidget*>(QString::fromLatin1(p.name));
    ASSERT_NE(w, nullptr) << p.name;
    EXPECT_EQ(w->parentWidget(), f.TabSheet9) << p.name;
    EXPECT_EQ(w->geometry(), p.rect) << p.name;
  }
  const std::pair<QPushButton*, const char*> captions[] = {
      {f.Button1, "JIS"},  {f.Button3, "SJIS"}, {f.Button4, "EUC"},   {f.Button5, "SJIS"},    {f.Button6, "Base64"},
      {f.Button7, "SJIS"}, {f.Button8, "MD5"},  {f.Button9, "SHA-1"}, {f.Button10, "Upcase"}, {f.Button11, "Upcase"}};
  for (const auto& [button, caption] : captions) EXPECT_EQ(button->text(), QString::fromLatin1(caption));
  EXPECT_EQ(f.Label1->text(), QStringLiteral("SJIS"));
  EXPECT_EQ(f.GroupBox1->title(), QStringLiteral("説明"));
  EXPECT_EQ(f.Edit1->toolTip(), QStringLiteral("入力文字は SJIS を指定して下さい"));
  for (QLineEdit* e : {f.Edit2, f.Edit3, f.Edit4}) EXPECT_EQ(e->palette().color(QPalette::Base), QColor(192, 220, 192));
  for (QLineEdit* e : {f.Edit5, f.Edit6}) EXPECT_EQ(e->palette().color(QPalette::Base), QColor(166, 202, 240));

  const int tops[] = {24, 40, 56, 72, 96, 112};
  for (int i = 0; i < 6; ++i) {
    auto* label = f.GroupBox1->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 2));
    ASSERT_NE(label, nullptr) << i;
    EXPECT_EQ(label->pos(), QPoint(16, tops[i]));
  }
  EXPECT_EQ(f.GroupBox1->findChild<QLabel*>(QStringLiteral("Label7"))->text(),
            QStringLiteral("右側のボタンは小文字を大文字に変換するボタンです。"));
}

TEST_F(Tools, EmptyInputGivesEmptyCodesAndTheDigestsOfNothing) {
  for (QPushButton* b : {f.Button1, f.Button4, f.Button6, f.Button8, f.Button9}) b->click();
  EXPECT_EQ(Text(f.Edit2), "");
  EXPECT_EQ(Text(f.Edit3), "");
  EXPECT_EQ(Text(f.Edit4), "");
  EXPECT_EQ(Text(f.Edit5), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Text(f.Edit6), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST_F(Tools, AsciiPassesUnchangedAndKanaStaysEightBit) {
  QTest::keyClicks(f.Edit1, QStringLiteral("Hello, World 123"));
  f.Button1->click();
  f.Button4->click();
  EXPECT_EQ(Text(f.Edit2), "Hello, World 123");
  EXPECT_EQ(Text(f.Edit3), "Hello, World 123");

  Type(f.Edit1, kKana);
  f.Button1->click();
  f.Button4->click();
  EXPECT_EQ(Text(f.Edit2), kKana);
  EXPECT_EQ(Text(f.Edit3), "\x8e\xb1\x8e\xb2\x8e\xb3");
}

TEST_F(Tools, EachRowConvertsBackIntoTheInput) {
  const std::string typed = "abc " + kNihongo + kKana + " \x81\x40!";
  struct Row {
    QPushButton *to, *back;
    QLineEdit* code;
  } rows[] = {{f.Button1, f.Button3, f.Edit2}, {f.Button4, f.Button5, f.Edit3}, {f.Button6, f.Button7, f.Edit4}};
  for (const Row& r : rows) {
    Type(f.Edit1, typed);
    r.to->click();
    EXPECT_NE(Text(r.code), typed) << r.to->text().toStdString();
    Type(f.Edit1, "");
    r.back->click();
    EXPECT_EQ(Text(f.Edit1), typed) << r.to->text().toStdString();
  }
  EXPECT_EQ(Text(f.Edit2), "abc \x1b$BF|K\\8l\x1b(B\xb1\xb2\xb3 \x1b$B!!\x1b(B!");
}

TEST_F(Tools, Base64TextThatIsNotBase64ComesBackUnchanged) {
  Type(f.Edit4, "@@@!");
  f.Button7->click();
  EXPECT_EQ(Text(f.Edit1), "@@@!");
}

TEST_F(Tools, DecodedZeroByteEndsTheShownText) {
  Type(f.Edit4, "YQBi");  // 'a' 0 'b'
  f.Button7->click();
  EXPECT_EQ(Text(f.Edit1), "a");
  EXPECT_EQ(f.Edit1->text(), QStringLiteral("a"));
}

TEST_F(Tools, UpcaseTurnsTheDigestsUpperAndDigestingAgainLower) {
  QTest::keyClicks(f.Edit1, QStringLiteral("abc"));
  QTest::mouseClick(f.Button8, Qt::LeftButton);
  QTest::mouseClick(f.Button9, Qt::LeftButton);
  EXPECT_EQ(Text(f.Edit5), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Text(f.Edit6), "a9993e364706816aba3e25717850c26c9cd0d89d");
  for (int i = 0; i < 2; ++i) {
    f.Button10->click();
    f.Button11->click();
    EXPECT_EQ(Text(f.Edit5), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Text(f.Edit6), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  }
  f.Button8->click();
  f.Button9->click();
  EXPECT_EQ(Text(f.Edit5), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Text(f.Edit6), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Text(f.Edit1), "abc");  // the tools never touch their input
}

TEST_F(Tools, LongTextIsNotCutByTheEditBoxes) {
  const std::string typed(40000, 'x');  // its base64 is beyond a line edit's default limit
  Type(f.Edit1, typed);
  f.Button6->click();
  EXPECT_EQ(Text(f.Edit4).size(), 53336u);
  Type(f.Edit1, "");
  f.Button7->click();
  EXPECT_EQ(Text(f.Edit1), typed);
}

TEST_F(Tools, ExplanationLinesAndTabOrder) {
  const char* const lines[] = {
      "SJIS と書かれた欄に文字を入力後に、左側のボタンを押すことにより各文字コードへ変換することが",
      "できます。",
      "JIS/EUC/Base64 の右側の SJIS ボタンを押すことにより変換された文字を SJIS に変換し SJIS 欄",
      "に入力を行います。文字コードによってバイナリコードが含まれる場合がありますので注意して下さい。",
      "MD5/SHA1 は暗号化などに使われる入力文字を特定の長さに変換するアルゴリズムです。",
      "右側のボタンは小文字を大文字に変換するボタンです。",
  };
  for (int i = 0; i < 6; ++i) {
    auto* label = f.GroupBox1->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 2));
    ASSERT_NE(label, nullptr) << i;
    EXPECT_EQ(label->text(), QString::fromUtf8(lines[i])) << "Label" << i + 2;
  }

  // Tab walks the page's controls in the order they are listed on it.
  const std::vector<QWidget*> order = {f.Edit1,   f.Button1, f.Edit2,   f.Button3, f.Button4, f.Edit3,
                                       f.Button5, f.Button6, f.Edit4,   f.Button7, f.Button8, f.Edit5,
                                       f.Button9, f.Edit6,   f.Button10, f.Button11};
  std::vector<QWidget*> walked;
  QWidget* w = f.Edit1;
  do {
    if (w->focusPolicy() & Qt::TabFocus && f.TabSheet9->isAncestorOf(w)) walked.push_back(w);
    w = w->nextInFocusChain();
  } while (w != f.Edit1 && walked.size() < 64);
  std::vector<std::string> want, got;
  for (QWidget* x : order) want.push_back(x->objectName().toStdString());
  for (QWidget* x : walked) got.push_back(x->objectName().toStdString());
  EXPECT_EQ(got, want);
}
