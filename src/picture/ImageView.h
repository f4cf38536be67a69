#pragma once

#include "picture/PictureKind.h"
#include "picture/RgbImage.h"
#include "picture/TargetFrame.h"

#include <QAbstractScrollArea>
#include <QPoint>

// The main view of the picture window: shows an image owned elsewhere (the editor's
// displayed image) at one display pixel per image pixel, with scroll bars when it does not
// fit, and the target frame over it. The pixels are drawn straight from the image's buffer,
// never copied. The frame sits in view coordinates; it follows a drag that starts inside it
// and is moved back inside the visible part of the view after every drag, scroll, resize
// and image change.
class CImageView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CImageView(QWidget* parent = nullptr);

  // The image to show (null: none). It must live while shown; call ImageChanged after its
  // pixels or size change.
  void SetImage(const CRgbImage* image);
  void ImageChanged();

  void SetFrameSize(PictureSize size);
  PictureSize FrameSize() const { return m_frameSize; }
  void SetFrameVisible(bool visible);
  bool IsFrameVisible() const { return m_frameVisible; }
  // The frame's top-left corner in view coordinates; setting clamps it.
  CTargetFrame::Position FramePosition() const { return m_frame; }
  void SetFramePosition(CTargetFrame::Position position);
  // The frame's top-left corner on the image (view coordinates plus the scroll offsets).
  CTargetFrame::Position FrameOnImage() const;
  // The part of the view that shows the image.
  PictureSize VisibleArea() const;

 signals:
  // The frame moved over the image (dragged, scrolled or clamped).
  void FrameChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  // Clamps the frame; signals when the part of the image under it may have changed.
  void Settle();
  void UpdateCursor(const QPoint& at);

  const CRgbImage* m_image = nullptr;
  PictureSize m_frameSize = kWallpaperSize;
  CTargetFrame::Position m_frame;
  bool m_frameVisible = false;
  bool m_dragging = false;
  QPoint m_dragFrom;
};
