// The envelope check: a click or a key in the header list shows the selected
// field's explanation in Memo5.
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "app/Application.h"
#include "app/Display.h"
#include "app/MainWindow.h"
#include "mail/explain.h"

namespace tarvo {

namespace {
std::string CellBytes(const QTableWidget& list, int row, int column) {
  const QTableWidgetItem* item = list.item(row, column);
  if (!item) return {};
  const QByteArray bytes = item->data(Qt::UserRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
}  // namespace

void TMainWindow::ShowHeaderExplanation() {
  Memo5->clear();
  const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
  if (selected.isEmpty()) return;
  const int row = selected.front().row();
  TStringList lines;
  const std::string value = CellBytes(*ListView1, row, 1);
  // A filter's stamp shows its fields and their meanings.
  for (const TFilterStamp& s : filters_)
    if (s.Row == static_cast<std::size_t>(row)) lines.Lines = FilterExplanationLines(s, value);
  if (lines.Lines.empty()) lines.Lines = HeaderExplanationLines(CellBytes(*ListView1, row, 0), value, textContext_);
  SetMemoLines(*Memo5, lines, TTextKind::Decoded);
}

void TMainWindow::ListView1Click() { ShowHeaderExplanation(); }
void TMainWindow::ListView1KeyUp() { ShowHeaderExplanation(); }

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The lists' columns share out the width they have.
  // (Events come while the pages are still being built: no list is assumed.)
  if (event->type() == QEvent::Resize && ListView2 && watched == ListView2->viewport())
    FitRouteColumns();
  if (event->type() == QEvent::Resize && ListView4 && watched == ListView4->viewport())
    FitPartColumns();
  if (!ListView1) return QMainWindow::eventFilter(watched, event);
  if (event->type() == QEvent::Resize && watched == ListView1->viewport())
    FitColumns(*ListView1, QStringLiteral("headers"));
  if (watched == ListView1 && event->type() == QEvent::KeyRelease) {
    RunGuarded([this] { ListView1KeyUp(); });
  } else if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonPress) {
    // A press on no row clears the selection, as in the system's list view.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (!ListView1->indexAt(mouse->position().toPoint()).isValid()) ListView1->clearSelection();
  } else if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) RunGuarded([this] { ListView1Click(); });
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tarvo
