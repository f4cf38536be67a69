#pragma once

#include "framework/Template.h"
#include "picture/RgbImage.h"

class QLabel;

// The preview dialog of the picture window: the handset picture centred in a frame of the
// wallpaper size, with a Close button.
class CPreviewDlg : public CTemplate {
  Q_OBJECT

 public:
  CPreviewDlg(QWidget* parent, CAppContext* context, const CRgbImage& picture);

  QLabel* PictureLabel() const { return m_picture; }
  void RelabelControls() override;

 protected:
  // Closing the window (its close box) cancels; it asks nothing of the link.
  void OnClose() override;

 private:
  QLabel* m_picture = nullptr;
};
