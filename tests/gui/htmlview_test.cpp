// The HTML part view: the page for the browser, made safe, in a private folder.
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
    f.SetHtmlFolder(folder.string());
    f.SetUrlOpener([this](const QUrl& u) { opened.push_back(u); });
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
  }
  void TearDown() override { SetErrorMessageHook({}); }
  void Show(std::vector<std::string> lines) {
    TStringList l;
    l.Lines = std::move(lines);
    SetMemoLines(*f.Memo6, l, TTextKind::Decoded);
  }
  // The body of the page last handed to the browser.
  std::string Written() const {
    if (opened.empty()) return "(none)";
    const std::string page = ReadFile(opened.back().toLocalFile().toStdString());
    const std::size_t at = page.find("<body>");
    return at == std::string::npos ? page : page.substr(at + 6, page.rfind("</body>") - at - 6);
  }
};

}  // namespace

TEST_F(Html, CheckedDisarmsLinkTargetsAndTheViewStaysAsItIs) {
  Show({"<a href=\"http://x.jp\">HTTP://x.jp</a><script>alert(1)</script>", "日本 😀"});
  f.Button2->click();
  EXPECT_EQ(Written(), "<a href=\"dummy://x.jp\" rel=\"noopener noreferrer\">HTTP://x.jp</a>\n日本 😀\n");
  ASSERT_EQ(opened.size(), 1u);
  const fs::path file = opened[0].toLocalFile().toStdString();
  // In a folder of the run's own under the one given, readable by the user only.
  EXPECT_EQ(file.parent_path().parent_path(), folder);
  EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms::owner_all);
  EXPECT_EQ(MemoLines(*f.Memo6).Lines[0], "<a href=\"http://x.jp\">HTTP://x.jp</a><script>alert(1)</script>");
  f.CheckBox1->setChecked(false);
  f.Button2->click();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_NE(opened[0], opened[1]);  // a new file each time
  EXPECT_EQ(Written(), "<a href=\"http://x.jp\" rel=\"noopener noreferrer\">HTTP://x.jp</a>\n日本 😀\n");
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Html, AFolderThatCannotBeCreatedShowsTheCreateError) {
  f.SetHtmlFolder("/nonexistent/tarvo");
  Show({"x"});
  f.Button2->click();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ファイル \"/nonexistent/tarvo/tarvo-"))) << messages[0].toStdString();
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
  EXPECT_EQ(Written(), "<p>一</p>\n<p>二</p>\n");
  EXPECT_EQ(MemoLines(*f.Memo6).Lines, (std::vector<std::string>{"<p>一</p>", "<p>二</p>"}));
}
