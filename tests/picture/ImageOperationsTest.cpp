#include <gtest/gtest.h>

#include "picture/ImageEditor.h"
#include "picture/ImageTransform.h"
#include "picture/TargetFrame.h"
#include "picture/TestImages.h"
#include "picture/ToneCurve.h"

namespace {

CRgbImage Numbered(int w, int h) {
  CRgbImage image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.SetPixel(x, y, Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7});
    }
  }
  return image;
}

TEST(ScaleAndRotationStepsTest, ScaleLimits) {
  float f = 1.0f;
  for (int i = 0; i < 47; ++i) {
    f = CImageEditor::ScaleUpStep(f);
  }
  EXPECT_LT(f, 10.0f);
  f = CImageEditor::ScaleUpStep(f);
  EXPECT_EQ(f, 10.0f);
  EXPECT_EQ(CImageEditor::ScaleUpStep(f), 10.0f);

  f = 1.0f;
  int steps = 0;
  while (f != 0.05f && steps < 100) {
    f = CImageEditor::ScaleDownStep(f);
    ++steps;
  }
  EXPECT_EQ(f, 0.05f);
  EXPECT_EQ(steps, 59);
  EXPECT_EQ(CImageEditor::ScaleDownStep(f), 0.05f);
}

TEST(ScaleAndRotationStepsTest, RotationStaysWithinOneTurn) {
  int clockwise = 0;
  int anticlockwise = 0;
  for (int i = 0; i < 4; ++i) {
    clockwise = CImageEditor::RotateStep(clockwise, true);
    anticlockwise = CImageEditor::RotateStep(anticlockwise, false);
  }
  EXPECT_EQ(clockwise, 0);
  EXPECT_EQ(anticlockwise, 0);
  EXPECT_EQ(CImageEditor::RotateStep(27000, true), 0);
  EXPECT_EQ(CImageEditor::RotateStep(-27000, false), 0);
  EXPECT_EQ(CImageEditor::RotateStep(-9000, true), 0);
}

TEST(ImageTransformTest, QuarterTurns) {
  const CRgbImage image = Numbered(3, 2);
  const CRgbImage right = *CImageTransform::Rotate(image, 9000);
  ASSERT_EQ(right.Width(), 2);
  ASSERT_EQ(right.Height(), 3);
  EXPECT_EQ(right.Pixel(1, 0), image.Pixel(0, 0));  // top-left goes to top-right
  EXPECT_EQ(right.Pixel(0, 0), image.Pixel(0, 1));
  EXPECT_EQ(right.Pixel(0, 2), image.Pixel(2, 1));
  const CRgbImage left = *CImageTransform::Rotate(image, -9000);
  EXPECT_EQ(left.Pixel(0, 2), image.Pixel(0, 0));  // top-left goes to bottom-left
  EXPECT_EQ(*CImageTransform::Rotate(image, 27000), left);
  const CRgbImage half = *CImageTransform::Rotate(image, 18000);
  EXPECT_EQ(half.Pixel(0, 0), image.Pixel(2, 1));
  EXPECT_EQ(*CImageTransform::Rotate(*CImageTransform::Rotate(right, 9000), -18000), image);
  EXPECT_EQ(*CImageTransform::Rotate(image, 36000), image);
  EXPECT_FALSE(CImageTransform::Rotate(image, 4500));
}

TEST(ImageTransformTest, Resize) {
  const CRgbImage flat(40, 30, Rgb{10, 200, 90});
  EXPECT_EQ(CImageTransform::Resize(flat, 7, 5), CRgbImage(7, 5, Rgb{10, 200, 90}));
  EXPECT_EQ(CImageTransform::Resize(flat, 333, 101), CRgbImage(333, 101, Rgb{10, 200, 90}));
  const CRgbImage numbered = Numbered(20, 10);
  EXPECT_EQ(CImageTransform::Resize(numbered, 20, 10), numbered);
  EXPECT_TRUE(CImageTransform::Resize(numbered, 0, 10).IsEmpty());

  // Reducing a fine checkerboard averages it instead of picking every other pixel.
  CRgbImage checker(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      checker.SetPixel(x, y, (x + y) % 2 ? kWhite : Rgb{0, 0, 0});
    }
  }
  const CRgbImage small = CImageTransform::Resize(checker, 16, 16);
  for (int y = 2; y < 14; ++y) {
    for (int x = 2; x < 14; ++x) {
      EXPECT_NEAR(small.Pixel(x, y).r, 128, 3) << x << "," << y;
    }
  }
  // Enlarging a ramp keeps it a ramp: monotonic along x, corners near the originals.
  const CRgbImage big = CImageTransform::Resize(numbered, 200, 100);
  for (int x = 1; x < 200; ++x) {
    EXPECT_GE(big.Pixel(x, 50).r, big.Pixel(x - 1, 50).r);
  }
  EXPECT_LE(big.Pixel(0, 0).r, 1);
  EXPECT_GE(big.Pixel(199, 99).r, 18);

  EXPECT_EQ(CImageTransform::ScaledSize(128, 110, 0.05f), (PictureSize{6, 6}));
  EXPECT_EQ(CImageTransform::ScaledSize(3, 3, 0.05f), (PictureSize{1, 1}));
  EXPECT_EQ(CImageTransform::ScaledSize(100, 50, 1.5f), (PictureSize{150, 75}));
}

TEST(ToneCurveTest, IdentityMonotonicAndClamped) {
  EXPECT_EQ(CToneCurve::Contrast(0), CToneCurve::Identity());
  EXPECT_EQ(CToneCurve::Brightness(0), CToneCurve::Identity());
  EXPECT_EQ(CToneCurve::PlaneValue(0), CToneCurve::Identity());
  for (int v = -1000; v <= 1000; v += 125) {
    for (const auto& curve : {CToneCurve::Contrast(v), CToneCurve::Brightness(v)}) {
      for (int i = 1; i < 256; ++i) {
        ASSERT_GE(curve[i], curve[i - 1]) << "value " << v << " level " << i;
      }
    }
  }
  EXPECT_EQ(CToneCurve::Contrast(5000), CToneCurve::Contrast(1000));
  EXPECT_EQ(CToneCurve::Brightness(-5000), CToneCurve::Brightness(-1000));
  // The extremes change the picture strongly but keep it readable.
  const auto flat = CToneCurve::Contrast(-1000);
  EXPECT_GT(flat[255] - flat[0], 30);
  EXPECT_LT(flat[255] - flat[0], 80);
  const auto steep = CToneCurve::Contrast(1000);
  EXPECT_EQ(steep[0], 0);
  EXPECT_EQ(steep[255], 255);
  EXPECT_GT(steep[140] - steep[115], 100);
  const auto bright = CToneCurve::Brightness(1000);
  EXPECT_GT(bright[0], 150);
  EXPECT_EQ(bright[255], 255);
  EXPECT_LT(bright[0], bright[128]);
  const auto dark = CToneCurve::Brightness(-1000);
  EXPECT_EQ(dark[0], 0);
  EXPECT_LT(dark[255], 100);
  EXPECT_GT(dark[255], dark[128]);
}

TEST(TargetFrameTest, ClampingAndCutting) {
  const PictureSize frame{128, 110};
  const PictureSize visible{300, 200};
  EXPECT_EQ(CTargetFrame::Clamp({-5, -9}, frame, visible), (CTargetFrame::Position{0, 0}));
  EXPECT_EQ(CTargetFrame::Clamp({250, 150}, frame, visible), (CTargetFrame::Position{172, 90}));
  EXPECT_EQ(CTargetFrame::Clamp({40, 50}, frame, visible), (CTargetFrame::Position{40, 50}));
  EXPECT_EQ(CTargetFrame::Clamp({40, 50}, frame, PictureSize{100, 100}), (CTargetFrame::Position{0, 0}));
  EXPECT_TRUE(CTargetFrame::Contains({10, 10}, frame, 10, 10));
  EXPECT_FALSE(CTargetFrame::Contains({10, 10}, frame, 138, 50));

  // Scroll bars take their extent from the view where the image does not fit.
  EXPECT_EQ(CTargetFrame::VisibleArea({400, 300}, {200, 100}, 17), (PictureSize{400, 300}));
  EXPECT_EQ(CTargetFrame::VisibleArea({400, 300}, {500, 100}, 17), (PictureSize{400, 283}));
  EXPECT_EQ(CTargetFrame::VisibleArea({400, 300}, {390, 800}, 17), (PictureSize{383, 283}));

  const CRgbImage display = Numbered(60, 40);
  const CRgbImage inside = CTargetFrame::Cut(display, {10, 5}, {48, 54});
  EXPECT_EQ(inside.Pixel(0, 0), display.Pixel(10, 5));
  EXPECT_EQ(inside.Pixel(47, 34), display.Pixel(57, 39));
  EXPECT_EQ(inside.Pixel(47, 35), kWhite);  // below the image
  EXPECT_EQ(inside.Pixel(0, 53), kWhite);
  const CRgbImage past = CTargetFrame::Cut(display, {-3, 100}, {48, 54});
  EXPECT_EQ(past, CRgbImage(48, 54));
}

TEST(ImageEditorTest, AdjustmentsRenderAndMarkModified) {
  CImageEditor editor;
  EXPECT_FALSE(editor.IsLoaded());
  editor.SetImage(SyntheticPhoto(40, 30));
  EXPECT_TRUE(editor.IsLoaded());
  EXPECT_FALSE(editor.IsModified());
  EXPECT_EQ(editor.Display(), editor.Source());

  editor.RotateRight();
  EXPECT_TRUE(editor.IsModified());
  EXPECT_EQ(editor.Rotation(), 9000);
  EXPECT_EQ(editor.Display().Width(), 30);
  EXPECT_EQ(editor.Display(), *CImageTransform::Rotate(editor.Source(), 9000));
  editor.ScaleUp();
  EXPECT_FLOAT_EQ(editor.Scale(), 1.05f);
  EXPECT_EQ(editor.Display().Width(), 31);  // 30 * 1.05f is just below 31.5
  EXPECT_EQ(editor.Display().Height(), 42);
  editor.OriginalSize();
  editor.RotateLeft();
  EXPECT_EQ(editor.Display(), editor.Source());

  // Moving a setting and moving it back (a cancelled dialog) gives the same picture again.
  const CRgbImage before = editor.Display();
  editor.SetContrast(-700);
  editor.SetBrightness(400);
  EXPECT_NE(editor.Display(), before);
  editor.SetContrast(0);
  editor.SetBrightness(0);
  EXPECT_EQ(editor.Display(), before);

  editor.SetRed(1000);
  editor.SetBlue(-1000);
  EXPECT_GT(editor.Display().Pixel(0, 0).r, editor.Source().Pixel(0, 0).r);
  EXPECT_LT(editor.Display().Pixel(20, 0).b, editor.Source().Pixel(20, 0).b);
  EXPECT_EQ(editor.Display().Pixel(20, 0).g, editor.Source().Pixel(20, 0).g);
  editor.SetContrast(99999);
  EXPECT_EQ(editor.Contrast(), 1000);
  EXPECT_FALSE(editor.SetRotation(100));

  // A new image resets every adjustment.
  editor.SetImage(CRgbImage(10, 10));
  EXPECT_EQ(editor.Red(), 0);
  EXPECT_EQ(editor.Contrast(), 0);
  EXPECT_EQ(editor.Scale(), 1.0f);
  EXPECT_FALSE(editor.IsModified());
  EXPECT_EQ(editor.SendPreview({0, 0}, {48, 54}), CRgbImage(48, 54));
}

TEST(ImageEditorTest, DisplayIsTheResizedRotatedSourceThroughTheToneCurves) {
  CImageEditor editor;
  editor.SetImage(SyntheticPhoto(90, 60));
  editor.SetScale(0.5f);
  editor.RotateLeft();
  editor.SetGreen(300);
  editor.SetContrast(-200);
  editor.SetBrightness(150);
  CRgbImage expected = *CImageTransform::Rotate(CImageTransform::Resize(editor.Source(), 45, 30), -9000);
  const auto contrast = CToneCurve::Contrast(-200);
  const auto brightness = CToneCurve::Brightness(150);
  const auto plain = CToneCurve::Compose(contrast, brightness);
  CToneCurve::Apply(expected, plain, CToneCurve::Compose(CToneCurve::PlaneValue(300), plain), plain);
  EXPECT_EQ(editor.Display(), expected);
  EXPECT_EQ(editor.Display().Width(), 30);
  EXPECT_EQ(editor.Display().Height(), 45);
}

TEST(ImageEditorTest, EnlargingStopsAtTheDisplayLimit) {
  CImageEditor editor(40'000);
  editor.SetImage(CRgbImage(200, 100));
  EXPECT_FALSE(editor.SetScale(10.0f));  // 2000 x 1000
  EXPECT_EQ(editor.Scale(), 1.0f);
  int accepted = 0;
  while (editor.ScaleUp()) {
    ++accepted;
  }
  EXPECT_EQ(accepted, 7);  // 1.05^7 = 1.41 (281 x 141); one more step would be 295 x 148
  EXPECT_LE(editor.Display().PixelCount(), 40'000u);
  EXPECT_TRUE(editor.SetScale(0.5f));
  // Reducing is allowed even when the image at 1.0 is already above the limit.
  CImageEditor small(1'000);
  small.SetImage(CRgbImage(200, 100));
  EXPECT_TRUE(small.SetScale(0.05f));
  small.ScaleDown();
  EXPECT_EQ(small.Display().Width(), 10);
}

}  // namespace
