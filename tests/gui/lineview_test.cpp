// The line view: shows, selects and copies lines without holding a document,
// and hands the text to an editor at the first edit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "app/Display.h"
#include "app/LineView.h"

using namespace tarvo;

namespace {

// Counts the lines asked for, so a test can see what a paint decoded.
class TCountingLines final : public TLineSource {
 public:
  explicit TCountingLines(std::size_t n) : n_(n) {}
  std::size_t Count() const override { return n_; }
  std::string_view Line(std::size_t i) const override {
    ++asked;
    return i % 2 ? "odd line" : "even";
  }
  TTextKind Kind() const override { return TTextKind::Stored; }
  mutable std::size_t asked = 0;

 private:
  std::size_t n_;
};

TStringList List(std::vector<std::string> lines) {
  TStringList l;
  l.Lines = std::move(lines);
  return l;
}

// Stored lines of every shape: ASCII, CP932, UTF-8, bytes that start no character.
const std::vector<std::string> kMixed = {"Subject: abc", "\x93\xfa\x96\x7b\x8c\xea", "caf\xc3\xa9 \xe6\x97\xa5",
                                         "\xfd\xfe\x80 odd", "", "\ttab"};

struct View : ::testing::Test {
  TLineView v;
  void SetUp() override {
    v.resize(400, 300);
    v.show();
    v.setFocus();
    QApplication::clipboard()->clear();
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(&v, Qt::Key(key), mods); }
};

}  // namespace

TEST(LineToDisplay, StoredLinesAreUtf8OnlyWhenWellFormedWithAMultiByteCharacter) {
  const struct {
    std::string bytes;
    TTextKind kind;
    QString shown;
  } cases[] = {
      {"abc", TTextKind::Stored, QStringLiteral("abc")},
      {"\x93\xfa\x96\x7b", TTextKind::Stored, QStringLiteral("日本")},
      {"\xe6\x97\xa5\xe6\x9c\xac", TTextKind::Stored, QStringLiteral("日本")},
      {"caf\xc3\xa9", TTextKind::Stored, QStringLiteral("café")},
      {"\xc0\xaf", TTextKind::Stored, ToDisplay("\xc0\xaf")},              // overlong: not UTF-8
      {"\xed\xa0\x80", TTextKind::Stored, ToDisplay("\xed\xa0\x80")},      // a surrogate: not UTF-8
      {"\xe6\x97", TTextKind::Stored, ToDisplay("\xe6\x97")},              // cut short
      {"\xf4\x90\x80\x80", TTextKind::Stored, ToDisplay("\xf4\x90\x80\x80")},  // past U+10FFFF
      {"\xf0\x9f\x98\x80", TTextKind::Stored, QString::fromUtf8("\xf0\x9f\x98\x80")},
      {"\xe6\x97\xa5", TTextKind::Decoded, QStringLiteral("日")},
      {"\xef\x9c\x80", TTextKind::Decoded, QString(QChar(0xF700))},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineToDisplay(c.bytes, c.kind), c.shown) << c.bytes;
    // A shown line typed back gives the same bytes when no character is lost.
    if (c.kind == TTextKind::Decoded) {
      EXPECT_EQ(LineFromDisplay(c.shown, c.kind), c.bytes);
    }
  }
  EXPECT_EQ(LineFromDisplay(QStringLiteral("日本"), TTextKind::Stored), "\x93\xfa\x96\x7b");
  EXPECT_EQ(LineFromDisplay(QStringLiteral("한?"), TTextKind::Stored), "\xed\x95\x9c?");  // CP932 lacks it
}

TEST_F(View, UneditedLinesComeBackByteForByte) {
  SetMemoLines(v, List(kMixed));
  EXPECT_EQ(MemoLines(v).Lines, kMixed);
  EXPECT_EQ(v.RowCount(), static_cast<qsizetype>(kMixed.size()) + 1);
  EXPECT_EQ(v.RowText(1), QStringLiteral("日本語"));
  EXPECT_EQ(v.RowText(2), QStringLiteral("café 日"));
  EXPECT_FALSE(v.IsEmpty());
  v.Clear();
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.RowCount(), 1);
  EXPECT_TRUE(MemoLines(v).Empty());
}

TEST_F(View, PaintingDecodesOnlyTheRowsOnScreen) {
  auto lines = std::make_shared<TCountingLines>(2'500'000);
  v.SetSource(lines);
  lines->asked = 0;
  v.repaint();
  Key(Qt::Key_End, Qt::ControlModifier);
  v.repaint();
  EXPECT_EQ(v.verticalScrollBar()->value(), v.verticalScrollBar()->maximum());
  EXPECT_GT(v.verticalScrollBar()->maximum(), 2'400'000);
  EXPECT_EQ(v.CursorPos(), (TTextPos{2'500'000, 0}));
  EXPECT_GT(lines->asked, 0u);
  EXPECT_LT(lines->asked, 1000u);
}

TEST_F(View, KeysSelectAndCopy) {
  SetMemoLines(v, List({"first line", "second", "third"}));
  Key(Qt::Key_Right);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(v.SelectedText(), QStringLiteral("ir"));
  Key(Qt::Key_Down, Qt::ShiftModifier);
  Key(Qt::Key_End, Qt::ShiftModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("irst line\nsecond"));
  Key(Qt::Key_Left);  // collapses to the selection's start
  EXPECT_EQ(v.CursorPos(), (TTextPos{0, 1}));
  EXPECT_TRUE(v.SelectedText().isEmpty());
  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first line\nsecond\nthird\n"));
  Key(Qt::Key_Home, Qt::ControlModifier);
  Key(Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(v.CursorPos().row, 3);  // the page is taller than the text: to the last row
}

TEST_F(View, MouseDragSelectsAcrossLines) {
  SetMemoLines(v, List({"alpha", "beta", "gamma"}));
  const int h = v.fontMetrics().lineSpacing();
  QWidget* port = v.viewport();
  QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, QPoint(2, 4 + h / 2));
  QMouseEvent move(QEvent::MouseMove, QPointF(300, 4 + h + h / 2), port->mapToGlobal(QPointF(300, 4 + h + h / 2)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &move);
  QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, QPoint(300, 4 + h + h / 2));
  EXPECT_EQ(v.SelectedText(), QStringLiteral("alpha\nbeta"));
  QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 4 + 2 * h + h / 2));
  EXPECT_EQ(v.SelectedText(), QStringLiteral("alpha\nbeta\ngamma"));
}

TEST_F(View, ContextMenuCopiesAndSelectsAll) {
  SetMemoLines(v, List({"\x93\xfa\x96\x7b", "x"}));
  auto menu = v.CreateContextMenu();
  const QList<QAction*> actions = menu->actions();
  QStringList texts;
  for (QAction* a : actions)
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{QStringLiteral("コピー(&C)"), QStringLiteral("貼り付け(&P)"),
                                QStringLiteral("すべて選択(&A)")}));
  EXPECT_FALSE(actions[0]->isEnabled());  // nothing selected yet
  actions.back()->trigger();
  menu = v.CreateContextMenu();
  ASSERT_TRUE(menu->actions()[0]->isEnabled());
  menu->actions()[0]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("日本\nx\n"));
  EXPECT_EQ(v.Editor(), nullptr);  // selecting and copying are no edits
}

TEST_F(View, FirstKeyHandsTheTextToAnEditorWithTheCursorKept) {
  SetMemoLines(v, List(kMixed));
  Key(Qt::Key_Down);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  ASSERT_EQ(v.Editor(), nullptr);
  QTest::keyClicks(&v, QStringLiteral("Z"));
  ASSERT_NE(v.Editor(), nullptr);
  Key(Qt::Key_Return);
  std::vector<std::string> want = kMixed;
  want[1] = "\x93\xfa\x96\x7bZ";
  want.insert(want.begin() + 2, "\x8c\xea");
  EXPECT_EQ(MemoLines(v).Lines, want);  // the lines not edited keep their bytes, UTF-8 and odd bytes included
  v.SetLines(List({"again"}), TTextKind::Stored);
  EXPECT_EQ(v.Editor(), nullptr);
  EXPECT_EQ(MemoLines(v).Lines, (std::vector<std::string>{"again"}));
}

TEST_F(View, InputMethodComposesAndCommitsAtTheCursor) {
  v.SetLines(List({"\xe3\x81\x82", "end"}), TTextKind::Decoded);
  Key(Qt::Key_Down);
  EXPECT_TRUE(v.inputMethodQuery(Qt::ImEnabled).toBool());
  EXPECT_EQ(v.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("end"));
  EXPECT_EQ(v.inputMethodQuery(Qt::ImCursorPosition).toInt(), 0);
  const QRectF caret = v.inputMethodQuery(Qt::ImCursorRectangle).toRectF();
  EXPECT_TRUE(v.rect().contains(caret.center().toPoint()));
  EXPECT_GT(caret.top(), v.fontMetrics().lineSpacing());  // on the second row

  QInputMethodEvent compose(QStringLiteral("にほん"), {});
  QApplication::sendEvent(&v, &compose);
  ASSERT_NE(v.Editor(), nullptr);
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("日本"));
  QApplication::sendEvent(&v, &commit);
  EXPECT_EQ(MemoLines(v).Lines, (std::vector<std::string>{"\xe3\x81\x82", "\xe6\x97\xa5\xe6\x9c\xac" "end"}));
}
