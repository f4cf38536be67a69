#include "ui/VersionDlg.h"

#include "ui/Artwork.h"
#include "ui/ControlId.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kIconSide = 48;

}  // namespace

CVersionDlg::CVersionDlg(TextLookup lookup, QWidget* owner, std::function<void(bool)> setModalFlag)
    : QDialog(owner), m_lookup(std::move(lookup)), m_owner(owner), m_setModalFlag(std::move(setModalFlag)) {
  CControlId::Set(this, kDialogId);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowIcon(CArtwork::Icon(CArtwork::kDialogIcon));
  setWindowTitle(QStringLiteral("About ORVANE USB Utility"));
  BuildControls();
  Relabel();
}

void CVersionDlg::BuildControls() {
  m_icon = new QLabel(this);
  CControlId::Set(m_icon, kIconId);
  m_icon->setFixedSize(kIconSide, kIconSide);
  m_icon->setPixmap(CArtwork::Pixmap(CArtwork::kAppIcon, QSize(kIconSide, kIconSide), devicePixelRatioF()));

  m_product = new QLabel(QStringLiteral("ORVANE USB Utility"), this);
  CControlId::Set(m_product, kProductId);
  QFont bold = m_product->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  m_product->setFont(bold);
  m_version = new QLabel(QStringLiteral("Version 1.0"), this);
  CControlId::Set(m_version, kVersionId);
  m_notice = new QLabel(this);
  CControlId::Set(m_notice, kNoticeId);
  m_notice->setWordWrap(true);
  m_notice->setMinimumWidth(330);

  m_ok = new QPushButton(QStringLiteral("OK"), this);
  CControlId::Set(m_ok, kOkId);
  m_ok->setDefault(true);
  m_ok->setMinimumWidth(80);
  connect(m_ok, &QPushButton::clicked, this, &CVersionDlg::accept);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addWidget(m_product);
  texts->addWidget(m_version);
  texts->addSpacing(6);
  texts->addWidget(m_notice);
  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(m_icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 12);
  layout->addLayout(top);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CVersionDlg::Relabel() {
  const std::string caption = m_lookup ? m_lookup(kCaptionId) : std::string();
  if (!caption.empty()) {
    setWindowTitle(QString::fromStdString(caption));
  }
  SetText(m_product, kProductId);
  SetText(m_version, kVersionId);
  SetText(m_notice, kNoticeId);
  SetText(m_ok, kOkId);
}

void CVersionDlg::SetText(QWidget* control, int id) {
  const std::string text = m_lookup ? m_lookup(id) : std::string();
  if (text.empty()) {
    return;
  }
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(QString::fromStdString(text));
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    button->setText(QString::fromStdString(text));
  }
}

int CVersionDlg::Run() {
  SetModalFlag(true);
  const int result = exec();
  SetModalFlag(false);
  return result;
}

// OK: when a message box for the same owner came up meanwhile, it stays in front and the
// owner stays disabled behind it; otherwise the owner is usable again.
void CVersionDlg::accept() {
  if (QWidget* box = OpenMessageBoxOfOwner()) {
    box->raise();
    box->activateWindow();
    if (m_owner) {
      m_owner->setEnabled(false);
    }
  } else if (m_owner) {
    m_owner->setEnabled(true);
  }
  SetModalFlag(false);
  QDialog::accept();
}

QWidget* CVersionDlg::OpenMessageBoxOfOwner() const {
  if (!m_owner) {
    return nullptr;
  }
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible() && box->parentWidget() == m_owner) {
      return box;
    }
  }
  return nullptr;
}

void CVersionDlg::SetModalFlag(bool modal) {
  if (m_setModalFlag) {
    m_setModalFlag(modal);
  }
}

void CVersionDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), CPalette::Background());
}
