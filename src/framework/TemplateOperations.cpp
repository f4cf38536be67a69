// CTemplate: the message map and the device operations every utility window shares.
#include "framework/AppContext.h"
#include "framework/Template.h"

#include "appcore/AppStatus.h"
#include "devlink/DeviceLink.h"
#include "platform/DebugLog.h"
#include "platform/WindowRegistry.h"
#include "ui/Message.h"
#include "ui/ProgressWnd.h"
#include "ui/VersionDlg.h"

namespace {

bool IsStartSequenceCode(std::uint32_t code) {
  return code == LinkCode::kKeyOperation || code == LinkCode::kStatusByte;
}

}  // namespace

// ---- message map ---------------------------------------------------------------------------

void CTemplate::OnWindowMessage(const WindowMessage& message) {
  HandlerLock lock(this);
  const auto code = static_cast<std::uint32_t>(message.wParam);
  const ReplyBytes reply = message.payload ? ReplyBytes(*message.payload) : ReplyBytes();
  switch (message.message) {
    case LinkMessage::kRequestComplete:
      OnRequestComplete(code, reply);
      break;
    case LinkMessage::kRequestNoResponse:
      OnRequestNoResponse(code);
      break;
    case LinkMessage::kRequestFailed:
      OnRequestFailed(code, reply);
      break;
    case LinkMessage::kItemReceived:
      OnReceivedItem(code, reinterpret_cast<const ReceivedItem*>(message.lParam));
      break;
    case LinkMessage::kIndication68:
      OnWmAppE93Ind();
      break;
    case LinkMessage::kIndication69:
      OnWmAppE94Ind();
      break;
    case LinkMessage::kPlayEnded:
      OnWmAppPlayStopInd(code);
      break;
    case TemplateMessage::kErrorNotice:
      OnWmAppErrorNotice();
      break;
    case TemplateMessage::kLanguageChange:
      OnWmAppLanguageChange();
      break;
    case TemplateMessage::kDeviceChange:
      OnWmAppDeviceChange(message.wParam, message.lParam);
      break;
    case TemplateMessage::kCancel:
      OnWmAppCancel();
      break;
    case LinkMessage::kProgress:
      OnWmAppProgress(message.wParam, static_cast<std::uint64_t>(message.lParam));
      break;
    case LinkMessage::kModelInfoChange:
      OnWmAppModelInfoChange();
      break;
    default:
      OnOtherMessage(message);
      break;
  }
}

void CTemplate::RunCommand(int id) {
  HandlerLock lock(this);
  switch (id) {
    case TemplateId::kFromDevice:
    case TemplateId::kSend:
    case TemplateId::kErase:
    case TemplateId::kPlayOnDevice:
      OnDeviceButton(id);
      break;
    case TemplateId::kSaveAs:
      OnSaveAs();
      break;
    case TemplateId::kOpen:
      OnOpen();
      break;
    case TemplateId::kClose:
      OnClose();
      break;
    case TemplateId::kHelp:
      OnHelp();
      break;
    case TemplateId::kAbout:
      ShowAbout();
      break;
    default:
      if (id >= TemplateId::kFirstHistory && id <= TemplateId::kLastHistory) {
        OnFileHistory(id);
        OnHistoryCommand(id);
      }
      break;
  }
}

// ---- sending -------------------------------------------------------------------------------

bool CTemplate::SendRequest() {
  CDeviceLink* link = m_context != nullptr ? m_context->link : nullptr;
  const bool connected = m_context != nullptr && m_context->IsConnected();
  if (m_kind != APP_VERSION_INFO && !connected) {
    CloseAnime();
    CloseSandGlass();
    if (!(m_kind == APP_MELODY && m_executing == 18)) {
      SetExtcuting(0);
    }
    return false;
  }
  m_cancelled = false;
  if (m_kind == APP_VERSION_INFO && link != nullptr) {
    link->ChangeApplicationMode(3);
  }
  m_params.notifyWindow = m_handle;
  if (link != nullptr && link->PostRequest(static_cast<std::uint16_t>(m_requestCode), m_params)) {
    return true;
  }
  // The link is still busy with another request (or there is none): nothing will answer,
  // so the busy display must end here.
  ORVANE_TRACE("CTemplate::SendRequest - 0x%X not taken\n", m_requestCode);
  if (m_kind == APP_VERSION_INFO && link != nullptr) {
    link->ChangeApplicationMode(0);
  }
  CloseAnime();
  CloseSandGlass();
  SetExtcuting(0);
  ShowMsg(TemplateMsgId::kError, MB_ICONSTOP);
  return false;
}

void CTemplate::OnDeviceButton(int id) {
  QPointer<CTemplate> self(this);
  m_progressMessageId = 0;
  m_progressTexts.clear();
  bool prepared = false;
  switch (id) {
    case TemplateId::kFromDevice:
      prepared = Prepare1000();
      break;
    case TemplateId::kSend:
      prepared = Prepare1001();
      break;
    case TemplateId::kErase:
      prepared = Prepare1002();
      break;
    default:
      prepared = Prepare1003();
      break;
  }
  if (!prepared || !self) {
    return;
  }
  ShowOperationProgress(id);
  SendRequest();
}

void CTemplate::SetProgressMessage(std::int32_t stringId, const std::vector<std::string>& texts, std::uint32_t style) {
  m_progressMessageId = stringId;
  m_progressTexts = texts;
  m_progressStyle = style;
}

void CTemplate::ShowOperationProgress(int /*buttonId*/) {
  const std::string title = String(TemplateId::kPleaseWait);
  const std::string text = String(m_progressMessageId);
  if (!title.empty() && !text.empty()) {
    ShowProgressDialog(title, text, m_progressStyle, m_progressTexts);
  }
}

void CTemplate::ClearRequest(std::uint32_t kind, std::uint32_t code) {
  m_params = RequestParams{};
  m_params.notifyWindow = m_handle;
  m_params.kind = kind;
  m_requestCode = code;
}

void CTemplate::StartUtility() {
  if (m_modelInfoChange) {
    m_modelInfoChange = false;
    OnUtilityStartDone();
    return;
  }
  m_startPhase = 0;
  SendKeyOperationStart();
}

void CTemplate::SendKeyOperationStart() {
  BeginBusy();
  ClearRequest(0, LinkCode::kKeyOperation);
  SendRequest();
}

void CTemplate::SendKeyOperationEnd() {
  ClearRequest(1, LinkCode::kKeyOperation);
  SendRequest();
}

void CTemplate::SendStatusStart() {
  m_startPhase = 3;
  ClearRequest(3, LinkCode::kStatusByte);
  m_params.arg1 = m_statusArg;
  SendRequest();
}

void CTemplate::SendStatusEnd() {
  m_startPhase = m_statusArg == 0 ? 1 : 4;
  ClearRequest(0, LinkCode::kStatusByte);
  m_params.arg1 = m_statusArg;
  SendRequest();
}

bool CTemplate::SendNext() {
  if (!PrepareNextSend()) {
    return false;
  }
  BeginBusy();
  return SendRequest();
}

void CTemplate::DisableDeviceButtons() {
  for (int id = TemplateId::kFromDevice; id <= TemplateId::kReserved; ++id) {
    if (QWidget* control = Control(id)) {
      control->setEnabled(false);
    }
  }
}

// ---- outcomes ------------------------------------------------------------------------------

void CTemplate::OnRequestComplete(std::uint32_t code, ReplyBytes reply) {
  if (m_context == nullptr || m_context->IsSuspended()) {
    return;
  }
  if (m_kind == APP_VERSION_INFO && m_context->link != nullptr) {
    m_context->link->ChangeApplicationMode(0);
  }
  // Taken before the hooks: a hook that posts the next request clears the flag.
  const bool cancelled = m_cancelled;
  QPointer<CTemplate> self(this);
  DispatchCompletion(code, reply);
  if (!self || !cancelled) {
    return;
  }
  if (code != LinkCode::kPlayStop) {
    CloseAnime();
    CloseSandGlass();
    ShowMsg(TemplateMsgId::kCancelled, MB_ICONINFORMATION);
    if (!self) {
      return;
    }
  }
  m_cancelled = false;
}

void CTemplate::DispatchCompletion(std::uint32_t code, ReplyBytes reply) {
  switch (code) {
    case LinkCode::kStatusByte:
      OnStatusDone(code, reply);
      break;
    case LinkCode::kWriteStart:
      OnWriteDone(code, reply);
      break;
    case LinkCode::kReadCount:
      OnReadCountDone(code, reply);
      break;
    case LinkCode::kRead:
      OnReadDone(code, reply);
      break;
    case LinkCode::kDelete:
      OnEraseDone(code, reply);
      break;
    case LinkCode::kPlayStart:
      OnPlayDone(code, reply);
      break;
    case LinkCode::kKeyOperation:
      OnKeyOperationDone(code, reply);
      break;
    default:
      OnOtherDone(code, reply);
      break;
  }
}

void CTemplate::OnRequestNoResponse(std::uint32_t code) {
  CloseAnime();
  CloseSandGlass();
  if (m_context == nullptr || m_context->IsSuspended()) {
    return;
  }
  if (m_kind == APP_VERSION_INFO && m_context->link != nullptr) {
    m_context->link->ChangeApplicationMode(0);
  }
  QPointer<CTemplate> self(this);
  ShowMsg(TemplateMsgId::kNotResponding, MB_ICONSTOP);
  if (!self) {
    return;
  }
  DisableDeviceButtons();
  OnNoResponse(code);
  if (self) {
    ApplyStartFailedRule(code);
    SetExtcuting(0);
  }
}

void CTemplate::ApplyStartFailedRule(std::uint32_t code) {
  if ((code == LinkCode::kKeyOperation && m_startPhase == 0) || (code == LinkCode::kStatusByte && m_startPhase == 3)) {
    m_startFailed = true;
  }
}

void CTemplate::OnRequestFailed(std::uint32_t code, ReplyBytes reply) {
  if (m_context == nullptr || m_context->IsSuspended()) {
    CloseAnime();
    CloseSandGlass();
    return;
  }
  if (m_kind == APP_VERSION_INFO && m_context->link != nullptr) {
    m_context->link->ChangeApplicationMode(0);
  }
  static const FailureRow kWrite{&CTemplate::BeforeWriteFailed, &CTemplate::AfterWriteFailed, 0};
  static const FailureRow kReadCount{&CTemplate::BeforeReadCountFailed, &CTemplate::AfterReadCountFailed, 0};
  static const FailureRow kRead{&CTemplate::BeforeReadFailed, &CTemplate::AfterReadFailed, 0};
  static const FailureRow kErase{&CTemplate::BeforeEraseFailed, &CTemplate::AfterEraseFailed, 0};
  static const FailureRow kPlay{&CTemplate::BeforePlayFailed, &CTemplate::AfterPlayFailed, 0};
  switch (code) {
    case LinkCode::kWriteStart: {
      const bool memoryFull = !reply.empty() && (reply[0] & 0x10) != 0;
      // The settings utilities (kinds 8 and 9) end their busy display in their own hooks.
      const bool quiet = m_kind == 8 || m_kind == 9;
      ReportFailure(code, reply, kWrite, memoryFull ? TemplateMsgId::kMemoryFull : TemplateMsgId::kNotTransferred,
                    memoryFull ? MB_ICONEXCLAMATION : MB_ICONSTOP, !quiet);
      break;
    }
    case LinkCode::kReadCount:
      ReportFailure(code, reply, kReadCount, TemplateMsgId::kNotTransferred, MB_ICONSTOP, true);
      break;
    case LinkCode::kRead:
      ReportFailure(code, reply, kRead, TemplateMsgId::kNotTransferred, MB_ICONSTOP, true);
      break;
    case LinkCode::kDelete:
      ReportFailure(code, reply, kErase, TemplateMsgId::kNotErased, MB_ICONSTOP, true);
      break;
    case LinkCode::kPlayStart:
      ReportFailure(code, reply, kPlay, TemplateMsgId::kPlayFailed, MB_ICONSTOP, true);
      break;
    default: {
      QPointer<CTemplate> self(this);
      OnOtherFailed(code, reply);
      if (!self) {
        return;
      }
      ApplyStartFailedRule(code);
      // The start and end sequences are the base class's own requests, begun behind a
      // busy display: a failed one must not leave the window disabled.
      if (IsStartSequenceCode(code)) {
        CloseAnime();
        CloseSandGlass();
      }
      SetExtcuting(0);
      break;
    }
  }
}

void CTemplate::ReportFailure(std::uint32_t code, ReplyBytes reply, const FailureRow& row, std::int32_t message,
                              std::uint32_t style, bool showMessage) {
  QPointer<CTemplate> self(this);
  (this->*row.before)(code, reply);
  if (!self) {
    return;
  }
  if (showMessage) {
    CloseAnime();
    CloseSandGlass();
    ShowMsg(message, style);
    if (!self) {
      return;
    }
  }
  (this->*row.after)(code, reply);
  if (self) {
    SetExtcuting(0);
  }
}

void CTemplate::OnReceivedItem(std::uint32_t code, const ReceivedItem* item) {
  if (item == nullptr) {
    return;
  }
  // Handed back even when the hook ends this window.
  CDeviceLink* link = m_context != nullptr ? m_context->link : nullptr;
  OnItemReceived(code, ReplyBytes(item->data, item->length));
  if (link != nullptr) {
    link->ReleaseReceivedItem(item);
  }
}

// ---- completion hooks ----------------------------------------------------------------------

bool CTemplate::OnKeyOperationDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  switch (m_startPhase) {
    case 0:
      SendStatusStart();
      break;
    case 1:
      OnUtilityEndDone();
      break;
    case 2:
      OnUtilityStartDone();
      break;
    default:
      break;
  }
  return true;
}

bool CTemplate::OnStatusDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  if (m_startPhase == 3) {
    m_startFailed = false;
    OnUtilityStartDone();
  } else if (m_startPhase == 4) {
    OnUtilityEndDone();
  }
  return true;
}

bool CTemplate::OnReadCountDone(std::uint32_t code, ReplyBytes reply) {
  QPointer<CTemplate> self(this);
  BeforeReadCountDone(code, reply);
  if (!self) {
    return false;
  }
  CloseSandGlass();
  AfterReadCountDone(code, reply);
  return true;
}

// A completed read, write or erase: the utility checks the result, the busy display ends,
// the success message shows and a write or erase chains the next object; then the
// utility's after-hook. While the request was cancelled the success message and the
// follow-up send are left out: the base class shows 724 once the hooks are done.
bool CTemplate::FinishOperation(const SuccessRow& row, std::uint32_t code, ReplyBytes reply, bool endWhenRejected) {
  QPointer<CTemplate> self(this);
  const bool accepted = (this->*row.check)(code, reply);
  if (!self) {
    return false;
  }
  if (!accepted) {
    if (endWhenRejected) {
      (this->*row.endBusy)();
    }
    return true;
  }
  (this->*row.endBusy)();
  if (!self) {
    return false;
  }
  if (!m_cancelled) {
    ShowMsg(row.message, MB_ICONINFORMATION);
    if (!self) {
      return false;
    }
    if (row.chain) {
      SendNext();
      if (!self) {
        return false;
      }
    }
  }
  (this->*row.after)(code, reply);
  return true;
}

bool CTemplate::OnReadDone(std::uint32_t code, ReplyBytes reply) {
  static const SuccessRow kRead{&CTemplate::CheckReadResult, &CTemplate::EndReadBusy, &CTemplate::AfterReadDone,
                                TemplateMsgId::kSent, false};
  return FinishOperation(kRead, code, reply, !m_keepBusy);
}

bool CTemplate::OnWriteDone(std::uint32_t code, ReplyBytes reply) {
  static const SuccessRow kWrite{&CTemplate::CheckWriteResult, &CTemplate::EndWriteBusy, &CTemplate::AfterWriteDone,
                                 TemplateMsgId::kSent, true};
  return FinishOperation(kWrite, code, reply, true);
}

bool CTemplate::OnEraseDone(std::uint32_t code, ReplyBytes reply) {
  static const SuccessRow kErase{&CTemplate::CheckEraseResult, &CTemplate::EndEraseBusy, &CTemplate::AfterEraseDone,
                                 TemplateMsgId::kErased, true};
  return FinishOperation(kErase, code, reply, true);
}

bool CTemplate::OnPlayDone(std::uint32_t code, ReplyBytes reply) {
  AfterPlayDone(code, reply);
  return true;
}

// ---- other notifications -------------------------------------------------------------------

void CTemplate::OnWmAppE93Ind() {
  DisableDeviceButtons();
  OnIndicationE93();
}

void CTemplate::OnWmAppE94Ind() {
  QPointer<CTemplate> self(this);
  m_startPhase = 2;
  SendKeyOperationStart();
  if (self) {
    OnIndicationE94();
  }
}

// Playback on the handset ended: the progress window closes and the window is free again
// unless a progress window of its own, a file dialog or a sub-dialog still needs it
// disabled (CloseAnime settles that).
void CTemplate::OnWmAppPlayStopInd(std::uint32_t code) {
  QPointer<CTemplate> self(this);
  OnPlayStopIndication(code);
  if (self) {
    CloseAnime();
  }
}

void CTemplate::OnWmAppErrorNotice() {
  CloseAnime();
  CloseSandGlass();
  QPointer<CTemplate> self(this);
  ShowMsg(TemplateMsgId::kError, MB_ICONSTOP);
  if (!self) {
    return;
  }
  DisableDeviceButtons();
  OnNoResponse(0);
  if (self) {
    SetExtcuting(0);
  }
}

void CTemplate::OnWmAppDeviceChange(std::uintptr_t wParam, std::intptr_t lParam) {
  if (wParam != 1) {
    OnDeviceAttached(wParam, lParam);
    return;
  }
  DisableDeviceButtons();
  QPointer<CTemplate> self(this);
  OnDeviceDetached(wParam, lParam);
  if (self && (m_modalOpen || m_modalChild)) {
    m_context->SetResidentModal(true);
    EnableContent(false);
  }
}

void CTemplate::OnWmAppCancel() {
  if (m_context != nullptr && m_context->link != nullptr) {
    m_context->link->CancelTransfer();
  }
  m_cancelled = true;
  OnCancelRequested(m_requestCode);
}

void CTemplate::OnWmAppProgress(std::uint64_t done, std::uint64_t total) {
  m_progress->Progress(done, total);
}

void CTemplate::OnWmAppLanguageChange() {
  RemoveHistoryItems();
  RelabelControls();
  AddKindToolTips();
  QPointer<CTemplate> self(this);
  OnLanguageChanged();
  if (!self) {
    return;
  }
  if (m_progress->IsOpen()) {
    m_progress->Relabel(String(TemplateId::kPleaseWait), String(m_progressMessageId), m_progressTexts);
  }
  if (auto* child = qobject_cast<CTemplate*>(m_modalChild.data())) {
    PostMessage(child->Handle(), TemplateMessage::kLanguageChange, 0, 0);
  } else if (auto* about = qobject_cast<CVersionDlg*>(m_modalChild.data())) {
    about->Relabel();
  }
  RebuildHistoryItems();
  update();
}
