#include "app/HoverLabel.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPalette>

namespace tarvo {

THoverLabel::THoverLabel(QWidget* parent) : QLabel(parent) {}

QColor THoverLabel::FontColor() const { return palette().color(foregroundRole()); }

void THoverLabel::SetFontColor(const QColor& color) {
  QPalette pal = palette();
  pal.setColor(foregroundRole(), color);
  setPalette(pal);
}

void THoverLabel::ApplyStyles(bool on) {
  QFont f = font();
  if (FChangeBold) f.setBold(on);
  if (FChangeItalic) f.setItalic(on);
  if (FChangeUnderLine) f.setUnderline(on);
  setFont(f);
}

void THoverLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  emit mouseEntered();
  ApplyStyles(true);
  FSavedColor = FontColor();
  SetFontColor(FChangeColor);
  repaint();
}

// Styles are not saved: leaving removes every flagged style, even one the
// font had before the pointer came.
void THoverLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  emit mouseLeft();
  ApplyStyles(false);
  if (FSavedColor.isValid()) SetFontColor(FSavedColor);  // a leave with no enter before it
  repaint();
}

void THoverLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

}  // namespace tarvo
