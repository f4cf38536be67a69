#include "ui/ProgressWnd.h"

#include "platform/WindowRegistry.h"
#include "ui/AnimationView.h"
#include "ui/ControlId.h"
#include "ui/Message.h"
#include "ui/Palette.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

CProgressWnd::CProgressWnd(TextLookup lookup, WindowHandle owner, QWidget* parent)
    : QDialog(parent), m_lookup(std::move(lookup)), m_owner(owner) {
  CControlId::Set(this, kDialogId);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  BuildControls();
}

CProgressWnd::~CProgressWnd() = default;

void CProgressWnd::BuildControls() {
  m_message = new QLabel(this);
  CControlId::Set(m_message, kMessageId);
  m_message->setWordWrap(true);
  m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_message->setMinimumHeight(m_message->fontMetrics().lineSpacing() * 3 + 4);
  m_message->setMinimumWidth(300);

  m_animation = new CAnimationView(this);
  CControlId::Set(m_animation, kAnimationId);
  m_animation->setFixedSize(m_animation->sizeHint());

  m_progress = new QLabel(this);
  CControlId::Set(m_progress, kProgressId);
  m_progress->setAlignment(Qt::AlignCenter);
  m_progress->setMinimumHeight(m_progress->fontMetrics().lineSpacing());

  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  CControlId::Set(m_cancel, kCancelId);
  m_cancel->setAutoDefault(false);
  connect(m_cancel, &QPushButton::clicked, this, &CProgressWnd::RequestCancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_cancel);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 12);
  layout->addWidget(m_message);
  layout->addWidget(m_animation, 0, Qt::AlignHCenter);
  layout->addWidget(m_progress);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CProgressWnd::Open(const std::string& title, const std::string& text, int animationKind, bool cancelAllowed,
                        const std::vector<std::string>& arguments) {
  Relabel(title, text, arguments);
  m_progress->clear();
  m_cancel->setVisible(cancelAllowed);
  m_cancel->setEnabled(cancelAllowed);
  SetCloseEnabled(cancelAllowed);
  m_animation->Play(animationKind);
  CentreOnParent();
  show();
  raise();
  m_open = true;
}

void CProgressWnd::Close() {
  if (!m_open) {
    return;
  }
  m_animation->Stop();
  hide();
  m_open = false;
}

void CProgressWnd::Relabel(const std::string& title, const std::string& text,
                           const std::vector<std::string>& arguments) {
  const std::string cancel = m_lookup ? m_lookup(kCancelId) : std::string();
  if (!cancel.empty()) {
    m_cancel->setText(QString::fromStdString(cancel));
  }
  setWindowTitle(QString::fromStdString(title));
  m_message->setText(QString::fromStdString(CMessage::FormatText(text, arguments)));
}

std::string CProgressWnd::FormatProgress(std::uint64_t done, std::uint64_t total) {
  return "( " + std::to_string(done) + " / " + std::to_string(total) + " )";
}

void CProgressWnd::Progress(std::uint64_t done, std::uint64_t total) {
  m_progress->setText(QString::fromStdString(FormatProgress(done, total)));
}

QString CProgressWnd::MessageText() const {
  return m_message->text();
}

QString CProgressWnd::ProgressText() const {
  return m_progress->text();
}

// Cancel is honoured once, while the window is on screen and cancelling is allowed: the
// button is disabled and the close box greyed before the owner is told.
void CProgressWnd::RequestCancel() {
  if (!isVisible() || !m_closeEnabled) {
    return;
  }
  m_cancel->setEnabled(false);
  SetCloseEnabled(false);
  PostMessage(m_owner, kCancelMessage, 0, 0);
}

// Escape: the same as the close box.
void CProgressWnd::reject() {
  RequestCancel();
}

// The window is closed only by its owner (Close); a close request is a cancel request.
void CProgressWnd::closeEvent(QCloseEvent* event) {
  event->ignore();
  RequestCancel();
}

void CProgressWnd::SetCloseEnabled(bool enabled) {
  m_closeEnabled = enabled;
  if (windowFlags().testFlag(Qt::WindowCloseButtonHint) == enabled) {
    return;
  }
  // Changing the frame's buttons re-creates a visible window hidden; show it again.
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowCloseButtonHint, enabled);
  if (visible) {
    show();
  }
}

void CProgressWnd::CentreOnParent() {
  adjustSize();
  QRect area;
  if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
    area = owner->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) {
    move(area.center() - rect().center());
  }
}

void CProgressWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), CPalette::Background());
}
