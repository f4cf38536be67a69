#pragma once

#include <array>
#include <cstdint>

// The pictures of the bitmap buttons by button image number: four pictures per set
// (normal, pressed, hover, disabled) and a colour that counts as transparent besides the
// pictures' own transparency (-1: none).
struct ButtonImageSet {
  std::array<const char*, 4> pictures;
  std::int32_t transparentColor;
};

class CButtonImageSets {
 public:
  enum State : int { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };

  // The launcher's numbers: 10 to 15 the utility positions, 16 Help, 17 Exit.
  static constexpr int kFirstLauncher = 10;
  static constexpr int kLauncherHelp = 16;
  static constexpr int kLauncherExit = 17;

  // The set of an image number, or nullptr when the number has none.
  static const ButtonImageSet* Find(int imageNumber);
};
