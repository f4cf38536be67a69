#include "framework/Template.h"

#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"
#include "devlink/DeviceLink.h"
#include "framework/AppContext.h"
#include "platform/DebugLog.h"
#include "platform/Paths.h"
#include "platform/WindowRegistry.h"
#include "ui/Artwork.h"
#include "ui/ControlId.h"
#include "ui/HelpLauncher.h"
#include "ui/Message.h"
#include "ui/ProgressWnd.h"
#include "ui/VersionDlg.h"
#include "ui/WindowMessageEvent.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Colours of the skin (Windows colour references are 0x00BBGGRR).
QColor FromColorRef(std::uint32_t ref) {
  return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                static_cast<int>((ref >> 16) & 0xFF));
}
constexpr std::uint32_t kBackgroundColor = 0xF7CFAD;
constexpr std::uint32_t kFrameColor = 0xA85646;

// Every CTemplate alive, so that a window can tell whose progress window is on screen.
std::vector<CTemplate*>& LiveWindows() {
  static std::vector<CTemplate*> windows;
  return windows;
}

}  // namespace

CTemplate::HandlerLock::HandlerLock(CTemplate* window) : m_window(window) {
  window->m_lock.lock();
  ++window->m_lockDepth;
}

CTemplate::HandlerLock::~HandlerLock() {
  if (CTemplate* window = m_window.data()) {
    --window->m_lockDepth;
    window->m_lock.unlock();
  }
}

CTemplate::CTemplate(QWidget* parent, CAppContext* context)
    : QDialog(parent), m_context(context != nullptr ? context : CAppContext::Current()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_content = new QWidget(this);
  m_content->setObjectName("content");
  layout->addWidget(m_content);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  m_lastPath = DocumentsFolder();
  m_boldFont = font();
  m_boldFont.setWeight(QFont::Bold);
  m_titleFont = font();
  m_titleFont.setPixelSize(20);
  m_titleFont.setWeight(QFont::Black);
  SetDialogIcon();
  LiveWindows().push_back(this);
  m_handle = CWindowRegistry::Instance().Register(this);
  QPointer<CTemplate> self(this);
  m_progress = new CProgressWnd(
      [self](std::int32_t id) {
        return self && self->m_context != nullptr ? self->m_context->GetString(id) : std::string();
      },
      m_handle, this);
}

CTemplate::~CTemplate() {
  // Nothing is delivered to this window once Unregister returns.
  CWindowRegistry::Instance().Unregister(m_handle);
  std::erase(LiveWindows(), this);
  m_progress->Close();
  // A window destroyed inside one of its own handlers (from a nested loop) still holds its
  // lock on this thread: release it before the mutex goes.
  while (m_lockDepth > 0) {
    --m_lockDepth;
    m_lock.unlock();
  }
}

void CTemplate::Deliver(const WindowMessage& message) {
  QCoreApplication::postEvent(this, new CWindowMessageEvent(message));
}

bool CTemplate::event(QEvent* event) {
  if (event->type() == CWindowMessageEvent::EventType()) {
    // A copy: the handler may end in this window's destruction, which frees the event.
    const WindowMessage message = static_cast<CWindowMessageEvent*>(event)->Message();
    OnWindowMessage(message);
    return true;
  }
  return QDialog::event(event);
}

// ---- controls ------------------------------------------------------------------------------

void CTemplate::SetControlId(QWidget* control, int id) {
  CControlId::Set(control, id);
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QObject::disconnect(button, &QAbstractButton::clicked, this, nullptr);
    QPointer<CTemplate> self(this);
    connect(button, &QAbstractButton::clicked, this, [self, id] {
      if (self) {
        self->RunCommand(id);
      }
    });
  }
}

int CTemplate::ControlId(const QWidget* control) {
  return CControlId::Get(control);
}

QWidget* CTemplate::Control(int id) const {
  return CControlId::Find(m_content, id);
}

void CTemplate::SetControlText(int controlId, int stringId) {
  const QString text = Text(stringId);
  QWidget* control = Control(controlId);
  if (text.isEmpty() || control == nullptr) {
    return;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(text);
  } else {
    control->setWindowTitle(text);
  }
}

void CTemplate::AddToolTip(int controlId, int stringId) {
  const QString text = Text(stringId);
  if (QWidget* control = Control(controlId); control != nullptr && !text.isEmpty()) {
    control->setToolTip(text);
  }
}

void CTemplate::SetControlFont(int controlId, int which) {
  if (QWidget* control = Control(controlId)) {
    control->setFont(which == 0 ? m_boldFont : m_titleFont);
    control->update();
  }
}

void CTemplate::PlaceControls(const Placement* table) {
  for (const Placement* entry = table; entry->id != 0; ++entry) {
    if (QWidget* control = Control(entry->id)) {
      control->setGeometry(entry->x, entry->y, entry->width, entry->height);
    }
  }
}

void CTemplate::SetCommandId(QAction* action, int id) {
  action->setData(id);
}

QAction* CTemplate::AddCommandItem(QMenu* menu, int stringId, std::function<void()> handler,
                                   const QKeySequence& shortcut) {
  QAction* action = menu->addAction(QString());
  SetCommandId(action, stringId);
  if (!shortcut.isEmpty()) {
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
  }
  connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
  return action;
}

void CTemplate::RunLater(std::function<void()> task) {
  QPointer<CTemplate> self(this);
  QTimer::singleShot(0, this, [self, task = std::move(task)] {
    if (self) {
      task();
    }
  });
}

void CTemplate::RelabelMenu(QMenu* menu, int firstPopupId) {
  if (menu == nullptr) {
    return;
  }
  const QList<QAction*> actions = menu->actions();
  for (qsizetype position = actions.size() - 1; position >= 0; --position) {
    QAction* action = actions[position];
    int stringId = action->data().isValid() ? action->data().toInt() : 0;
    if (action->menu() != nullptr) {
      // Items of a submenu by their ids; the submenu itself by its position.
      RelabelMenu(action->menu(), 0);
      stringId = firstPopupId != 0 ? firstPopupId + static_cast<int>(position) : 0;
    }
    if (const QString text = Text(stringId); stringId != 0 && !text.isEmpty()) {
      action->setText(text);
    }
  }
}

void CTemplate::SetFramedControl(int controlId) {
  m_framedControl = controlId;
  update();
}

void CTemplate::EnableContent(bool enable) {
  m_content->setEnabled(enable);
}

bool CTemplate::IsContentEnabled() const {
  return m_content->isEnabled();
}

QString CTemplate::Text(std::int32_t id) const {
  return QString::fromStdString(String(id));
}

// Texts marked as never shown (reserved ids) count as empty, so they never replace a label.
std::string CTemplate::String(std::int32_t id) const {
  std::string text = m_context != nullptr ? m_context->GetString(id) : std::string();
  return text.starts_with(CLanguageStrings::kUnshownMarker) ? std::string() : text;
}

int CTemplate::ShowMsg(std::int32_t number, std::uint32_t style, const std::vector<std::string>& arguments) {
  if (m_context == nullptr || m_context->message == nullptr) {
    return 0;
  }
  return m_context->message->ShowMsg(number, style, arguments, this);
}

// ---- painting ------------------------------------------------------------------------------

void CTemplate::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), FromColorRef(kBackgroundColor));
  if (const QString background = CArtwork::BackgroundForKind(m_kind); !background.isEmpty()) {
    CArtwork::Render(painter, QRectF(QPointF(0, 0), CArtwork::NaturalSize(background)), background);
  }
  if (m_framedControl == 0) {
    return;
  }
  if (QWidget* control = Control(m_framedControl)) {
    const QRect frame(control->mapTo(this, QPoint(0, 0)), control->size());
    painter.setPen(QPen(FromColorRef(kFrameColor), 2));
    painter.drawRect(frame.adjusted(-2, -2, 2, 2));
  }
}

void CTemplate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!CArtwork::BackgroundForKind(m_kind).isEmpty()) {
    FitToBackground();
  }
}

void CTemplate::FitToBackground() {
  const QSize size = CArtwork::NaturalSize(CArtwork::BackgroundForKind(m_kind));
  if (size.isEmpty()) {
    return;
  }
  resize(size);
  QRect area;
  if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
    area = owner->frameGeometry();
  } else if (const QScreen* screen = this->screen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) {
    move(area.center() - rect().center());
  }
}

int CTemplate::RunModalChild(QDialog& child, const std::function<int()>& run) {
  QPointer<CTemplate> self(this);
  m_modalChild = &child;
  m_modalOpen = true;
  if (m_context != nullptr) {
    m_context->SetResidentModal(true);
  }
  const int result = run ? run() : child.exec();
  if (!self) {
    return -1;
  }
  m_modalChild = nullptr;
  m_modalOpen = false;
  if (m_context != nullptr) {
    SettleEnabledState();
  }
  return result;
}

// ---- menus and lists -----------------------------------------------------------------------

QAction* CTemplate::MenuItem(QMenu* menu, int id) {
  if (menu == nullptr) {
    return nullptr;
  }
  for (QAction* action : menu->actions()) {
    if (action->data().isValid() && action->data().toInt() == id) {
      return action;
    }
    if (QAction* found = MenuItem(action->menu(), id)) {
      return found;
    }
  }
  return nullptr;
}

QAction* CTemplate::MenuItemByText(QMenu* menu, const QString& text) {
  if (menu == nullptr) {
    return nullptr;
  }
  for (QAction* action : menu->actions()) {
    if (action->text() == text) {
      return action;
    }
    if (QAction* found = MenuItemByText(action->menu(), text)) {
      return found;
    }
  }
  return nullptr;
}

bool CTemplate::EnableMenuItem(QMenu* menu, int id, bool enable) {
  QAction* action = MenuItem(menu, id);
  if (action != nullptr) {
    action->setEnabled(enable);
  }
  return action != nullptr;
}

bool CTemplate::CheckMenuItem(QMenu* menu, int id, bool check) {
  QAction* action = MenuItem(menu, id);
  if (action != nullptr) {
    action->setCheckable(true);
    action->setChecked(check);
  }
  return action != nullptr;
}

void CTemplate::FillList(QWidget* list, const std::vector<ListEntry>& entries) {
  if (auto* combo = qobject_cast<QComboBox*>(list)) {
    combo->clear();
    for (const ListEntry& entry : entries) {
      combo->addItem(QString::fromStdString(entry.text), QVariant::fromValue(entry.data));
    }
  } else if (auto* widget = qobject_cast<QListWidget*>(list)) {
    widget->clear();
    for (const ListEntry& entry : entries) {
      auto* item = new QListWidgetItem(QString::fromStdString(entry.text), widget);
      item->setData(Qt::UserRole, QVariant::fromValue(entry.data));
    }
  }
}

void CTemplate::FillListView(QWidget* view, const std::vector<std::vector<std::string>>& rows) {
  if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
    for (const auto& row : rows) {
      auto* item = new QTreeWidgetItem(tree);
      for (std::size_t column = 0; column < row.size(); ++column) {
        item->setText(static_cast<int>(column), QString::fromStdString(row[column]));
      }
    }
  } else if (auto* table = qobject_cast<QTableWidget*>(view)) {
    for (const auto& row : rows) {
      const int at = table->rowCount();
      table->insertRow(at);
      for (std::size_t column = 0; column < row.size() && static_cast<int>(column) < table->columnCount(); ++column) {
        table->setItem(at, static_cast<int>(column), new QTableWidgetItem(QString::fromStdString(row[column])));
      }
    }
  }
}

void CTemplate::SetColumnTitle(QWidget* view, int column, const std::string& title) {
  if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
    tree->headerItem()->setText(column, QString::fromStdString(title));
  } else if (auto* table = qobject_cast<QTableWidget*>(view)) {
    table->setHorizontalHeaderItem(column, new QTableWidgetItem(QString::fromStdString(title)));
  }
}

// ---- busy display --------------------------------------------------------------------------

void CTemplate::SetBusyCursor(bool on) {
  m_busyCursor = on;
  if (on) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void CTemplate::BeginBusy() {
  EnableContent(false);
  SetBusyCursor(true);
}

CTemplate* CTemplate::BusyWindowOwner() const {
  for (CTemplate* window : LiveWindows()) {
    if (window->m_progress->IsOpen()) {
      return window;
    }
  }
  return nullptr;
}

// Who may use the window now: a progress window of this window keeps it disabled; one of
// another window leaves it free; with none, an open file dialog or sub-dialog keeps it
// disabled.
void CTemplate::SettleEnabledState() {
  const CTemplate* owner = BusyWindowOwner();
  if (owner == this) {
    m_progress->raise();
    m_context->SetResidentModal(true);
    EnableContent(false);
  } else if (owner != nullptr) {
    m_context->SetResidentModal(false);
    EnableContent(true);
  } else if (m_modalOpen || m_modalChild) {
    m_context->SetResidentModal(true);
    EnableContent(false);
  } else {
    m_context->SetResidentModal(false);
    EnableContent(true);
  }
}

void CTemplate::CloseAnime() {
  m_progress->Close();
  if (m_context != nullptr) {
    SettleEnabledState();
  } else {
    EnableContent(true);
  }
}

void CTemplate::CloseSandGlass() {
  if (m_context != nullptr) {
    SettleEnabledState();
  } else {
    EnableContent(true);
  }
  SetBusyCursor(false);
}

void CTemplate::ShowProgressDialog(const std::string& title, const std::string& text, std::uint32_t style,
                                   const std::vector<std::string>& arguments) {
  if (m_context != nullptr) {
    m_context->SetResidentModal(true);
  }
  EnableContent(false);
  m_progress->Open(title, text, static_cast<int>(style & 0xFF), (style & kProgressCancel) != 0, arguments);
}

void CTemplate::ShowProgressDialogEx(const std::string& title, const std::string& text, std::uint32_t style,
                                     const std::vector<std::string>& arguments) {
  ShowProgressDialog(title, text, style, arguments);
}

void CTemplate::ForceEndBusy() {
  if (m_context != nullptr && m_context->message != nullptr) {
    m_context->message->DelMsg(nullptr);
  }
  CloseAnime();
  CloseSandGlass();
}

// ---- executing value -----------------------------------------------------------------------

void CTemplate::SetExtcuting(std::uint8_t value) {
  ORVANE_TRACE("CTemplate::SetExtcuting Start\n");
  // The change flag stays set: StartUtility consumes it. The notice to the resident
  // window goes once per change, not at the end of every later operation.
  if (value == 0 && m_modelInfoNoticeDue) {
    m_modelInfoNoticeDue = false;
    if (m_context != nullptr) {
      PostMessage(m_context->ResidentHandle(), LinkMessage::kModelInfoChange, 0, 0);
    }
  }
  m_executing = value;
}

void CTemplate::OnWmAppModelInfoChange() {
  if (m_executing == 0) {
    if (m_context != nullptr) {
      PostMessage(m_context->ResidentHandle(), LinkMessage::kModelInfoChange, 0, 0);
    }
  } else {
    m_modelInfoChange = true;
    m_modelInfoNoticeDue = true;
  }
}

// ---- relabelling ---------------------------------------------------------------------------

void CTemplate::RelabelControls() {
  for (int id = TemplateId::kFromDevice; id <= TemplateId::kHelp; ++id) {
    SetControlText(id, id);
  }
}

int CTemplate::ToolTipBase(std::uint8_t kind) {
  switch (kind) {
    case 0:
      return 2000;
    case 1:
      return 8000;
    case 2:
      return 5000;
    case 3:
      return 4000;
    case 4:
      return 3000;
    case 6:
      return 7000;
    case 7:
      return 6000;
    default:
      return 0;
  }
}

void CTemplate::AddKindToolTips() {
  const int base = ToolTipBase(m_kind);
  if (base == 0) {
    return;
  }
  for (QWidget* control : m_content->findChildren<QWidget*>()) {
    if (const int id = ControlId(control); id != 0) {
      AddToolTip(id, id - 400 + base);
    }
  }
}

void CTemplate::SetDialogIcon() {
  setWindowIcon(CArtwork::Icon(CArtwork::kDialogIcon));
}

int CTemplate::HelpTopic(std::uint8_t kind) {
  static constexpr int kTopics[] = {4, 3, 1, 7, 8, 9, 10, 11, 5, 6, 1, 2};
  return kind < std::size(kTopics) ? kTopics[kind] : kTopics[1];
}

void CTemplate::StoreDeviceInfo(ReplyBytes reply) {
  std::uint8_t info[kDeviceInfoSize] = {};
  std::copy_n(reply.begin(), std::min(reply.size(), kDeviceInfoSize), info);
  if (m_context != nullptr && m_context->status != nullptr) {
    m_context->status->SetDeviceInfo(info);
  }
}

// ---- window operations ---------------------------------------------------------------------

bool CTemplate::QueryClose() {
  if (m_context != nullptr && m_context->link != nullptr) {
    m_context->link->ChangeApplicationMode(0);
  }
  return true;
}

void CTemplate::ShowAbout() {
  QPointer<CTemplate> self(this);
  const CAppContext* context = m_context;
  // On the heap: it goes with this window if this window is destroyed while it is up.
  QPointer<CVersionDlg> about =
      new CVersionDlg([self](std::int32_t id) { return self ? self->String(id) : std::string(); }, this,
                      [context](bool modal) {
                        if (context != nullptr) {
                          context->SetResidentModal(modal);
                        }
                      });
  RunModalChild(*about, [about] { return about->Run(); });
  delete about.data();
}

void CTemplate::EndWindow() {
  QDialog::done(QDialog::Rejected);
}

void CTemplate::OnClose() {
  QPointer<CTemplate> self(this);
  if (QueryClose() && self) {
    EndWindow();
  }
}

void CTemplate::OnHelp() {
  if (m_context == nullptr) {
    return;
  }
  if (m_context->showHelp) {
    m_context->showHelp(HelpTopic(m_kind), m_context->LanguageIndex(), this);
  } else if (m_context->message != nullptr) {
    CHelpLauncher(*m_context->message, CPaths::ProgramDataDir())
        .ShowHelp(HelpTopic(m_kind), m_context->LanguageIndex(), this);
  }
}

void CTemplate::closeEvent(QCloseEvent* event) {
  event->ignore();
  RunCommand(TemplateId::kClose);
}

void CTemplate::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    RunCommand(TemplateId::kHelp);
    return;
  }
  QDialog::keyPressEvent(event);
}
