#include "app/UtilityLauncherDlg.h"

#include "app/UtilityWindowFactory.h"
#include "app/WindowQuery.h"
#include "appcore/AppStatus.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"
#include "ui/Artwork.h"
#include "ui/BitmapButton.h"
#include "ui/Message.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace {

constexpr int kLeftMargin = 20;
constexpr int kTopMargin = 2;
constexpr int kLabelWidening = 15;
constexpr int kBottomMargin = 8;
// Positions of the row from left to right: the six utilities, Help, Exit.
constexpr int kSlotCount = 8;
constexpr const char* kNotifyProperty = "launcherPosition";

// The utility positions that this program can have (the others are always absent).
bool HasUtility(int position) {
  return position == APP_PHONEBOOK || position == APP_IMAGE || position == APP_MELODY;
}

// Button image numbers: 10..15 for the utilities, 16 Help, 17 Exit.
int ImageNumber(int slot) {
  return 10 + slot;
}

}  // namespace

CUtilityLauncherDlg::CUtilityLauncherDlg(QWidget* parent, CAppContext* context) : CTemplate(parent, context) {
  setObjectName("UtilityLauncher");
  SetKind(APP_UTILITY_MAIN);
  setWindowTitle("ORVANE USB Utility");
  setWindowFlag(Qt::Window, true);
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);
  BuildControls();
}

CUtilityLauncherDlg::~CUtilityLauncherDlg() {
  // The running utility is a child and goes with this window: it must not call back.
  if (m_running) {
    disconnect(m_running.data(), nullptr, this, nullptr);
  }
  if (!m_closing && Context() != nullptr && Context()->status != nullptr) {
    std::uint8_t flag = 0;
    WindowHandle window = 0;
    Context()->status->Get(APP_UTILITY_MAIN, flag, window);
    if (window == Handle()) {
      Context()->status->Register(APP_UTILITY_MAIN, 0, 0);
    }
  }
}

// ---- controls ----------------------------------------------------------------------------------

void CUtilityLauncherDlg::BuildControls() {
  static const char* const kLabelTexts[] = {"", "Phone Book", "Image", "Melody", "", "", "Help", "Exit"};
  int bottom = kLabelBottom;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const bool utility = slot < kPositionCount;
    const int buttonId = utility ? kFirstButton + slot : (slot == kPositionCount ? kHelpButton : kExitButton);
    const int labelId = utility ? kFirstLabel + slot : (slot == kPositionCount ? kHelpLabel : kExitLabel);
    const int x = kLeftMargin + slot * kButtonSpacing;
    auto* button = new CBitmapButton(Content());
    button->move(x, kTopMargin);
    if (!button->SetUp(ImageNumber(slot), Content())) {
      button->resize(kButtonSize, kButtonSize);
    }
    SetControlId(button, buttonId);
    auto* label = new QLabel(kLabelTexts[slot], Content());
    SetControlId(label, labelId);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    const int widen = utility ? kLabelWidening : 0;
    const int labelTop = kTopMargin + button->height() + 1;
    bottom = std::max(bottom, labelTop + label->fontMetrics().height());
    label->setGeometry(x - widen, labelTop, button->width() + 2 * widen, std::max(kLabelBottom, bottom) - labelTop);
    if (utility) {
      const int position = kFirstPosition + slot;
      // The utility buttons open their utility here, not through the shared commands.
      QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
      connect(button, &QAbstractButton::clicked, this, [this, position] { OpenUtility(position); });
    } else {
      label->setProperty(kNotifyProperty, buttonId);
    }
    label->installEventFilter(this);
  }
  m_height = bottom + kBottomMargin;
  m_width = kLeftMargin + (kSlotCount - 1) * kButtonSpacing + Button(kExitButton)->width() + kLeftMargin;
  Content()->setFixedSize(m_width, m_height);
}

QAbstractButton* CUtilityLauncherDlg::Button(int id) const {
  return qobject_cast<QAbstractButton*>(Control(id));
}

QLabel* CUtilityLauncherDlg::Label(int id) const {
  return qobject_cast<QLabel*>(Control(id));
}

// ---- layout by availability ----------------------------------------------------------------------

void CUtilityLauncherDlg::ReadAvailability() {
  CAppStatus* status = Context() ? Context()->status : nullptr;
  for (int slot = 0; slot < kPositionCount; ++slot) {
    const int position = kFirstPosition + slot;
    std::uint32_t value = 0;
    if (HasUtility(position) && status != nullptr && !status->GetBootValue(position, value)) {
      value = 0;
    }
    m_availability[slot] = HasUtility(position) ? std::min<std::uint32_t>(value, 2) : 0;
  }
}

std::uint32_t CUtilityLauncherDlg::Availability(int position) const {
  const int slot = position - kFirstPosition;
  return slot >= 0 && slot < kPositionCount ? m_availability[slot] : 0;
}

void CUtilityLauncherDlg::LayOutByAvailability() {
  for (int slot = 0; slot < kPositionCount; ++slot) {
    const int position = kFirstPosition + slot;
    QAbstractButton* button = Button(kFirstButton + slot);
    QLabel* label = Label(kFirstLabel + slot);
    switch (m_availability[slot]) {
      case 2: {
        // Offered only once its window exists; until then the button shows but is inert.
        const bool ready = CUtilityWindowFactory::IsRegistered(position);
        button->setEnabled(ready);
        label->setProperty(kNotifyProperty, ready ? position : QVariant());
        break;
      }
      case 1:
        button->setEnabled(false);
        break;
      default:
        RemovePosition(position);
        break;
    }
  }
  Content()->setFixedSize(m_width, m_height);
  adjustSize();
  Centre();
}

// An absent utility leaves no gap: everything to its right moves one place left.
void CUtilityLauncherDlg::RemovePosition(int position) {
  const int slot = position - kFirstPosition;
  QAbstractButton* button = Button(kFirstButton + slot);
  QLabel* label = Label(kFirstLabel + slot);
  const int right = button->x();
  button->hide();
  button->setEnabled(false);
  label->hide();
  label->setEnabled(false);
  for (QWidget* control : Content()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control != button && control != label && control->x() > right) {
      control->move(control->x() - kButtonSpacing, control->y());
    }
  }
  m_width -= kButtonSpacing;
}

void CUtilityLauncherDlg::Centre() {
  QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

// ---- texts -----------------------------------------------------------------------------------------

void CUtilityLauncherDlg::RelabelControls() {
  const QString caption = Text(kCaption);
  if (!caption.isEmpty()) {
    setWindowTitle(caption);
  }
  for (int slot = 0; slot < kPositionCount; ++slot) {
    SetControlText(kFirstLabel + slot, kFirstLabel + slot);
  }
  SetControlText(kExitLabel, kExitLabel);
  SetControlText(kHelpLabel, kHelpLabel);
}

void CUtilityLauncherDlg::AddKindToolTips() {
  for (int slot = 0; slot < kPositionCount; ++slot) {
    AddToolTip(kFirstButton + slot, kFirstButton + slot + 500);
  }
  CTemplate::AddKindToolTips();
}

bool CUtilityLauncherDlg::OnLanguageChanged() {
  // RelabelControls and the tooltips have run already; the new texts may be wider.
  update();
  return true;
}

// ---- opening ------------------------------------------------------------------------------------

void CUtilityLauncherDlg::Initialise() {
  ReadAvailability();
  LayOutByAvailability();
  RelabelControls();
  AddKindToolTips();
  CAppContext* context = Context();
  if (context != nullptr && context->IsConnected()) {
    OnDeviceAttached(0, 0);
  } else {
    Register();
    Button(kFirstButton)->setEnabled(false);
    Button(kFirstButton + (APP_TAM - kFirstPosition))->setEnabled(false);
  }
  if (context != nullptr && context->link != nullptr) {
    context->link->ChangeApplicationMode(kLauncherMode);
  }
  show();
}

void CUtilityLauncherDlg::Register() {
  if (Context() != nullptr && Context()->status != nullptr) {
    Context()->status->Register(APP_UTILITY_MAIN, 1, Handle());
  }
}

bool CUtilityLauncherDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    const QVariant target = watched->property(kNotifyProperty);
    if (target.isValid()) {
      const int id = target.toInt();
      if (id == kHelpButton || id == kExitButton) {
        RunCommand(id);
      } else {
        OpenUtility(id);
      }
      return true;
    }
  }
  return CTemplate::eventFilter(watched, event);
}

void CUtilityLauncherDlg::OpenUtility(int position) {
  if (!m_running.isNull() || Availability(position) != 2 || m_closing) {
    return;
  }
  CTemplate* utility = CUtilityWindowFactory::Create(static_cast<std::uint32_t>(position), this, Context());
  if (utility == nullptr) {
    return;
  }
  ORVANE_TRACE("CUtilityLauncherDlg::OpenUtility %d\n", position);
  hide();
  m_running = utility;
  // Modal for the user, while this window keeps handling the handset's notices.
  utility->setWindowModality(Qt::ApplicationModal);
  connect(utility, &QDialog::finished, this, &CUtilityLauncherDlg::OnUtilityEnded);
  connect(utility, &QObject::destroyed, this, &CUtilityLauncherDlg::OnUtilityEnded);
  utility->show();
}

void CUtilityLauncherDlg::OnUtilityEnded() {
  CTemplate* utility = m_running.data();
  m_running.clear();
  if (utility != nullptr) {
    disconnect(utility, nullptr, this, nullptr);
    utility->hide();
    utility->deleteLater();
  }
  if (!m_closing) {
    EnableContent(true);
    show();
    raise();
  }
}

// ---- the handset ------------------------------------------------------------------------------------

bool CUtilityLauncherDlg::OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  if (m_running && m_running->isVisible()) {
    PostMessage(m_running->Handle(), TemplateMessage::kDeviceChange, 1, 0);
  }
  return true;
}

bool CUtilityLauncherDlg::OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  Register();
  if (Context() != nullptr && Context()->link != nullptr) {
    Context()->link->ChangeApplicationMode(kLauncherMode);
  }
  CloseAnime();
  if (m_running && m_running->isVisible()) {
    PostMessage(m_running->Handle(), TemplateMessage::kDeviceChange, 0, 0);
    EnableContent(false);
  }
  return true;
}

// ---- closing ---------------------------------------------------------------------------------------

bool CUtilityLauncherDlg::AskToClose(std::uint32_t index) {
  CAppStatus* status = Context() ? Context()->status : nullptr;
  if (status == nullptr) {
    return true;
  }
  std::uint8_t flag = 0;
  WindowHandle window = 0;
  status->Get(index, flag, window);
  if (flag == 0 || m_running.isNull() || m_running->Handle() != window) {
    return true;
  }
  return CWindowQuery::AskQueryClose(m_running.data());
}

bool CUtilityLauncherDlg::QueryClose() {
  if (m_closing) {
    return true;
  }
  QPointer<CUtilityLauncherDlg> self(this);
  for (std::uint32_t index : {std::uint32_t{APP_PHONEBOOK}, std::uint32_t{APP_IMAGE}, std::uint32_t{APP_MELODY}}) {
    const bool mayClose = AskToClose(index);
    if (!self) {
      return true;
    }
    if (!mayClose) {
      return false;
    }
  }
  CAppContext* context = Context();
  // The mode change is answered by the driver at once: its result is the confirmation.
  // A failure while the handset is connected is reported, and closing goes on.
  if (context != nullptr && context->link != nullptr) {
    const bool connected = context->IsConnected();
    if (context->link->ChangeApplicationMode(kDefaultMode) == 0 && connected) {
      ShowMsg(773, MB_ICONSTOP);
      if (!self) {
        return true;
      }
    }
  }
  m_closing = true;
  if (context != nullptr && context->status != nullptr) {
    context->status->Register(APP_UTILITY_MAIN, 0, 0);
  }
  if (context != nullptr) {
    PostMessage(context->ResidentHandle(), WM_APP + 0xCA, 0, 0);
  }
  hide();
  deleteLater();
  return true;
}

void CUtilityLauncherDlg::EndWindow() {
  // QueryClose has ended the window already.
}

// ---- painting ------------------------------------------------------------------------------------

void CUtilityLauncherDlg::FitToBackground() {
  Centre();
}

void CUtilityLauncherDlg::paintEvent(QPaintEvent* event) {
  const QString background = CArtwork::BackgroundForKind(APP_UTILITY_MAIN);
  if (background.isEmpty()) {
    CTemplate::paintEvent(event);
    return;
  }
  QPainter painter(this);
  CArtwork::Render(painter, QRectF(rect()), background);
}
