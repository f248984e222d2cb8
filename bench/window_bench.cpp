// The window (offscreen) loading a message: seconds from LoadMailFile until
// every memo has painted once, each on its own page, best of N runs.
#include <QApplication>
#include <QElapsedTimer>
#include <QStackedWidget>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>

#include "app/MainWindow.h"
#include "base/memory.h"

namespace {
// Brings the pages that hold `w` to the front, outermost last.
void Reveal(QWidget* w) {
  for (QWidget* page = w; page && page->parentWidget(); page = page->parentWidget())
    if (qobject_cast<QStackedWidget*>(page->parentWidget()))
      if (auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())) tabs->setCurrentWidget(page);
}
}  // namespace

int main(int argc, char** argv) {
  tarvo::ReserveHugePageHeap();  // as the program does
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  tarvo::TMainWindow form;
  form.show();
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    form.LoadMailFile(QString::fromLocal8Bit(argv[1]));
    for (const char* name : {"Memo1", "Memo3", "Memo2", "Memo4", "Memo6"}) {
      auto* memo = form.findChild<QWidget*>(QString::fromLatin1(name));
      Reveal(memo);
      QApplication::processEvents();  // the page switch lays the memo out
      memo->repaint();
    }
    best = std::min(best, t.nsecsElapsed() / 1e9);
  }
  std::printf("%.3f\n", best);
  return 0;
}
