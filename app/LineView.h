// TLineView, the memo for long texts: it decodes and paints only the lines
// on screen, so a message of a million lines shows at once. Selection, copy
// and the context menu work over the lines as they are. The first edit (a
// typed character, a paste, an input-method commit) turns the view into an
// ordinary editable document holding its text, with the cursor where the
// user was: every editing feature, undo and the input methods then come from
// Qt's editor, and only a memo the user edits pays for a document.
#pragma once
#include <QAbstractScrollArea>
#include <QHash>

#include <memory>
#include <unordered_map>
#include <vector>

#include "base/lines.h"

class QMenu;
class QPlainTextEdit;

class QPainter;

namespace tarvo {

// A place in the view: a row and a UTF-16 offset into its displayed text.
struct TTextPos {
  qsizetype row = 0;
  qsizetype col = 0;
  friend auto operator<=>(const TTextPos&, const TTextPos&) = default;
};

enum class TCursorMove { Left, Right, Up, Down, PageUp, PageDown, Home, End, Start, Finish, WordLeft, WordRight };

class TLineView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TLineView(QWidget* parent = nullptr);
  ~TLineView() override;

  // Shows the source; the cursor goes to the start, edits are dropped.
  void SetSource(std::shared_ptr<const TLineSource> source);
  void SetLines(TStringList lines, TTextKind kind);
  void Clear();

  // The lines as they stand, in the bytes of the source's kind; a line the
  // user did not edit comes back exactly as the source holds it.
  [[nodiscard]] TStringList Lines() const;
  [[nodiscard]] bool IsEmpty() const;
  [[nodiscard]] TTextKind Kind() const { return source_ ? source_->Kind() : TTextKind::Stored; }
  // Every line and, after the last line break, one empty row.
  [[nodiscard]] qsizetype RowCount() const;
  [[nodiscard]] QString RowText(qsizetype row) const;
  [[nodiscard]] QString SelectedText() const;
  [[nodiscard]] TTextPos CursorPos() const { return cursor_; }
  [[nodiscard]] TTextPos AnchorPos() const { return anchor_; }
  // The editor that took over at the first edit; null before it.
  [[nodiscard]] QPlainTextEdit* Editor() const { return editor_; }
  // The context menu: コピー, 貼り付け, すべて選択. The caller owns it.
  [[nodiscard]] std::unique_ptr<QMenu> CreateContextMenu();

  [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 public slots:
  void selectAll();
  void copy();
  void paste();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // One row laid out: its text and the x of every 64th offset, so a long
  // row costs a few steps to place a position in.
  struct TRow {
    QString text;
    std::vector<qreal> marks;
    qreal width = 0;
  };

  // Laid out on first use and kept for a while.
  [[nodiscard]] std::shared_ptr<const TRow> Row(qsizetype row) const;
  [[nodiscard]] qreal Advance(const QString& text, qsizetype col, qreal x) const;
  [[nodiscard]] qreal XOf(const TRow& row, qsizetype col) const;
  [[nodiscard]] qsizetype ColAt(const TRow& row, qreal x) const;
  // The visible part of a row at `y`, in runs between tabs and pictured characters.
  void DrawRowText(QPainter& p, const TRow& row, int y) const;
  [[nodiscard]] TTextPos PosAt(QPoint viewportPoint) const;
  [[nodiscard]] int LineHeight() const;
  [[nodiscard]] int FullRows() const;
  [[nodiscard]] qsizetype LastRow() const { return RowCount() - 1; }
  [[nodiscard]] qsizetype RowLength(qsizetype row) const;
  [[nodiscard]] QString Slice(TTextPos from, TTextPos to) const;
  [[nodiscard]] bool HasSelection() const { return anchor_ != cursor_; }
  [[nodiscard]] QRect CursorRect() const;  // viewport coordinates

  void ResetLayout();
  void UpdateScrollBars();
  void MoveCursor(TTextPos to, bool extend, bool keepGoalX = false);
  void EnsureCursorVisible();
  bool HandleMove(QKeyEvent* event);
  [[nodiscard]] TTextPos Moved(TTextPos from, TCursorMove move) const;
  void ExportSelection();
  // Hands the text to an editable document; returns it.
  QPlainTextEdit* StartEditing();
  [[nodiscard]] static bool IsEdit(const QKeyEvent* event);
  // Sends an event on to the editor; what it leaves comes back to us once.
  void Forward(QEvent* event);

  std::shared_ptr<const TLineSource> source_;
  TTextPos cursor_, anchor_;
  qreal goalX_ = -1;  // where up and down keep the cursor
  bool dragging_ = false;
  bool forwarding_ = false;
  mutable std::unordered_map<qsizetype, std::shared_ptr<const TRow>> rows_;
  mutable QHash<char32_t, qreal> advances_;
  mutable qreal contentWidth_ = 0;
  mutable bool widthGrew_ = false;
  QPlainTextEdit* editor_ = nullptr;
};

}  // namespace tarvo
