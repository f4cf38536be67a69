// CPhoneBookUtilityDlg: receiving the handset's phonebook, restoring the send cache and
// sending the Handset list.
#include "phonebook/PhoneBookUtilityDlg.h"

#include "appcore/AppStatus.h"
#include "appcore/SettingsStore.h"
#include "devlink/LinkTypes.h"
#include "framework/AppContext.h"
#include "phonebook/HandsetPhonebook.h"
#include "phonebook/ImportWorker.h"
#include "phonebook/PhoneBookOutlookImport.h"
#include "phonebook/PhonebookFile.h"
#include "phonebook/PhonebookListModel.h"
#include "platform/WindowRegistry.h"
#include "ui/AnimationPainter.h"
#include "ui/Message.h"
#include "ui/ProgressWnd.h"

#include <QEventLoop>
#include <new>

namespace {
constexpr std::uint32_t kPhonebookKind = 4;
constexpr std::uint32_t kCallerKind = 8;
constexpr std::uint32_t kEraseAll = 255;
constexpr std::int32_t kMsgRestoreCache = 1533;
constexpr std::int32_t kMsgEraseAfterReceive = 776;
constexpr std::int32_t kMsgNoSpace = 755;
constexpr std::int32_t kMsgReceiveText = 756;
constexpr std::int32_t kMsgReceiveFailed = 757;
constexpr std::int32_t kMsgCallerFailed = 759;
constexpr std::int32_t kMsgCacheNotSaved = 766;
constexpr std::int32_t kMsgMemory = 777;
constexpr std::int32_t kMsgSendText = 778;
constexpr std::int32_t kMsgSendQuestion = 726;
constexpr std::int32_t kMsgError = 773;
constexpr std::uint32_t kModelFieldNoHyphen = 35;
constexpr std::uint32_t kModelFieldNoHyphen2 = 40;
constexpr std::uint32_t kModelFieldEntry = 65;
constexpr int kDefaultCapacity = 50;
// A receive shows every record the handset holds, even beyond the capacity the settings
// give: dropping them unseen would lose them at the next send. The capacity check on Send
// (755) keeps the handset from being given more than it holds.
constexpr int kReceiveLimit = 255;
}  // namespace

int CPhoneBookUtilityDlg::Capacity() const {
  std::uint32_t entry = 0;
  if (Context() == nullptr || Context()->status == nullptr ||
      !Context()->status->GetModelField(kModelFieldEntry, entry)) {
    return kDefaultCapacity;
  }
  return HandsetCapacity(entry);
}

void CPhoneBookUtilityDlg::EvaluateFreeEdit() {
  std::uint32_t field35 = 0;
  std::uint32_t field40 = 0;
  if (Context() == nullptr || Context()->status == nullptr) {
    return;
  }
  Context()->status->GetModelField(kModelFieldNoHyphen, field35);
  Context()->status->GetModelField(kModelFieldNoHyphen2, field40);
  m_freeEdit = ::EvaluateFreeEdit(field35, field40);
  if (Context()->settings != nullptr) {
    Context()->settings->WriteDword(kProductKey + "PhoneBook", "FreeEdit", m_freeEdit ? 1 : 0);
  }
  ReformatAllNumbers(m_computer, m_handset, m_freeEdit);
  m_pcModel->Refresh();
  m_devModel->Refresh();
}

void CPhoneBookUtilityDlg::PostToSelf(std::uint32_t message) {
  PostMessage(Handle(), message, 0, 0);
}

void CPhoneBookUtilityDlg::OnOtherMessage(const WindowMessage& message) {
  if (m_outlookImport != nullptr) {
    m_outlookImport->OnJobMessage(message.message);
  }
  if (message.message == kExitSent || message.message == kExitFailed || message.message == kExitNoResponse) {
    m_closeResult = message.message;
    if (m_closeLoop != nullptr) {
      m_closeLoop->quit();
    }
  }
}

// ---- handset ready: the cache of a broken send, or a receive ----------------------------------

bool CPhoneBookUtilityDlg::OnUtilityStartDone() {
  CloseSandGlass();
  RestoreSendCache();
  return true;
}

void CPhoneBookUtilityDlg::RestoreSendCache() {
  m_noDevice = false;
  UpdateButtons();
  TellSubDialog(true);
  if (ImportRunning()) {
    m_restorePending = true;  // received once the import's result is in
    return;
  }
  if (Executing() != 0) {
    return;  // a transfer already runs (a second ready notice)
  }
  std::error_code ec;
  if (!std::filesystem::exists(m_cachePath, ec)) {
    StartReceive();
    return;
  }
  QPointer<CPhoneBookUtilityDlg> self(this);
  const int answer = ShowMsg(kMsgRestoreCache, MB_OKCANCEL | MB_ICONQUESTION);
  if (!self) {
    return;
  }
  if (answer != IDOK) {
    StartReceive();
    return;
  }
  // An unreadable cache is kept for a later try; the handset is received as if there
  // were none, so the window does not stay disabled.
  CPhonebookList restored;
  std::optional<std::vector<PhonebookEntry>> entries = ReadSendCacheEntries(m_cachePath);
  if (!entries || !ReadSendCache(m_cachePath, restored, m_freeEdit)) {
    CloseSandGlass();
    StartReceive();
    return;
  }
  m_cacheEntries = std::move(*entries);
  m_handset = std::move(restored);
  m_received.clear();
  m_receiveComplete = false;  // the next send receives the handset again first
  ListChanged(Side::Handset);
  CloseSandGlass();
}

void CPhoneBookUtilityDlg::StartReceive() {
  RunCommand(TemplateId::kFromDevice);
}

bool CPhoneBookUtilityDlg::Prepare1000() {
  if (!m_handset.Empty() || !m_received.empty()) {
    if (m_subDialog) {
      m_subDialog->done(QDialog::Rejected);
    }
    QPointer<CPhoneBookUtilityDlg> self(this);
    const int answer = ShowMsg(kMsgEraseAfterReceive, MB_OKCANCEL | MB_ICONQUESTION);
    if (!self) {
      return false;
    }
    if (answer != IDOK) {
      CloseSandGlass();
      return false;
    }
    if (Context() != nullptr && Context()->IsConnected()) {
      m_handset.Clear();
      m_received.clear();
      ListChanged(Side::Handset);
    }
  }
  SetUpPhonebookRead();
  return true;
}

void CPhoneBookUtilityDlg::SetUpPhonebookRead() {
  BeginBusy();
  m_memoryError = false;
  m_receiveFailed = false;
  m_receiveComplete = false;
  m_itemsReceived = 0;
  m_received.clear();
  Params() = RequestParams{};
  Params().kind = kPhonebookKind;
  SetRequestCode(LinkCode::kReadCount);
  SetProgressMessage(kMsgReceiveText, {}, kProgressCancel | CAnimationPainter::kReceive);
  SetExtcuting(kReceiving);
}

bool CPhoneBookUtilityDlg::OnItemReceived(std::uint32_t code, ReplyBytes object) {
  if (code != LinkCode::kReadCount || m_memoryError) {
    return true;
  }
  try {
    if (Params().kind == kCallerKind) {
      if (std::optional<CallerIdEntry> caller = DecodeCallerRecord(object)) {
        m_callers.push_back(std::move(*caller));
      }
      return true;
    }
    AddReceivedItem(m_received, m_itemsReceived, kReceiveLimit, object, m_freeEdit);
    ++m_itemsReceived;
  } catch (const std::bad_alloc&) {
    m_memoryError = true;
    ShowMsg(kMsgMemory, MB_ICONSTOP);
  }
  return true;
}

bool CPhoneBookUtilityDlg::BeforeReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  if (Params().kind == kCallerKind) {
    if (!m_memoryError) {
      AddCallers();
    }
    return true;
  }
  const bool complete = !IsCancelled() && !m_receiveFailed && !m_memoryError && !m_noDevice;
  if (m_waitingSend) {
    EndPreReceive(IsCancelled() ? PreReceive::Cancelled : complete ? PreReceive::Complete : PreReceive::Failed);
    m_receiveComplete = complete;
    return true;
  }
  if (m_memoryError) {
    return true;
  }
  m_receiveComplete = complete;
  if (ShowReceivedEntries(m_received, m_handset) > 0) {
    m_devEdit = false;
  }
  ListChanged(Side::Handset);
  return true;
}

bool CPhoneBookUtilityDlg::AfterReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  if (m_waitingSend) {
    m_waitingSend = false;  // the send goes on behind the same busy display
  } else {
    CloseAnime();
  }
  SetExtcuting(0);
  return true;
}

// ---- send ---------------------------------------------------------------------------------------

void CPhoneBookUtilityDlg::EndPreReceive(PreReceive outcome) {
  m_preReceive = outcome;
  if (m_preReceiveLoop != nullptr) {
    m_preReceiveLoop->quit();
  }
}

// Receives the handset's phonebook ahead of a send, waiting in a local loop that keeps the
// window responsive.
CPhoneBookUtilityDlg::PreReceive CPhoneBookUtilityDlg::ReceiveBeforeSend() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  SetUpPhonebookRead();
  CTemplate::ShowOperationProgress(TemplateId::kFromDevice);
  m_waitingSend = true;
  m_preReceive = PreReceive::Running;
  if (!SendRequest()) {
    m_waitingSend = false;
    return PreReceive::Failed;
  }
  if (m_preReceive == PreReceive::Running) {
    QEventLoop loop;
    m_preReceiveLoop = &loop;
    loop.exec();
    if (!self) {
      return PreReceive::Failed;
    }
    m_preReceiveLoop = nullptr;
  }
  m_waitingSend = false;
  return m_preReceive;
}

bool CPhoneBookUtilityDlg::Prepare1001() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  if (m_handset.Count() > static_cast<std::size_t>(Capacity())) {
    ShowMsg(kMsgNoSpace, MB_ICONEXCLAMATION);
    return false;
  }
  if (m_handset.Empty()) {
    return false;
  }
  if (ShowMsg(kMsgSendQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK || !self) {
    return false;
  }
  if (m_noDevice) {
    ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
    return false;
  }
  // Only a whole copy of the handset is a backup: without one the handset is received
  // again first, and a receive that did not complete stops the send before the erase.
  if (!m_receiveComplete) {
    const PreReceive outcome = ReceiveBeforeSend();
    if (!self) {
      return false;
    }
    if (outcome != PreReceive::Complete) {
      // A cancelled receive was already reported (724) when its request completed; a
      // failed one by its own message.
      CloseAnime();
      CloseSandGlass();
      SetExtcuting(0);
      if (m_closing) {
        PostToSelf(kExitFailed);
      }
      return false;
    }
  }
  if (m_noDevice || Context() == nullptr || !Context()->IsConnected()) {
    CloseAnime();
    CloseSandGlass();
    SetExtcuting(0);
    ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
    return false;
  }
  // What the handset holds now comes first; the restored cache gives the bytes of the
  // entries a broken send had already erased.
  std::vector<PhonebookEntry> known = m_received;
  known.insert(known.end(), m_cacheEntries.begin(), m_cacheEntries.end());
  m_sendQueue = BuildSendQueue(m_handset, known);
  // The cache of an earlier broken send is the only copy of what the handset held before
  // it: it stays until a send completes. Otherwise the copy just received is written, and
  // without it the handset is not erased.
  std::error_code ec;
  if (!std::filesystem::exists(m_cachePath, ec) && !WriteSendCache(m_cachePath, m_received)) {
    CloseAnime();
    CloseSandGlass();
    SetExtcuting(0);
    ShowMsg(kMsgCacheNotSaved, MB_ICONSTOP);
    return false;
  }
  Params() = RequestParams{};
  Params().kind = kPhonebookKind;
  Params().arg3 = kEraseAll;
  SetRequestCode(LinkCode::kDelete);
  SetProgressMessage(kMsgSendText, {}, kProgressCancel | CAnimationPainter::kSend);
  SetExtcuting(kSending);
  return true;
}

bool CPhoneBookUtilityDlg::OnEraseDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_received.clear();
  m_receiveComplete = false;
  if (IsCancelled()) {
    // The handset is erased: the cache is its only copy now and stays.
    CloseAnime();
    SetExtcuting(0);
    if (m_closing) {
      PostToSelf(kExitFailed);
    }
    return true;
  }
  m_sendTotal = m_sendQueue.size();
  m_written = 0;
  if (m_sendQueue.empty()) {
    FinishSend();
    return true;
  }
  SendRecord();
  return true;
}

bool CPhoneBookUtilityDlg::SendRecord() {
  const PhonebookEntry& head = m_sendQueue.front();
  m_record = EncodeRecord(head.name, head.number, head.attributes);
  Params() = RequestParams{};
  Params().kind = kPhonebookKind;
  Params().data = m_record.bytes.data();
  Params().dataSize = static_cast<std::uint32_t>(m_record.bytes.size());
  SetRequestCode(LinkCode::kWriteStart);
  if (ProgressWindow() != nullptr) {
    ProgressWindow()->Progress(m_written + 1, m_sendTotal);
  }
  if (SendRequest()) {
    return true;
  }
  if (m_closing) {
    PostToSelf(kExitFailed);
  }
  return false;
}

bool CPhoneBookUtilityDlg::OnWriteDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  if (!m_sendQueue.empty()) {
    m_received.push_back(m_sendQueue.front());
    m_received.back().number = ToDisplayNumber(m_received.back().number, m_freeEdit);
    m_sendQueue.erase(m_sendQueue.begin());
    ++m_written;
  }
  if (IsCancelled()) {
    // Part of the list is on the handset: the cache keeps the rest for the next start.
    CloseAnime();
    SetExtcuting(0);
    if (m_closing) {
      PostToSelf(kExitFailed);
    }
    return true;
  }
  if (m_sendQueue.empty()) {
    FinishSend();
    return true;
  }
  SendRecord();
  return true;
}

void CPhoneBookUtilityDlg::FinishSend() {
  QPointer<CPhoneBookUtilityDlg> self(this);
  CloseAnime();
  RemoveSendCache(m_cachePath);
  m_cacheEntries.clear();
  m_receiveComplete = true;  // the received table now mirrors the handset
  m_devEdit = false;
  SetExtcuting(0);
  ShowMsg(TemplateMsgId::kSent, MB_ICONINFORMATION);
  if (self && m_closing) {
    PostToSelf(kExitSent);
  }
}

// ---- failures -----------------------------------------------------------------------------------

void CPhoneBookUtilityDlg::OnRequestFailed(std::uint32_t code, ReplyBytes reply) {
  QPointer<CPhoneBookUtilityDlg> self(this);
  CloseAnime();
  CloseSandGlass();
  std::int32_t message = kMsgError;
  switch (code) {
    case LinkCode::kWriteStart:
      message = TemplateMsgId::kNotTransferred;
      break;
    case LinkCode::kReadCount:
    case LinkCode::kRead:
      m_receiveFailed = true;
      message = Params().kind == kPhonebookKind ? kMsgReceiveFailed : kMsgCallerFailed;
      ShowMsg(message, MB_ICONSTOP);
      if (!self) {
        return;
      }
      UpdateButtons();
      OnReadCountDone(code, reply);
      if (self) {
        SetExtcuting(0);
      }
      return;
    case LinkCode::kDelete:
      message = TemplateMsgId::kNotErased;
      break;
    default:
      break;
  }
  ShowMsg(message, MB_ICONSTOP);
  if (!self) {
    return;
  }
  if (m_closing) {
    PostToSelf(kExitFailed);
  }
  if (StartSequenceRefused(code)) {
    // The handset refused to begin working with the utility: it cannot be used from this
    // window any more, and closing must not ask about sending to it.
    m_leaveWithoutAsking = true;
    HandsetGone();
  }
  SetExtcuting(0);
}

// The first key operation or the status request of the start sequence failed.
bool CPhoneBookUtilityDlg::StartSequenceRefused(std::uint32_t code) const {
  return (code == LinkCode::kKeyOperation && StartPhase() == 0) || (code == LinkCode::kStatusByte && StartPhase() == 3);
}

bool CPhoneBookUtilityDlg::OnNoResponse(std::uint32_t code) {
  if (m_closing) {
    PostToSelf(kExitNoResponse);
  }
  if (Executing() == kReceiving && Params().kind == kPhonebookKind) {
    m_receiveFailed = true;
    BeforeReadCountDone(code, {});
  }
  SetExtcuting(0);
  HandsetGone();
  return true;
}

bool CPhoneBookUtilityDlg::OnCancelRequested(std::uint32_t /*code*/) {
  // Only a flag: the operation's own ending frees the window, so closing cannot start a
  // second send while this one is still in flight.
  return true;
}

bool CPhoneBookUtilityDlg::OnIndicationE93() {
  OnDeviceDetached(1, 0);
  return true;
}

// Cancel in a progress window. An import has a cancel of its own that only its job reads:
// it must neither stop a transfer of the link nor leave the transfer's cancel flag set for
// a later send. With nothing running the request is late (the operation already ended) and
// is dropped.
void CPhoneBookUtilityDlg::OnWmAppCancel() {
  if (Executing() == kImporting) {
    m_importCancelled = true;
    if (m_importer != nullptr) {
      m_importer->Cancel();
    }
    return;
  }
  if (Executing() == CPhoneBookOutlookImport::kExecuting) {
    if (m_outlookImport != nullptr) {
      m_outlookImport->Cancel();
    }
    return;
  }
  if (Executing() != 0) {
    CTemplate::OnWmAppCancel();
  }
}

bool CPhoneBookUtilityDlg::ImportRunning() const {
  return Executing() == kImporting || Executing() == CPhoneBookOutlookImport::kExecuting;
}

// What a handset attached during an import postponed: the "FreeEdit" evaluation (over the
// list that now holds the import's result) and the receive.
void CPhoneBookUtilityDlg::RunPostponedAfterImport() {
  const bool freeEdit = m_freeEditPending;
  const bool restore = m_restorePending;
  m_freeEditPending = false;
  m_restorePending = false;
  if (freeEdit) {
    EvaluateFreeEdit();
  }
  if (restore && !m_noDevice && Context() != nullptr && Context()->IsConnected()) {
    RestoreSendCache();
  }
}

bool CPhoneBookUtilityDlg::OnIndicationE94() {
  if (ImportRunning()) {
    m_freeEditPending = true;
  } else {
    EvaluateFreeEdit();
  }
  m_noDevice = false;
  UpdateButtons();
  TellSubDialog(true);
  return true;
}

// An open entry or import dialog follows the handset's presence. It hears of it as an
// attach or detach notice: it does not talk to the handset, so it must not begin a start
// sequence of its own as a handset indication would make it do.
void CPhoneBookUtilityDlg::TellSubDialog(bool attached) {
  if (auto* child = qobject_cast<CTemplate*>(m_subDialog.data())) {
    PostMessage(child->Handle(), TemplateMessage::kDeviceChange, attached ? 0 : 1, 0);
  }
}

bool CPhoneBookUtilityDlg::OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  if (Context() == nullptr || !Context()->IsConnected()) {
    return true;
  }
  if (ImportRunning()) {
    m_freeEditPending = true;
  } else {
    EvaluateFreeEdit();
  }
  StartUtility();
  return true;
}

bool CPhoneBookUtilityDlg::OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  const std::uint8_t executing = Executing();
  // The import goes on; what the handset's attach postponed no longer applies.
  m_freeEditPending = false;
  m_restorePending = false;
  if (executing == kReceiving || executing == kSending || executing == kReceivingCallers) {
    if (executing == kReceiving && Params().kind == kPhonebookKind) {
      m_receiveFailed = true;
      m_noDevice = true;
      BeforeReadCountDone(LinkCode::kReadCount, {});
    }
    CloseAnime();
    CloseSandGlass();
    SetExtcuting(0);
    if (m_closing) {
      PostToSelf(kExitFailed);
    }
  }
  HandsetGone();
  return true;
}

void CPhoneBookUtilityDlg::HandsetGone() {
  m_noDevice = true;
  m_received.clear();
  m_receiveComplete = false;
  UpdateButtons();
  TellSubDialog(false);
}
