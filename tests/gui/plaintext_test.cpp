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
  EXPECT_TRUE(HoverText(*f.ListView4, 1, 8).startsWith(warning + QStringLiteral("\nMD5: ")));

  f.PageControl1->setCurrentIndex(5);
  int dkim = -1;
  for (int r = 0; r < f.ListView3->rowCount(); ++r)
    if (f.ListView3->item(r, 0)->text().startsWith(QStringLiteral("DKIM"))) dkim = r;
  ASSERT_GE(dkim, 0);
  const QString item = f.ListView3->item(dkim, 0)->text();
  EXPECT_EQ(item, QStringLiteral("DKIM (s=<b>sel</b>") + img + QStringLiteral(")"));
  EXPECT_EQ(HoverText(*f.ListView3, dkim, 0), item);
}
