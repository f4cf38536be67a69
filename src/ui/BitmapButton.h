#pragma once

#include "ui/ButtonImageSets.h"

#include <QAbstractButton>
#include <QBasicTimer>
#include <QImage>
#include <QRegion>
#include <array>

// A push button drawn with four pictures (normal, pressed, hover, disabled) whose shape is
// its picture: transparent pixels are not part of the button, neither for drawing nor for
// the mouse (events there go on to the window behind). Hovering starts with the first mouse move over the shape and
// ends, checked every 55 milliseconds, once the cursor has left it.
class CBitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  static constexpr int kHoverCheckMs = 55;
  // The pressed picture is drawn this far right and down; the shape is widened to match.
  static constexpr int kPressedOffset = 2;

  explicit CBitmapButton(QWidget* parent = nullptr);

  // Takes the pictures of the image number, sizes the button to them keeping its position,
  // and applies the shape; owner becomes the parent when given. False (the button stays as
  // it was) when the number has no pictures or they cannot be loaded.
  bool SetUp(int imageNumber, QWidget* owner = nullptr);

  int ImageNumber() const { return m_imageNumber; }
  bool IsHovered() const { return m_hover; }
  bool IsPressedFlag() const { return m_pressed; }
  // The picture state drawn now.
  CButtonImageSets::State DrawnState() const;
  // The shape in the button's own coordinates.
  const QRegion& Shape() const { return m_shape; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  // The pixels that belong to the picture: opaque, and not of the transparent colour.
  static QRegion ShapeOf(const QImage& picture, std::int32_t transparentColor);
  void EndHover();
  bool OutsideShape(const QMouseEvent* event) const;

  int m_imageNumber = -1;
  const ButtonImageSet* m_set = nullptr;
  QSize m_pictureSize;
  QRegion m_shape;
  QBasicTimer m_hoverTimer;
  bool m_hover = false;
  bool m_pressed = false;
};
