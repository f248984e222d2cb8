// THoverLabel: a label that restyles its font while the mouse pointer is over it.
#pragma once

#include <QColor>
#include <QLabel>

namespace tarvo {

class THoverLabel : public QLabel {
  Q_OBJECT
  // Stored in this order; none has a default, so all four are always saved.
  Q_PROPERTY(bool ChangeItalic READ ChangeItalic WRITE SetChangeItalic)
  Q_PROPERTY(bool ChangeBold READ ChangeBold WRITE SetChangeBold)
  Q_PROPERTY(bool ChangeUnderLine READ ChangeUnderLine WRITE SetChangeUnderLine)
  Q_PROPERTY(QColor ChangeColor READ ChangeColor WRITE SetChangeColor)

 public:
  explicit THoverLabel(QWidget* parent = nullptr);

  bool ChangeItalic() const { return FChangeItalic; }
  bool ChangeBold() const { return FChangeBold; }
  bool ChangeUnderLine() const { return FChangeUnderLine; }
  QColor ChangeColor() const { return FChangeColor; }
  void SetChangeItalic(bool value) { FChangeItalic = value; }
  void SetChangeBold(bool value) { FChangeBold = value; }
  void SetChangeUnderLine(bool value) { FChangeUnderLine = value; }
  void SetChangeColor(const QColor& value) { FChangeColor = value; }

  QColor FontColor() const;               // the text colour now shown
  void SetFontColor(const QColor& color);  // sets the text colour

 signals:
  void mouseEntered();  // the label's own enter event
  void mouseLeft();     // the label's own leave event
  void clicked();       // left button released over the label

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ApplyStyles(bool on);  // adds or removes each style whose flag is set

  bool FChangeItalic = false;
  bool FChangeBold = false;
  bool FChangeUnderLine = false;
  QColor FChangeColor{0, 0, 255};
  QColor FSavedColor;  // the colour the label had when the pointer entered
};

}  // namespace tarvo
