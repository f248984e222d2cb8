// File names reach the load as the bytes the file system holds, from the
// command line and from a drop; Qt's own options are not skipped over; the
// open error reads right under a Japanese desktop.
#include <gtest/gtest.h>

#include <cerrno>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"
#include "views/pipeline.h"
#include "tests/ja_locale.h"
#include "tests/temp_dir.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

// テスト.eml in Shift-JIS: no valid UTF-8, so no QString holds it.
const std::string kSjisName = "\x83\x65\x83\x58\x83\x67.eml";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Names : ::testing::Test {
  tarvo::testing::TTempDir temp;
  std::string sjisPath;
  QStringList messages;
  void SetUp() override {
    sjisPath = (temp / kSjisName).string();
    tarvo::testing::WriteFile(sjisPath, ReadAll(TARVO_SOURCE_DIR "/samples/iso2022jp-plain.eml"));
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
  }
  void TearDown() override { SetErrorMessageHook({}); }

  // The window shows what the pipeline makes of the same bytes.
  void ExpectShowsSample(const TMainWindow& f) const {
    TMailViews want;
    tarvo::LoadMailFile(sjisPath, want);
    ASSERT_FALSE(want.Memo1.Empty());
    EXPECT_EQ(MemoLines(*f.Memo1).Lines, want.Memo1.Lines());
    EXPECT_EQ(MemoLines(*f.Memo2).Lines, want.Memo2.Lines());
    EXPECT_EQ(f.ListView1->rowCount(), static_cast<int>(want.ListView1.size()));
    EXPECT_TRUE(messages.isEmpty()) << messages.value(0).toStdString();
  }
};

void DropUrls(TMainWindow& f, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f, &enter);  // a drop goes where the drag entered
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f, &drop);
  QApplication::processEvents();  // the loads run after the drop
}

// A file URL as a file manager sends it: every byte outside ASCII percent-encoded.
QUrl FileUrl(const std::string& path) {
  return QUrl::fromEncoded(QByteArray("file://") + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

}  // namespace

TEST_F(Names, ShiftJisNameAsFirstArgument) {
  TMainWindow f(std::vector<std::string>{sjisPath});
  ExpectShowsSample(f);
}

TEST_F(Names, ShiftJisNameDropped) {
  TMainWindow f;
  const QUrl url = FileUrl(sjisPath);
  ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
  DropUrls(f, {url});
  ExpectShowsSample(f);
}

TEST_F(Names, DroppedNameWithSpacesAndUtf8) {
  const std::string path = (temp / "受信 メール #1.eml").string();
  fs::copy_file(sjisPath, path);
  TMainWindow f;
  DropUrls(f, {QUrl::fromLocalFile(QString::fromStdString(path))});
  EXPECT_FALSE(MemoLines(*f.Memo1).Empty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Names, QtOptionsDoNotShiftTheFirstArgument) {
  // `tarvo -reverse FILE`: the first argument is "-reverse", which names no
  // file: nothing is loaded, and the open error names it (Qt still takes the
  // option for itself).
  for (const char* option : {"-reverse", "-platform"}) {
    messages.clear();
    TMainWindow f(std::vector<std::string>{option, sjisPath});
    EXPECT_TRUE(MemoLines(*f.Memo1).Empty()) << option;
    EXPECT_EQ(f.ListView1->rowCount(), 0) << option;
    ASSERT_EQ(messages.size(), 1) << option;
    EXPECT_TRUE(messages[0].contains(QString::fromLatin1(option) + QStringLiteral("\". "))) << messages[0].toStdString();
  }
}

TEST_F(Names, OpenErrorInTheJapaneseLocale) {
  const auto ja = tarvo::testing::JapaneseLocale();
  if (!ja.ok) GTEST_SKIP() << ja.why;
  tarvo::testing::TLocaleEnv env("ja_JP.UTF-8", ja.locpath);
  TMainWindow f;
  const std::string missing = (temp / kSjisName).string() + ".missing";
  RunGuarded([&] { f.LoadMailFile(missing); });
  ASSERT_EQ(messages.size(), 1);
  const QString want = QStringLiteral("ファイル \"") + QString::fromStdString(temp.Path().string()) +
                       QStringLiteral("/テスト.eml.missing\". そのようなファイルやディレクトリはありません は開けません");
  EXPECT_EQ(messages[0], want);
}
