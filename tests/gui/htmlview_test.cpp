// The HTML part view: links made harmless and work.html for the browser.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"
#include "tests/temp_dir.h"

using namespace tarvo;
namespace fs = std::filesystem;

TEST(ReplaceHttpWithDummy, EveryHttpInAnyCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"<a href=\"http://example.jp/\">", "<a href=\"dummy://example.jp/\">"},
      {"https://a", "dummys://a"},
      {"HTTPS://A", "dummyS://A"},  // the letters after the four stay as they were
      {"hTtP", "dummy"},
      {"hhttpp", "hdummyp"},
      {"httphttp", "dummydummy"},
      {"xhttp", "xdummy"},
      {"a http b", "a dummy b"},
      {"htt", "htt"},
      {"h", "h"},
      {"", ""},
      {"htp", "htp"},
      {"\x93\xfa http", "\x93\xfa dummy"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(ReplaceHttpWithDummy(in), want) << in;
}

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Html : ::testing::Test {
  TMainWindow f;
  // One folder per test: ctest runs tests side by side.
  tarvo::testing::TTempDir temp;
  fs::path folder = temp.Path();
  std::vector<QUrl> opened;
  QStringList messages;
  void SetUp() override {
    f.SetHtmlFolder(folder.string() + "/");
    f.SetUrlOpener([this](const QUrl& u) { opened.push_back(u); });
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
  }
  void TearDown() override { SetErrorMessageHook({}); }
  void Show(std::vector<std::string> lines) {
    TStringList l;
    l.Lines = std::move(lines);
    SetMemoLines(*f.Memo6, l, TTextKind::Decoded);
  }
  std::string Written() const { return ReadFile(folder / "work.html"); }
};

}  // namespace

TEST_F(Html, CheckedWritesTheLinesWithDummyLinks) {
  Show({"<a href=\"http://x.jp\">", "日本 HTTPS://y", "", "😀 café 中文 plain"});
  f.Button2->click();
  // UTF-8 with a byte-order mark, whatever the page's own charset.
  EXPECT_EQ(Written(), "\xEF\xBB\xBF<a href=\"dummy://x.jp\">\r\n日本 dummyS://y\r\n\r\n😀 café 中文 plain\r\n");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString((folder / "work.html").string())));
  EXPECT_EQ(MemoLines(*f.Memo6).Lines[0], "<a href=\"http://x.jp\">");  // the view itself is untouched
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Html, UncheckedWritesTheLinesAsTheyStand) {
  Show({"<meta charset=\"shift_jis\">http://x.jp", "日"});
  f.CheckBox1->setChecked(false);
  f.Button2->click();
  EXPECT_EQ(Written(), "\xEF\xBB\xBF<meta charset=\"shift_jis\">http://x.jp\r\n日\r\n");
}

TEST_F(Html, EditsAreWrittenAndASecondClickReplacesTheFile) {
  Show({"<p>one</p>", "<p>two</p>"});
  f.Button2->click();
  EXPECT_EQ(Written(), "\xEF\xBB\xBF<p>one</p>\r\n<p>two</p>\r\n");
  QTest::keyClick(f.Memo6, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClicks(f.Memo6, QStringLiteral("http:"));
  QTest::keyClick(f.Memo6, Qt::Key_End, Qt::ControlModifier);
  QInputMethodEvent commit;  // what an input method sends when the user confirms
  commit.setCommitString(QStringLiteral("末尾"));
  QApplication::sendEvent(f.Memo6, &commit);
  f.Button2->click();
  EXPECT_EQ(Written(), "\xEF\xBB\xBF" "dummy:<p>one</p>\r\n<p>two</p>\r\n末尾\r\n");
  Show({});
  f.Button2->click();
  EXPECT_TRUE(fs::exists(folder / "work.html"));
  EXPECT_EQ(Written(), "\xEF\xBB\xBF");
  EXPECT_EQ(opened.size(), 3u);
}

TEST_F(Html, AFileThatCannotBeCreatedShowsTheCreateError) {
  f.SetHtmlFolder("/nonexistent/tarvo/");
  Show({"x"});
  f.Button2->click();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ファイル \"/nonexistent/tarvo/work.html\". ")))
      << messages[0].toStdString();
  EXPECT_TRUE(messages[0].endsWith(QStringLiteral(" を作成できません")));
  EXPECT_TRUE(opened.empty());
}

TEST_F(Html, ShiftEnterIsALineBreakInWorkHtml) {
  Show({});
  f.show();
  f.Memo6->setFocus();
  QTest::keyClicks(f.Memo6, QStringLiteral("<p>"));  // the first edit hands the text to an editor
  QPlainTextEdit* editor = f.Memo6->Editor();
  ASSERT_NE(editor, nullptr);
  editor->insertPlainText(QStringLiteral("一</p>"));
  QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);  // types U+2028, not a new block
  editor->insertPlainText(QStringLiteral("<p>二</p>"));
  ASSERT_TRUE(editor->document()->toRawText().contains(QChar::LineSeparator));
  f.CheckBox1->setChecked(false);
  f.Button2->click();
  EXPECT_EQ(Written(), "\xEF\xBB\xBF<p>一</p>\r\n<p>二</p>\r\n");
  EXPECT_EQ(MemoLines(*f.Memo6).Lines, (std::vector<std::string>{"<p>一</p>", "<p>二</p>"}));
}
