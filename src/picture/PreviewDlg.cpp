#include "picture/PreviewDlg.h"

#include "picture/PictureKind.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTitleId = 3070;
constexpr int kCloseId = 3071;

}  // namespace

CPreviewDlg::CPreviewDlg(QWidget* parent, CAppContext* context, const CRgbImage& picture) : CTemplate(parent, context) {
  auto* column = new QVBoxLayout(Content());
  m_picture = new QLabel(Content());
  m_picture->setFixedSize(kWallpaperSize.width + 2, kWallpaperSize.height + 2);
  m_picture->setAlignment(Qt::AlignCenter);
  m_picture->setFrameShape(QFrame::Box);
  m_picture->setStyleSheet("background: white");
  if (!picture.IsEmpty()) {
    const QImage image(picture.Bytes().data(), picture.Width(), picture.Height(), picture.Width() * 3,
                       QImage::Format_RGB888);
    m_picture->setPixmap(QPixmap::fromImage(image));
  }
  column->addWidget(m_picture, 0, Qt::AlignHCenter);
  auto* close = new QPushButton(Content());
  SetControlId(close, kCloseId);
  connect(close, &QPushButton::clicked, this, [this] { QDialog::done(QDialog::Accepted); });
  column->addWidget(close, 0, Qt::AlignHCenter);
  RelabelControls();
}

void CPreviewDlg::OnClose() {
  QDialog::done(QDialog::Accepted);
}

void CPreviewDlg::RelabelControls() {
  if (const QString title = Text(kTitleId); !title.isEmpty()) {
    setWindowTitle(title);
  }
  SetControlText(kCloseId, kCloseId);
}
