// Text the sender wrote is shown as it is: a tool tip that looks like markup
// is not read as rich text (an <img> of /dev/zero once made the window
// allocate gigabytes on hover).
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

#include "app/MainWindow.h"

using namespace tarvo;

namespace {

// What the tool tip shown over a cell reads as, the way its label reads it.
QString HoverText(QTableWidget& table, int row, int column) {
  const QRect cell = table.visualItemRect(table.item(row, column));
  QHelpEvent hover(QEvent::ToolTip, cell.center(), table.viewport()->mapToGlobal(cell.center()));
  QApplication::sendEvent(table.viewport(), &hover);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->inherits("QTipLabel") || !w->isVisible()) continue;
    const QString shown = static_cast<QLabel*>(w)->text();
    QTextDocument doc;
    if (Qt::mightBeRichText(shown)) doc.setHtml(shown);
    else doc.setPlainText(shown);
    return doc.toPlainText();
  }
  return QStringLiteral("(no tool tip)");
}

}  // namespace

TEST(PlainText, ToolTipsOfACraftedPartAndDkimRowShowTheirText) {
  TMainWindow f{{QStringLiteral(TARVO_SOURCE_DIR "/tests/data/hostile/richtext-tooltips.eml")}};
  f.show();
  const QString img = QStringLiteral("<img src=\"/dev/zero\">");

  f.PageControl1->setCurrentIndex(6);
  ASSERT_EQ(f.ListView4->rowCount(), 2);
  const QString warning = f.ListView4->item(1, 8)->text();
  ASSERT_TRUE(warning.contains(img)) << warning.toStdString();
  EXPECT_TRUE(HoverText(*f.ListView4, 1, 8).startsWith(warning + QStringLiteral("\n") + warning + QStringLiteral("\nMD5: ")));

  f.PageControl1->setCurrentIndex(5);
  // The signature's selector, in whichever cell of its rows shows it.
  int row = -1, column = -1;
  for (int r = 0; r < f.ListView3->rowCount(); ++r)
    for (int c = 0; c < f.ListView3->columnCount(); ++c)
      if (f.ListView3->item(r, c) && f.ListView3->item(r, c)->text().contains(img)) row = r, column = c;
  ASSERT_GE(row, 0);
  const QString cell = f.ListView3->item(row, column)->text();
  EXPECT_TRUE(cell.contains(QStringLiteral("<b>sel</b>"))) << cell.toStdString();
  EXPECT_EQ(HoverText(*f.ListView3, row, column), cell);
}
