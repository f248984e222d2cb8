// The window (offscreen) loading a message: seconds from LoadMailFile until
// every view is filled, best of N runs.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

#include "app/Unit1.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: window_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  tarvo::TForm1 form;
  form.show();
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    form.LoadMailFile(QString::fromLocal8Bit(argv[1]));
    QApplication::processEvents();  // let the views lay out what they got
    best = std::min(best, t.nsecsElapsed() / 1e9);
  }
  std::printf("%.3f\n", best);
  return 0;
}
