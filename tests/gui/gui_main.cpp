// GoogleTest main for the window tests: one QApplication for all of them.
#include <gtest/gtest.h>

#include "app/Application.h"
#include "tests/temp_dir.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  // The window's settings go into this process's own folder, never the user's.
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((tarvo::testing::ProcessTempDir() / "config").string()));
  tarvo::TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
