#pragma once

#include <optional>
#include <string>

#include "picture/ImageFile.h"
#include "picture/PictureKind.h"
#include "picture/RgbImage.h"
#include "picture/TargetFrame.h"

// The picture window's image: the image as loaded or received, the user's adjustments, and
// the displayed image they produce: the source resized by the scale factor and rotated,
// then the per-plane values, contrast and brightness applied as tone curves. The resized
// image and the rotated one are kept, so that moving a tone slider (the dialogs preview
// every step) or rotating only works on the displayed pixels, not the whole source again.
class CImageEditor {
 public:
  static constexpr float kMinScale = 0.05f;
  static constexpr float kMaxScale = 10.0f;
  // The largest displayed image enlarging may produce (pixels); a larger one would take
  // gigabytes for a picture of which at most 128 x 110 pixels are ever sent.
  static constexpr long long kMaxDisplayPixels = 40'000'000;

  explicit CImageEditor(long long maxDisplayPixels = kMaxDisplayPixels) : m_maxDisplayPixels(maxDisplayPixels) {}

  // The scale and rotation steps of the window's buttons.
  static float ScaleUpStep(float factor);
  static float ScaleDownStep(float factor);
  static int RotateStep(int hundredthsOfDegree, bool clockwise);

  // Loads a file; on failure nothing changes and error holds the reason. On success the
  // adjustments are reset and the image counts as not modified.
  bool Load(const std::string& path, std::string* error = nullptr);
  // Takes an image (a decoded handset picture) as the new image, adjustments reset.
  void SetImage(CRgbImage image);
  // Saves the displayed image; success clears the modified state.
  bool Save(const std::string& path, CImageFile::Format format, std::string* error = nullptr);

  bool IsLoaded() const { return !m_source.IsEmpty(); }
  bool IsModified() const { return m_modified; }
  // Puts back the modified state a dialog found when it opened: its Cancel restores the
  // values (which marks the image modified) and then this.
  void RestoreModified(bool modified) { m_modified = modified; }

  // Each adjustment re-renders the displayed image and marks the image modified.
  void SetContrast(int value);
  void SetBrightness(int value);
  void SetRed(int value);
  void SetGreen(int value);
  void SetBlue(int value);
  // False (and nothing changes) when enlarging would exceed the display limit.
  bool ScaleUp();
  void ScaleDown();
  void OriginalSize();
  // Sets the factor directly, clamped to kMinScale..kMaxScale; false (and nothing
  // changes) when the displayed image would exceed the display limit.
  bool SetScale(float factor);
  void RotateRight();
  void RotateLeft();
  // False for an angle that is not a multiple of 9000 hundredths of a degree.
  bool SetRotation(int hundredthsOfDegree);

  int Contrast() const { return m_contrast; }
  int Brightness() const { return m_brightness; }
  int Red() const { return m_red; }
  int Green() const { return m_green; }
  int Blue() const { return m_blue; }
  float Scale() const { return m_scale; }
  int Rotation() const { return m_rotation; }

  const CRgbImage& Source() const { return m_source; }
  const CRgbImage& Display() const { return m_display; }

  // The send preview for a frame at origin (coordinates on the displayed image).
  CRgbImage SendPreview(CTargetFrame::Position origin, PictureSize target) const {
    return CTargetFrame::Cut(m_display, origin, target);
  }

 private:
  void Reset();
  void Render();
  void RenderRotation();
  void RenderTones();
  bool FitsDisplay(float factor) const;
  void Changed();

  long long m_maxDisplayPixels;
  CRgbImage m_source;
  CRgbImage m_resized;   // the source resized by the scale factor
  CRgbImage m_geometry;  // the resized source rotated, before the tone curves
  CRgbImage m_display;
  bool m_modified = false;
  int m_contrast = 0;
  int m_brightness = 0;
  int m_red = 0;
  int m_green = 0;
  int m_blue = 0;
  float m_scale = 1.0f;
  int m_rotation = 0;
};
