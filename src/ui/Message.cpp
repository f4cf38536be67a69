#include "ui/Message.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

const char* const CMessage::kCaption = "ORVANE    ";

namespace {

QMessageBox::StandardButtons ButtonsFor(std::uint32_t style) {
  switch (style & 0xF) {
    case MB_OKCANCEL:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_ABORTRETRYIGNORE:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MB_YESNOCANCEL:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO:
      return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL:
      return QMessageBox::Retry | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconFor(std::uint32_t style) {
  switch (style & 0xF0) {
    case MB_ICONSTOP:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ResultFor(int button) {
  switch (button) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Abort:
      return IDABORT;
    case QMessageBox::Retry:
      return IDRETRY;
    case QMessageBox::Ignore:
      return IDIGNORE;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return 0;
  }
}

QWidget* FindVersionDialog(const QString& caption) {
  if (caption.isEmpty()) {
    return nullptr;
  }
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->windowTitle() == caption) {
      return widget;
    }
  }
  return nullptr;
}

}  // namespace

CMessage::CMessage(TextLookup lookup) : m_lookup(std::move(lookup)) {}

CMessage::~CMessage() {
  DelMsg(nullptr);
}

std::string CMessage::FormatText(const std::string& text, const std::vector<std::string>& arguments) {
  std::string result = text;
  std::size_t next = 0;
  std::size_t from = 0;
  for (std::size_t at = result.find("%s", from); at != std::string::npos; at = result.find("%s", from)) {
    const std::string argument = next < arguments.size() ? arguments[next++] : std::string();
    result.replace(at, 2, argument);
    from = at + argument.size();  // an argument's own "%s" is text, not a place-holder
  }
  for (std::size_t at = result.find("\\n"); at != std::string::npos; at = result.find("\\n", at + 1)) {
    result.replace(at, 2, "\n");
  }
  return result;
}

int CMessage::EmulatedResult(std::uint32_t style) {
  const QMessageBox::StandardButtons buttons = ButtonsFor(style);
  if (buttons & QMessageBox::Cancel) {
    return IDCANCEL;
  }
  if (buttons & QMessageBox::No) {
    return IDNO;
  }
  if (buttons & QMessageBox::Abort) {
    return IDABORT;
  }
  if (buttons & QMessageBox::Ok) {
    return IDOK;
  }
  return IDCANCEL;
}

int CMessage::ShowMsg(std::int32_t number, std::uint32_t style, QWidget* owner) {
  return ShowMsg(number, style, {}, owner);
}

int CMessage::ShowMsg(std::int32_t number, std::uint32_t style, const std::vector<std::string>& arguments,
                      QWidget* owner) {
  const std::string text = m_lookup ? m_lookup(number) : std::string();
  if (text.empty()) {
    return 0;
  }
  if (m_testHook) {
    return m_testHook(number, style, FormatText(text, arguments));
  }
  SetResidentModal(true);
  DelMsg(nullptr);
  const int result = Show(FormatText(text, arguments), style, owner);
  SettleOwner(owner);
  return result;
}

int CMessage::Show(const std::string& text, std::uint32_t style, QWidget* owner) {
  QMessageBox box(IconFor(style), QString::fromLatin1(kCaption), QString::fromStdString(text), ButtonsFor(style),
                  owner);
  box.setWindowModality(Qt::ApplicationModal);
  if (style & MB_SYSTEMMODAL) {
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  OpenBox open;
  open.box = &box;
  open.owner = owner;
  open.style = style;
  m_open.push_back(&open);
  const int button = box.exec();
  std::erase(m_open, &open);
  return open.closedByProgram ? EmulatedResult(style) : ResultFor(button);
}

bool CMessage::DelMsg(QWidget* owner) {
  if (owner != nullptr && (m_open.empty() || m_open.back()->owner != owner)) {
    return true;
  }
  for (OpenBox* open : m_open) {
    if (open->box && !open->closedByProgram) {
      open->closedByProgram = true;
      open->box->done(0);
    }
  }
  return true;
}

void CMessage::SetResidentModal(bool modal) {
  if (m_setModalFlag) {
    m_setModalFlag(modal);
  }
}

// After a box: a version-information dialog of this owner keeps the owner disabled behind
// it; otherwise the owner is enabled again and the application is no longer modal.
void CMessage::SettleOwner(QWidget* owner) {
  if (owner == nullptr) {
    if (m_open.empty()) {
      SetResidentModal(false);
    }
    return;
  }
  const std::string caption = m_lookup ? m_lookup(kVersionCaptionId) : std::string();
  QWidget* version = FindVersionDialog(QString::fromStdString(caption));
  if (version != nullptr && version->parentWidget() == owner) {
    version->raise();
    version->activateWindow();
    owner->setEnabled(false);
    return;
  }
  if (version != nullptr) {
    owner->setEnabled(true);
    if (version->parentWidget() != m_resident) {
      SetResidentModal(false);
    }
    return;
  }
  SetResidentModal(false);
  owner->setEnabled(true);
}
