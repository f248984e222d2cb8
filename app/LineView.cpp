#include "app/LineView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>

#include "app/Display.h"

namespace tarvo {

namespace {

constexpr int kMargin = 4;               // as a plain text editor's document margin
constexpr qsizetype kMarkStep = 64;      // offsets between two stored x positions
constexpr std::size_t kCachedRows = 512;  // rows kept laid out
constexpr int kTabColumns = 8;

bool IsHigh(QChar c) { return c.isHighSurrogate(); }
bool IsLow(QChar c) { return c.isLowSurrogate(); }

// Offsets never fall between the halves of a surrogate pair.
qsizetype SnapBack(const QString& s, qsizetype col) {
  return col > 0 && col < s.size() && IsLow(s[col]) && IsHigh(s[col - 1]) ? col - 1 : col;
}

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// A control character other than the tab is drawn as its control picture,
// its short name in small dimmed letters ("ESC", as U+241B shows it), never
// as a missing-glyph box: few fonts carry the pictures themselves. The text
// keeps the character, so a copy gives the bytes as they are.
bool IsPictured(QChar c) { return (c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F; }
QString Picture(QChar c) {
  static const char* const kNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
                                       "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                       "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  return QString::fromLatin1(c.unicode() == 0x7F ? "DEL" : kNames[c.unicode()]);
}
QFont PictureFont(const QFont& font) {
  QFont small = font;
  if (font.pixelSize() > 0) small.setPixelSize(std::max(6, font.pixelSize() * 2 / 3));
  else small.setPointSizeF(std::max(5.0, font.pointSizeF() * 2 / 3));
  return small;
}

using TMove = TCursorMove;

struct TKeyMove {
  QKeySequence::StandardKey move, select;
  TMove to;
};

constexpr TKeyMove kKeyMoves[] = {
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, TMove::Left},
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, TMove::Right},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, TMove::Up},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, TMove::Down},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, TMove::PageUp},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, TMove::PageDown},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, TMove::Home},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, TMove::End},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, TMove::Start},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, TMove::Finish},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, TMove::WordLeft},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, TMove::WordRight},
};

constexpr QKeySequence::StandardKey kEditKeys[] = {
    QKeySequence::Delete,          QKeySequence::DeleteEndOfWord,          QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfLine, QKeySequence::InsertParagraphSeparator, QKeySequence::InsertLineSeparator,
    QKeySequence::Cut,             QKeySequence::Paste,                    QKeySequence::Backspace,
};

}  // namespace

TLineView::TLineView(QWidget* parent) : QAbstractScrollArea(parent) {
  setAttribute(Qt::WA_InputMethodEnabled);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  ResetLayout();
}

TLineView::~TLineView() = default;

void TLineView::SetSource(std::shared_ptr<const TLineSource> source) {
  if (editor_) {
    setFocusProxy(nullptr);
    editor_->hide();
    editor_->deleteLater();  // its parent would free it only with us
    editor_ = nullptr;
  }
  source_ = std::move(source);
  cursor_ = anchor_ = {};
  goalX_ = -1;
  dragging_ = false;
  ResetLayout();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
}

void TLineView::SetLines(TStringList lines, TTextKind kind) {
  SetSource(std::make_shared<TStringListLines>(std::move(lines), kind));
}

void TLineView::Clear() { SetSource(nullptr); }

qsizetype TLineView::RowCount() const {
  return source_ ? static_cast<qsizetype>(source_->Count()) + 1 : 1;
}

bool TLineView::IsEmpty() const {
  if (editor_) return editor_->document()->isEmpty();
  return !source_ || source_->Count() == 0;
}

TStringList TLineView::Lines() const {
  TStringList out;
  const std::size_t count = source_ ? source_->Count() : 0;
  if (!editor_) {
    out.Lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) out.Add(std::string(source_->Line(i)));
    return out;
  }
  const TTextKind kind = source_ ? source_->Kind() : TTextKind::Stored;
  const QTextDocument* doc = editor_->document();
  const QTextBlock last = doc->lastBlock();
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    if (b == last && b.length() <= 1) break;  // the empty row after the last break
    const int original = b.userState();
    if (original >= 0 && static_cast<std::size_t>(original) < count)
      out.Add(std::string(source_->Line(static_cast<std::size_t>(original))));
    else
      // Shift+Enter types U+2028 inside a block: it ends a line too.
      for (const QString& piece : b.text().split(QChar::LineSeparator)) out.Add(LineFromDisplay(piece, kind));
  }
  return out;
}

// ---- layout ----

void TLineView::ResetLayout() {
  rows_.clear();
  advances_.clear();
  // Until a row is laid out its width is guessed from its bytes; the guess
  // only ever grows, so the scroll range never jumps back under the user.
  const std::size_t widest = source_ ? source_->MaxLineBytes() : 0;
  contentWidth_ = static_cast<qreal>(widest) * QFontMetricsF(font()).averageCharWidth() + 2 * kMargin;
  widthGrew_ = false;
  UpdateScrollBars();
}

int TLineView::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int TLineView::FullRows() const { return std::max(1, (viewport()->height() - kMargin) / LineHeight()); }

void TLineView::UpdateScrollBars() {
  const qsizetype rows = RowCount();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, static_cast<int>(std::min<qsizetype>(std::max<qsizetype>(0, rows - FullRows()), INT_MAX)));
  v->setPageStep(FullRows());
  v->setSingleStep(1);
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width();
  h->setRange(0, std::max(0, static_cast<int>(std::ceil(std::min(contentWidth_, 1e9))) - width));
  h->setPageStep(width);
  h->setSingleStep(20);
  widthGrew_ = false;
}

qreal TLineView::Advance(const QString& text, qsizetype col, qreal x) const {
  const QChar c = text[col];
  if (c == QLatin1Char('\t')) {
    const qreal tab = kTabColumns * Advance(QStringLiteral(" "), 0, 0);
    return tab - std::fmod(x, tab);
  }
  if (IsLow(c) && col > 0 && IsHigh(text[col - 1])) return 0;  // the pair's first half carries it
  if (IsPictured(c)) {
    auto it = advances_.constFind(c.unicode());
    if (it == advances_.constEnd())
      it = advances_.insert(c.unicode(), QFontMetricsF(PictureFont(font())).horizontalAdvance(Picture(c)) + 2);
    return *it;
  }
  const bool pair = IsHigh(c) && col + 1 < text.size() && IsLow(text[col + 1]);
  const char32_t key = pair ? QChar::surrogateToUcs4(c, text[col + 1]) : c.unicode();
  auto it = advances_.constFind(key);
  if (it == advances_.constEnd())
    it = advances_.insert(key, QFontMetricsF(font()).horizontalAdvance(text.mid(col, pair ? 2 : 1)));
  return *it;
}

std::shared_ptr<const TLineView::TRow> TLineView::Row(qsizetype row) const {
  if (const auto it = rows_.find(row); it != rows_.end()) return it->second;
  if (rows_.size() >= kCachedRows) rows_.clear();
  auto r = std::make_shared<TRow>();
  if (source_ && row >= 0 && static_cast<std::size_t>(row) < source_->Count())
    r->text = LineToDisplay(source_->Line(static_cast<std::size_t>(row)), source_->Kind());
  r->marks.reserve(static_cast<std::size_t>(r->text.size() / kMarkStep + 1));
  qreal x = 0;
  for (qsizetype k = 0; k < r->text.size(); ++k) {
    if (k % kMarkStep == 0) r->marks.push_back(x);
    x += Advance(r->text, k, x);
  }
  if (r->marks.empty() || r->text.size() % kMarkStep == 0) r->marks.push_back(x);
  r->width = x;
  if (x + 2 * kMargin > contentWidth_) {
    contentWidth_ = x + 2 * kMargin;
    widthGrew_ = true;
  }
  rows_.emplace(row, r);
  return r;
}

qreal TLineView::XOf(const TRow& row, qsizetype col) const {
  col = std::clamp<qsizetype>(col, 0, row.text.size());
  const qsizetype m = std::min(col / kMarkStep, static_cast<qsizetype>(row.marks.size()) - 1);
  qreal x = row.marks[static_cast<std::size_t>(m)];
  for (qsizetype k = m * kMarkStep; k < col; ++k) x += Advance(row.text, k, x);
  return x;
}

qsizetype TLineView::ColAt(const TRow& row, qreal x) const {
  if (x <= 0 || row.text.isEmpty()) return 0;
  const auto mark = std::upper_bound(row.marks.begin(), row.marks.end(), x) - row.marks.begin() - 1;
  qsizetype k = std::max<qsizetype>(0, mark) * kMarkStep;
  qreal at = row.marks[static_cast<std::size_t>(std::max<qsizetype>(0, mark))];
  while (k < row.text.size()) {
    const qreal a = Advance(row.text, k, at);
    if (at + a / 2 > x) break;
    at += a;
    ++k;
  }
  // Inside a pair, or at the second half of one: after the pair.
  if (k < row.text.size() && IsLow(row.text[k]) && k > 0 && IsHigh(row.text[k - 1])) ++k;
  return k;
}

TTextPos TLineView::PosAt(QPoint p) const {
  const int dy = p.y() - kMargin;
  const qsizetype rowsDown = dy >= 0 ? dy / LineHeight() : -((-dy + LineHeight() - 1) / LineHeight());
  const qsizetype row = std::clamp<qsizetype>(verticalScrollBar()->value() + rowsDown, 0, LastRow());
  const qreal x = p.x() - kMargin + horizontalScrollBar()->value();
  return {row, ColAt(*Row(row), x)};
}

qsizetype TLineView::RowLength(qsizetype row) const { return Row(row)->text.size(); }

QString TLineView::RowText(qsizetype row) const {
  if (row < 0 || row > LastRow()) return {};
  return Row(row)->text;
}

QRect TLineView::CursorRect() const {
  const int y = kMargin + static_cast<int>(cursor_.row - verticalScrollBar()->value()) * LineHeight();
  const qreal x = kMargin + XOf(*Row(cursor_.row), cursor_.col) - horizontalScrollBar()->value();
  return QRect(static_cast<int>(std::floor(x)), y, 1, LineHeight());
}

// ---- painting ----

void TLineView::DrawRowText(QPainter& p, const TRow& row, int y) const {
  const qreal hs = horizontalScrollBar()->value();
  const qreal baseline = QFontMetricsF(font()).ascent();
  const int width = viewport()->width();
  const QString& t = row.text;
  qsizetype c0 = SnapBack(t, std::max<qsizetype>(0, ColAt(row, hs - kMargin) - 1));
  const qsizetype c1 = std::min<qsizetype>(t.size(), ColAt(row, hs + width) + 2);
  while (c0 < c1) {
    if (t[c0] == QLatin1Char('\t')) {
      ++c0;
      continue;
    }
    if (IsPictured(t[c0])) {
      // Dimmed, so the picture is not taken for text of the message.
      p.save();
      QColor dim = p.pen().color();
      dim.setAlphaF(0.5);
      p.setPen(dim);
      p.setFont(PictureFont(font()));
      p.drawText(QPointF(kMargin + XOf(row, c0) - hs + 1, y + baseline), Picture(t[c0]));
      p.restore();
      ++c0;
      continue;
    }
    qsizetype c = c0;
    while (c < c1 && t[c] != QLatin1Char('\t') && !IsPictured(t[c])) ++c;
    if (c < t.size() && IsLow(t[c])) ++c;
    p.drawText(QPointF(kMargin + XOf(row, c0) - hs, y + baseline), t.mid(c0, c - c0));
    c0 = c;
  }
}

void TLineView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  p.setFont(font());
  const QRect clip = event->rect();
  const int lh = LineHeight();
  const qsizetype top = verticalScrollBar()->value();
  const qreal hs = horizontalScrollBar()->value();
  const TTextPos from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
  const qreal breakWidth = Advance(QStringLiteral(" "), 0, 0);

  for (qsizetype r = top + std::max(0, clip.top() - kMargin) / lh; r <= LastRow(); ++r) {
    const int y = kMargin + static_cast<int>(r - top) * lh;
    if (y > clip.bottom()) break;
    const auto row = Row(r);
    p.setPen(palette().color(QPalette::Text));
    DrawRowText(p, *row, y);
    if (from != to && r >= from.row && r <= to.row) {
      const qreal x0 = r == from.row ? XOf(*row, from.col) : 0;
      const qreal x1 = r == to.row ? XOf(*row, to.col) : row->width + breakWidth;
      const QRectF band(kMargin + x0 - hs, y, x1 - x0, lh);
      p.save();
      p.setClipRect(band);
      p.fillRect(band, palette().brush(QPalette::Highlight));
      p.setPen(palette().color(QPalette::HighlightedText));
      DrawRowText(p, *row, y);
      p.restore();
    }
  }
  if (hasFocus() && !editor_) p.fillRect(CursorRect(), palette().color(QPalette::Text));
  if (widthGrew_) UpdateScrollBars();
}

void TLineView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (editor_) editor_->setGeometry(rect());
  UpdateScrollBars();
}

void TLineView::scrollContentsBy(int, int) { viewport()->update(); }

void TLineView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    ResetLayout();
    viewport()->update();
  }
}

void TLineView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TLineView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

// ---- cursor and selection ----

void TLineView::MoveCursor(TTextPos to, bool extend, bool keepGoalX) {
  cursor_ = to;
  if (!extend) anchor_ = to;
  if (!keepGoalX) goalX_ = -1;
  EnsureCursorVisible();
  viewport()->update();
  if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

void TLineView::EnsureCursorVisible() {
  QScrollBar* v = verticalScrollBar();
  if (cursor_.row < v->value()) v->setValue(static_cast<int>(cursor_.row));
  else if (cursor_.row >= v->value() + FullRows()) v->setValue(static_cast<int>(cursor_.row - FullRows() + 1));
  const qreal x = XOf(*Row(cursor_.row), cursor_.col);
  if (widthGrew_) UpdateScrollBars();
  QScrollBar* h = horizontalScrollBar();
  const int width = viewport()->width() - 2 * kMargin;
  if (x < h->value()) h->setValue(static_cast<int>(std::max<qreal>(0, x - width / 4)));
  else if (x > h->value() + width) h->setValue(static_cast<int>(x - width + width / 4));
}

TTextPos TLineView::Moved(TTextPos at, TMove move) const {
  const auto row = Row(at.row);
  const QString& t = row->text;
  auto vertical = [&](qsizetype rows) {
    const qsizetype to = std::clamp<qsizetype>(at.row + rows, 0, LastRow());
    return TTextPos{to, ColAt(*Row(to), goalX_)};
  };
  switch (move) {
    case TMove::Left:
      if (at.col > 0) return {at.row, SnapBack(t, at.col - 1)};
      return at.row > 0 ? TTextPos{at.row - 1, RowLength(at.row - 1)} : at;
    case TMove::Right:
      if (at.col < t.size()) return {at.row, at.col + (IsHigh(t[at.col]) && at.col + 1 < t.size() ? 2 : 1)};
      return at.row < LastRow() ? TTextPos{at.row + 1, 0} : at;
    case TMove::Up: return vertical(-1);
    case TMove::Down: return vertical(1);
    case TMove::PageUp: return vertical(-FullRows());
    case TMove::PageDown: return vertical(FullRows());
    case TMove::Home: return {at.row, 0};
    case TMove::End: return {at.row, t.size()};
    case TMove::Start: return {};
    case TMove::Finish: return {LastRow(), RowLength(LastRow())};
    case TMove::WordLeft: {
      if (at.col == 0) return Moved(at, TMove::Left);
      qsizetype c = at.col;
      while (c > 0 && !IsWordChar(t[c - 1])) --c;
      while (c > 0 && IsWordChar(t[c - 1])) --c;
      return {at.row, c};
    }
    case TMove::WordRight: {
      if (at.col == t.size()) return Moved(at, TMove::Right);
      qsizetype c = at.col;
      while (c < t.size() && IsWordChar(t[c])) ++c;
      while (c < t.size() && !IsWordChar(t[c])) ++c;
      return {at.row, c};
    }
  }
  return at;
}

bool TLineView::HandleMove(QKeyEvent* event) {
  for (const TKeyMove& k : kKeyMoves) {
    const bool select = event->matches(k.select);
    if (!select && !event->matches(k.move)) continue;
    const bool vertical = k.to == TMove::Up || k.to == TMove::Down || k.to == TMove::PageUp || k.to == TMove::PageDown;
    if (vertical && goalX_ < 0) goalX_ = XOf(*Row(cursor_.row), cursor_.col);
    TTextPos to = Moved(cursor_, k.to);
    // Without shift a selection collapses to its end in the move's direction.
    if (!select && HasSelection() && (k.to == TMove::Left || k.to == TMove::Right))
      to = k.to == TMove::Left ? std::min(anchor_, cursor_) : std::max(anchor_, cursor_);
    MoveCursor(to, select, vertical);
    return true;
  }
  return false;
}

QString TLineView::Slice(TTextPos from, TTextPos to) const {
  if (from.row == to.row) return Row(from.row)->text.mid(from.col, to.col - from.col);
  QString out = Row(from.row)->text.mid(from.col);
  out += QLatin1Char('\n');
  // Rows between are decoded straight, not kept laid out.
  for (qsizetype r = from.row + 1; r < to.row; ++r) {
    if (source_ && static_cast<std::size_t>(r) < source_->Count())
      out += LineToDisplay(source_->Line(static_cast<std::size_t>(r)), source_->Kind());
    out += QLatin1Char('\n');
  }
  out += Row(to.row)->text.left(to.col);
  return out;
}

QString TLineView::SelectedText() const {
  if (editor_) return editor_->textCursor().selection().toPlainText();
  return Slice(std::min(anchor_, cursor_), std::max(anchor_, cursor_));
}

void TLineView::selectAll() {
  if (editor_) {
    editor_->selectAll();
    return;
  }
  anchor_ = {};
  cursor_ = {LastRow(), RowLength(LastRow())};
  viewport()->update();
  ExportSelection();
}

void TLineView::copy() {
  if (editor_) editor_->copy();
  else if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

void TLineView::paste() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) return;
  StartEditing()->paste();
}

void TLineView::ExportSelection() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->supportsSelection() && HasSelection()) clipboard->setText(SelectedText(), QClipboard::Selection);
}

// ---- mouse ----

void TLineView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  MoveCursor(PosAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
  dragging_ = true;
}

void TLineView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) MoveCursor(PosAt(event->position().toPoint()), true);
}

void TLineView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  ExportSelection();
}

void TLineView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const TTextPos at = PosAt(event->position().toPoint());
  const QString& t = Row(at.row)->text;
  qsizetype b = at.col, e = at.col;
  while (b > 0 && IsWordChar(t[b - 1])) --b;
  while (e < t.size() && IsWordChar(t[e])) ++e;
  MoveCursor({at.row, b}, false);
  MoveCursor({at.row, e}, true);
  ExportSelection();
}

void TLineView::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu = CreateContextMenu();
  menu->exec(event->globalPos());
}

std::unique_ptr<QMenu> TLineView::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>();
  QAction* copyAction = menu->addAction(QStringLiteral("コピー(&C)"), this, &TLineView::copy);
  copyAction->setObjectName(QStringLiteral("edit-copy"));
  copyAction->setEnabled(editor_ ? editor_->textCursor().hasSelection() : HasSelection());
  QAction* pasteAction = menu->addAction(QStringLiteral("貼り付け(&P)"), this, &TLineView::paste);
  pasteAction->setObjectName(QStringLiteral("edit-paste"));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  pasteAction->setEnabled(data && data->hasText());
  menu->addSeparator();
  QAction* all = menu->addAction(QStringLiteral("すべて選択(&A)"), this, &TLineView::selectAll);
  all->setObjectName(QStringLiteral("select-all"));
  all->setEnabled(!IsEmpty());
  return menu;
}

// ---- keys and input methods ----

bool TLineView::IsEdit(const QKeyEvent* event) {
  for (QKeySequence::StandardKey k : kEditKeys)
    if (event->matches(k)) return true;
  // Ctrl+Tab is the window's: it moves between the pages.
  if (event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ControlModifier)) return true;
  if (event->key() == Qt::Key_Backspace) return true;
  const QString text = event->text();
  if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) return false;
  return text.front().isPrint() || text.front().isHighSurrogate();
}

bool TLineView::event(QEvent* event) {
  // Our keys win over the window's shortcuts while we have the focus.
  if (event->type() == QEvent::ShortcutOverride && !editor_) {
    auto* key = static_cast<QKeyEvent*>(event);
    bool ours = key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) || IsEdit(key);
    for (const TKeyMove& k : kKeyMoves) ours = ours || key->matches(k.move) || key->matches(k.select);
    if (ours) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void TLineView::keyPressEvent(QKeyEvent* event) {
  if (forwarding_) {  // the editor left it, and it came back up to us
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  if (editor_) {
    Forward(event);
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (event->matches(QKeySequence::Copy)) {
    copy();
  } else if (HandleMove(event)) {
  } else if (IsEdit(event)) {
    StartEditing();
    Forward(event);
  } else {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

void TLineView::inputMethodEvent(QInputMethodEvent* event) {
  if (forwarding_) return;
  if (!editor_ && event->commitString().isEmpty() && event->preeditString().isEmpty()) {
    event->accept();
    return;
  }
  StartEditing();
  Forward(event);
}

void TLineView::Forward(QEvent* event) {
  forwarding_ = true;
  QCoreApplication::sendEvent(editor_, event);
  forwarding_ = false;
}

QVariant TLineView::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (editor_) return editor_->inputMethodQuery(query);
  switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImFont: return font();
    case Qt::ImCursorRectangle: return QRectF(CursorRect().translated(viewport()->pos()));
    case Qt::ImCursorPosition: return static_cast<int>(cursor_.col);
    case Qt::ImAnchorPosition: return static_cast<int>(anchor_.row == cursor_.row ? anchor_.col : cursor_.col);
    case Qt::ImSurroundingText: return RowText(cursor_.row);
    case Qt::ImCurrentSelection: return anchor_.row == cursor_.row ? SelectedText() : QString();
    default: return QAbstractScrollArea::inputMethodQuery(query);
  }
}

QPlainTextEdit* TLineView::StartEditing() {
  if (editor_) return editor_;
  auto* editor = new QPlainTextEdit(this);  // owned by this view
  editor->setObjectName(objectName() + QStringLiteral("Editor"));
  editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  editor->setHorizontalScrollBarPolicy(horizontalScrollBarPolicy());
  editor->setVerticalScrollBarPolicy(verticalScrollBarPolicy());
  editor->setFrameShape(frameShape());
  editor->setTabStopDistance(kTabColumns * Advance(QStringLiteral(" "), 0, 0));

  const std::size_t count = source_ ? source_->Count() : 0;
  QString text;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i) bytes += source_->Line(i).size() + 1;
  text.reserve(static_cast<qsizetype>(bytes));
  for (std::size_t i = 0; i < count; ++i) {
    text += LineToDisplay(source_->Line(i), source_->Kind());
    text += QLatin1Char('\n');
  }
  editor->setPlainText(text);
  // Each block remembers the line it shows until it is changed, so an
  // unedited line reads back with the bytes it came with.
  QTextDocument* doc = editor->document();
  int line = 0;
  for (QTextBlock b = doc->begin(); b.isValid() && static_cast<std::size_t>(line) < count; b = b.next())
    b.setUserState(line++);
  connect(doc, &QTextDocument::contentsChange, editor, [doc](int at, int, int added) {
    for (QTextBlock b = doc->findBlock(at); b.isValid() && b.position() <= at + added; b = b.next())
      b.setUserState(-1);
  });

  auto offset = [doc](TTextPos p) { return doc->findBlockByNumber(static_cast<int>(p.row)).position() + p.col; };
  QTextCursor c(doc);
  c.setPosition(static_cast<int>(offset(anchor_)));
  c.setPosition(static_cast<int>(offset(cursor_)), QTextCursor::KeepAnchor);
  editor->setTextCursor(c);
  editor->setGeometry(rect());
  editor->show();
  editor->raise();
  editor->verticalScrollBar()->setValue(verticalScrollBar()->value());
  editor->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
  const bool focused = hasFocus();
  setFocusProxy(editor);
  if (focused) editor->setFocus(Qt::OtherFocusReason);
  editor_ = editor;
  rows_.clear();
  return editor_;
}

}  // namespace tarvo
