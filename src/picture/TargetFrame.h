#pragma once

#include "picture/PictureKind.h"
#include "picture/RgbImage.h"

// The frame of the target size that lies over the displayed image and chooses what is sent.
class CTargetFrame {
 public:
  struct Position {
    int x = 0;
    int y = 0;
    friend bool operator==(const Position&, const Position&) = default;
  };

  // The part of a view that shows the image: the view's size, less a scroll bar's extent
  // on each side where the image does not fit and the view shows a scroll bar.
  static PictureSize VisibleArea(PictureSize view, PictureSize image, int scrollBarExtent);

  // Moves the frame back inside the visible area: a frame reaching past the right or
  // bottom edge ends at that edge, and no coordinate is negative (a frame larger than the
  // area stays at 0).
  static Position Clamp(Position frame, PictureSize frameSize, PictureSize visible);

  // True when the point lies inside the frame (a drag starts only there).
  static bool Contains(Position frame, PictureSize frameSize, int x, int y);

  // The send preview: the pixels of the displayed image under a frame whose top-left
  // corner is at origin (image coordinates), copied one for one onto a white image of the
  // target size. Parts of the frame outside the image stay white.
  static CRgbImage Cut(const CRgbImage& display, Position origin, PictureSize target);
};
