// The application-wide error handler.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include "app/Application.h"
#include "base/errors.h"

using namespace tarvo;

namespace {

class Thrower : public QObject {
 public:
  std::function<void()> what;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) what();
    return QObject::event(e);
  }
};

struct Capture {
  QStringList messages;
  Capture() {
    SetErrorMessageHook([this](const QString& m) { messages.push_back(m); });
  }
  ~Capture() { SetErrorMessageHook({}); }
};

}  // namespace

TEST(Application, AnExceptionFromAnEventIsShownAndStopsThere) {
  ASSERT_NE(dynamic_cast<TApplication*>(QCoreApplication::instance()), nullptr);
  Capture capture;
  Thrower t;
  t.what = [] { throw EConvertError::NotAnInteger("x1"); };
  QEvent e(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&t, &e));
  t.what = [] { throw 42; };
  QCoreApplication::sendEvent(&t, &e);
  t.what = [] {};
  QCoreApplication::sendEvent(&t, &e);  // no error, no message
  ASSERT_EQ(capture.messages.size(), 2);
  EXPECT_EQ(capture.messages[0], QStringLiteral("'x1' は整数ではありません"));
  EXPECT_EQ(capture.messages[1], QStringLiteral("不明なエラーが発生しました"));
}

TEST(Application, RunGuardedShowsAndSwallows) {
  Capture capture;
  bool after = false;
  RunGuarded([] { throw EFOpenError::Make("/nonexistent/a.eml", ENOENT); });
  RunGuarded([&] { after = true; });
  EXPECT_TRUE(after);
  ASSERT_EQ(capture.messages.size(), 1);
  EXPECT_TRUE(capture.messages[0].startsWith(QStringLiteral("ファイル \"/nonexistent/a.eml\". "))) << capture.messages[0].toStdString();
  EXPECT_TRUE(capture.messages[0].endsWith(QStringLiteral(" は開けません")));
}
