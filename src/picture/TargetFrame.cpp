#include "picture/TargetFrame.h"

#include <algorithm>
#include <cstring>

PictureSize CTargetFrame::VisibleArea(PictureSize view, PictureSize image, int scrollBarExtent) {
  // A horizontal bar takes height, which may make a vertical bar needed, and the other way round.
  bool horizontal = image.width > view.width;
  bool vertical = image.height > view.height;
  horizontal = horizontal || (vertical && image.width > view.width - scrollBarExtent);
  vertical = vertical || (horizontal && image.height > view.height - scrollBarExtent);
  return PictureSize{std::max(0, view.width - (vertical ? scrollBarExtent : 0)),
                     std::max(0, view.height - (horizontal ? scrollBarExtent : 0))};
}

CTargetFrame::Position CTargetFrame::Clamp(Position frame, PictureSize frameSize, PictureSize visible) {
  frame.x = std::max(0, std::min(frame.x, visible.width - frameSize.width));
  frame.y = std::max(0, std::min(frame.y, visible.height - frameSize.height));
  return frame;
}

bool CTargetFrame::Contains(Position frame, PictureSize frameSize, int x, int y) {
  return x >= frame.x && y >= frame.y && x < frame.x + frameSize.width && y < frame.y + frameSize.height;
}

CRgbImage CTargetFrame::Cut(const CRgbImage& display, Position origin, PictureSize target) {
  CRgbImage preview(target.width, target.height, kWhite);
  const int x0 = std::max(origin.x, 0);
  const int y0 = std::max(origin.y, 0);
  const int x1 = std::min(origin.x + target.width, display.Width());
  const int y1 = std::min(origin.y + target.height, display.Height());
  if (preview.IsEmpty() || x1 <= x0 || y1 <= y0) {
    return preview;
  }
  for (int y = y0; y < y1; ++y) {
    std::memcpy(preview.Row(y - origin.y) + static_cast<std::size_t>(x0 - origin.x) * 3,
                display.Row(y) + static_cast<std::size_t>(x0) * 3, static_cast<std::size_t>(x1 - x0) * 3);
  }
  return preview;
}
