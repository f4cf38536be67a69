#include "picture/ImageEditor.h"

#include <algorithm>
#include <utility>

#include "picture/ImageTransform.h"
#include "picture/ToneCurve.h"

float CImageEditor::ScaleUpStep(float factor) {
  const float next = factor * 1.05f;
  return next * 100.0f >= 1000.0f ? kMaxScale : next;
}

float CImageEditor::ScaleDownStep(float factor) {
  const float next = factor * 0.95f;
  return next * 100.0f <= 5.0f ? kMinScale : next;
}

int CImageEditor::RotateStep(int hundredthsOfDegree, bool clockwise) {
  int next = hundredthsOfDegree + (clockwise ? 9000 : -9000);
  if (next >= 36000) {
    next -= 36000;
  } else if (next < -35999) {
    next += 36000;
  }
  return next;
}

bool CImageEditor::Load(const std::string& path, std::string* error) {
  std::optional<CRgbImage> image = CImageFile::Load(path, error);
  if (!image) {
    return false;
  }
  SetImage(std::move(*image));
  return true;
}

void CImageEditor::SetImage(CRgbImage image) {
  m_source = std::move(image);
  Reset();
}

bool CImageEditor::Save(const std::string& path, CImageFile::Format format, std::string* error) {
  if (!CImageFile::Save(m_display, path, format, error)) {
    return false;
  }
  m_modified = false;
  return true;
}

void CImageEditor::Reset() {
  m_contrast = m_brightness = m_red = m_green = m_blue = 0;
  m_scale = 1.0f;
  m_rotation = 0;
  m_modified = false;
  Render();
}

void CImageEditor::SetContrast(int value) {
  m_contrast = CToneCurve::Clamp(value);
  m_modified = true;
  RenderTones();
}

void CImageEditor::SetBrightness(int value) {
  m_brightness = CToneCurve::Clamp(value);
  m_modified = true;
  RenderTones();
}

void CImageEditor::SetRed(int value) {
  m_red = CToneCurve::Clamp(value);
  m_modified = true;
  RenderTones();
}

void CImageEditor::SetGreen(int value) {
  m_green = CToneCurve::Clamp(value);
  m_modified = true;
  RenderTones();
}

void CImageEditor::SetBlue(int value) {
  m_blue = CToneCurve::Clamp(value);
  m_modified = true;
  RenderTones();
}

bool CImageEditor::ScaleUp() {
  const float next = ScaleUpStep(m_scale);
  if (!FitsDisplay(next)) {
    return false;
  }
  m_scale = next;
  Changed();
  return true;
}

void CImageEditor::ScaleDown() {
  m_scale = ScaleDownStep(m_scale);
  Changed();
}

void CImageEditor::OriginalSize() {
  m_scale = 1.0f;
  Changed();
}

bool CImageEditor::SetScale(float factor) {
  const float next = std::clamp(factor, kMinScale, kMaxScale);
  if (!FitsDisplay(next)) {
    return false;
  }
  m_scale = next;
  Changed();
  return true;
}

void CImageEditor::RotateRight() {
  m_rotation = RotateStep(m_rotation, true);
  m_modified = true;
  RenderRotation();
}

void CImageEditor::RotateLeft() {
  m_rotation = RotateStep(m_rotation, false);
  m_modified = true;
  RenderRotation();
}

bool CImageEditor::SetRotation(int hundredthsOfDegree) {
  if (hundredthsOfDegree % 9000 != 0) {
    return false;
  }
  m_rotation = hundredthsOfDegree % 36000;
  m_modified = true;
  RenderRotation();
  return true;
}

bool CImageEditor::FitsDisplay(float factor) const {
  const PictureSize size = CImageTransform::ScaledSize(m_source.Width(), m_source.Height(), factor);
  const long long pixels = static_cast<long long>(size.width) * size.height;
  // Reducing is always allowed, even for a source that is already above the limit.
  return pixels <= m_maxDisplayPixels || factor <= m_scale;
}

void CImageEditor::Changed() {
  m_modified = true;
  Render();
}

void CImageEditor::Render() {
  const PictureSize size = CImageTransform::ScaledSize(m_source.Width(), m_source.Height(), m_scale);
  m_resized = CImageTransform::Resize(m_source, size.width, size.height);
  RenderRotation();
}

void CImageEditor::RenderRotation() {
  m_geometry = *CImageTransform::Rotate(m_resized, m_rotation);
  RenderTones();
}

void CImageEditor::RenderTones() {
  m_display = m_geometry;
  const CToneCurve::Table contrast = CToneCurve::Contrast(m_contrast);
  const CToneCurve::Table brightness = CToneCurve::Brightness(m_brightness);
  // The colour sliders (red, green, blue) use the brightness-style curve on their own plane,
  // not the contrast curve, although both are "one tone value per plane": users read a
  // colour slider as more or less of that colour. The brightness curve moves every level of
  // the plane towards full (positive) or towards none (negative), so the whole picture takes
  // on or loses that tint and the order of levels is kept. A contrast curve on one plane
  // would stretch it around mid grey instead: +1000 red would add red to the light parts
  // and take it out of the dark ones, a colour shift that follows the picture's brightness.
  // Per plane first, then contrast and brightness on all three, composed into one table per
  // plane so each pixel is looked up once.
  const auto channel = [&](int planeValue) {
    return CToneCurve::Compose(CToneCurve::Compose(CToneCurve::PlaneValue(planeValue), contrast), brightness);
  };
  CToneCurve::Apply(m_display, channel(m_red), channel(m_green), channel(m_blue));
}
