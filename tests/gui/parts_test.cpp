// The attachments page: the list, saving with the overwrite question, and a
// text part shown on the page.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../parts_mail.h"
#include "app/Application.h"
#include "app/MainWindow.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct PartsPage : ::testing::Test {
  TMainWindow f;
  fs::path folder = fs::temp_directory_path() /
                    (std::string("tarvo_partspage_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     "_" + std::to_string(::getpid()));
  QStringList messages, asked;
  TMainWindow::TOverwriteAnswer answer = TMainWindow::TOverwriteAnswer::Skip;

  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path mail = folder / "letter.eml";
    std::ofstream(mail, std::ios::binary) << tarvo::testing::LetterWithAttachments();
    fs::create_directories(folder / "out");
    f.SetSaveFolderChooser([this] { return QString::fromStdString((folder / "out").string()); });
    f.SetOverwriteAsker([this](const QString& path) {
      asked.push_back(path);
      return answer;
    });
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
    f.LoadMailFile(QString::fromStdString(mail.string()));
  }
  void TearDown() override {
    SetErrorMessageHook({});
    fs::remove_all(folder);
  }
  void Select(int row) { f.ListView4->selectRow(row); }
};

}  // namespace

TEST_F(PartsPage, ListsEveryPartOnItsOwnTab) {
  EXPECT_EQ(f.PageControl1->tabText(f.PageControl1->count() - 1), QStringLiteral("添付ファイル"));
  ASSERT_EQ(f.ListView4->rowCount(), 3);
  EXPECT_EQ(f.ListView4->item(0, 2)->text(), QStringLiteral("text/plain"));
  EXPECT_EQ(f.ListView4->item(1, 1)->text(), QStringLiteral("report.pdf"));
  EXPECT_EQ(f.ListView4->item(2, 1)->text(), QStringLiteral("写真.jpg"));
  ASSERT_EQ(tarvo::testing::PdfBytes().size(), 3016u);
  EXPECT_EQ(f.ListView4->item(1, 6)->text(), QStringLiteral("3,016"));
  EXPECT_TRUE(f.ListView4->item(1, 7)->toolTip().contains(QStringLiteral("\nMD5: ")));
  EXPECT_TRUE(f.ListView4->item(1, 1)->toolTip().startsWith(QStringLiteral("report.pdf\n")));
  Select(1);
  EXPECT_TRUE(f.Memo8->toPlainText().contains(QString::fromStdString(f.Parts()[1].Sha1)));
}

TEST_F(PartsPage, SaveAsWritesTheSendersBytesUnderTheChosenName) {
  QStringList suggested;
  QString chosen = QString::fromStdString((folder / "out" / "写真.jpg").string());
  f.SetSaveFileChooser([&](const QString& name) {
    suggested.push_back(name);
    return chosen;
  });
  EXPECT_EQ(f.Button12->text(), QStringLiteral("名前を付けて保存…"));
  EXPECT_EQ(f.Button13->text(), QStringLiteral("すべて保存…"));
  Select(2);
  f.Button12->click();
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  EXPECT_EQ(suggested, QStringList{QStringLiteral("写真.jpg")});
  EXPECT_TRUE(ReadFile(folder / "out" / "写真.jpg") == tarvo::testing::JpegBytes());
  EXPECT_TRUE(asked.isEmpty());

  // An existing file is replaced only when the user says so.
  std::ofstream(folder / "out" / "写真.jpg", std::ios::trunc) << "changed";
  answer = TMainWindow::TOverwriteAnswer::Skip;
  f.Button12->click();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(ReadFile(folder / "out" / "写真.jpg") == std::string("changed"));
  answer = TMainWindow::TOverwriteAnswer::Overwrite;
  f.Button12->click();
  EXPECT_TRUE(ReadFile(folder / "out" / "写真.jpg") == tarvo::testing::JpegBytes());

  // Ctrl+S is the same button; another name is another file.
  chosen = QString::fromStdString((folder / "out" / "copy.jpg").string());
  f.SavePart1->trigger();
  EXPECT_TRUE(ReadFile(folder / "out" / "copy.jpg") == tarvo::testing::JpegBytes());
}

TEST_F(PartsPage, SaveAllWritesTheNamedParts) {
  f.Button13->click();
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  EXPECT_TRUE(ReadFile(folder / "out" / "report.pdf") == tarvo::testing::PdfBytes());
  EXPECT_TRUE(ReadFile(folder / "out" / "写真.jpg") == tarvo::testing::JpegBytes());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 2);
}

TEST_F(PartsPage, SaveErrorIsTheCreateError) {
  f.SetSaveFileChooser([this](const QString& name) { return QString::fromStdString((folder / "missing").string()) + "/" + name; });
  Select(1);
  f.Button12->click();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("を作成できません"))) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(QStringLiteral("report.pdf")));
}

TEST_F(PartsPage, DoubleClickShowsATextPartDecoded) {
  emit f.ListView4->cellDoubleClicked(0, 1);
  EXPECT_EQ(f.Memo9->toPlainText(), QStringLiteral("こんにちは\n"));
  EXPECT_TRUE(f.Memo9->isReadOnly());
  emit f.ListView4->cellDoubleClicked(1, 1);
  EXPECT_TRUE(f.Memo9->toPlainText().contains(QStringLiteral("テキストではない")));
}
