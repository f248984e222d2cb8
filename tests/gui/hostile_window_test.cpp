// The hostile-message set in the window: every file loads without crash or
// hang, and the window shows what the pipeline gave.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTableWidget>

#include <filesystem>

#include "app/MainWindow.h"
#include "views/pipeline.h"

using namespace tarvo;

TEST(HostileWindow, EveryFileOfTheSetLoads) {
  TMainWindow form;
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(TARVO_SOURCE_DIR "/tests/data/hostile")) {
    SCOPED_TRACE(e.path().string());
    TMailViews views;
    LoadMailFile(e.path().string(), views);
    ASSERT_NO_THROW(form.LoadMailFile(QString::fromStdString(e.path().string())));
    EXPECT_EQ(form.ListView2->rowCount(), static_cast<int>(views.ListView2.size()));
    EXPECT_EQ(form.ListView1->rowCount(), static_cast<int>(views.ListView1.size()));
    EXPECT_EQ(form.Memo3->RowCount(), static_cast<qsizetype>(views.Memo3.Count()) + 1);
    ++files;
  }
  EXPECT_GE(files, 7);
}
