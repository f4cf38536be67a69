#pragma once

#include <QRectF>
#include <QSizeF>

class QPainter;

// The busy animations of the progress window, drawn as vectors so they stay sharp at any
// size and pixel ratio. Each kind tells what the handset is doing; a kind loops over
// kFrames frames.
class CAnimationPainter {
 public:
  enum Kind : int {
    kSend = 0,     // PC to handset
    kReceive = 1,  // handset to PC
    kErase = 2,    // data removed from the handset
    kConvert = 3,  // sound converted and encoded
    kPlay = 4,     // melody played on the handset
    kImport = 5,   // file read into the PC lists
    kPicture = 6,  // picture reduced to the handset palette
    kConnect = 7,  // link to the handset being opened
    kWait = 8,     // anything else: an hourglass
  };
  static constexpr int kKindCount = 9;
  static constexpr int kFrames = 24;
  // The drawing's own coordinate space; Paint scales it into the target keeping the ratio.
  static constexpr double kWidth = 200.0;
  static constexpr double kHeight = 80.0;

  static bool IsValidKind(int kind) { return kind >= 0 && kind < kKindCount; }
  // Draws one frame (taken modulo kFrames) of a kind; an unknown kind draws the hourglass.
  static void Paint(QPainter& painter, const QRectF& target, int kind, int frame);

 private:
  static void PaintScene(QPainter& painter, int kind, double phase);
};
