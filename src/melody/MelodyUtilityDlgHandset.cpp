// CMelodyUtilityDlg: the handset's melodies: the list, sending (free slots, free memory,
// encoding, writing), playing a handset melody on the PC, erasing.
#include "melody/MelodyUtilityDlg.h"

#include "devlink/LinkTypes.h"
#include "framework/AppContext.h"
#include "melody/MelodyCodec.h"
#include "melody/MelodyException.h"
#include "melody/MelodyName.h"
#include "melody/MelodyThreadState.h"
#include "melody/WaveOperations.h"
#include "melody/WaveView.h"
#include "ui/AnimationPainter.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr std::uint32_t kMelodyKind = 0x12;
constexpr std::uint32_t kMelodyListKind = 0x13;
// The remaining-size request asks for free kilobytes (0) or free items (1).
constexpr std::uint32_t kFreeKilobytes = 0;
constexpr std::uint32_t kFreeItems = 1;
constexpr std::int32_t kMsgErase = 715;
constexpr std::int32_t kMsgSendAsk = 726;
constexpr std::int32_t kMsgBadName = 761;
constexpr std::int32_t kMsgNoMemory = 777;
constexpr std::int32_t kSendingText = 710;
constexpr std::int32_t kErasingText = 716;
constexpr std::int32_t kPlayingText = 780;

// Loads the codec for one job and unloads it however the job ends.
class CCodecSession {
 public:
  CCodecSession() {
    if (LoadMelodyCodec() != 0) {
      FreeMelodyCodec();
      throw CMelodyException(CMelodyException::kGeneral, "LoadMelodyCodec");
    }
  }
  ~CCodecSession() { FreeMelodyCodec(); }
  CCodecSession(const CCodecSession&) = delete;
  CCodecSession& operator=(const CCodecSession&) = delete;
};

bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// ---- the list ------------------------------------------------------------------------------

void CMelodyUtilityDlg::StartListing() {
  if (!m_connected || m_job != Job::None || (Executing() != 0 && Executing() != kBusyListing)) {
    if (Executing() == kBusyListing) {
      SetExtcuting(0);
    }
    return;
  }
  m_melodies.clear();
  FillList();
  m_listing = true;
  SetExtcuting(kBusyListing);
  BeginBusy();
  Params() = RequestParams{};
  Params().kind = kMelodyListKind;
  SetRequestCode(LinkCode::kReadCount);
  UpdateButtons();
  if (!SendRequest()) {
    m_listing = false;
    UpdateButtons();
  }
}

// After a send or erase the framework still finishes its handling of the outcome; the list is
// asked for once that is done. The window counts as listing from now on.
void CMelodyUtilityDlg::StartListingLater() {
  SetExtcuting(kBusyListing);
  RunLater([this] { StartListing(); });
}

void CMelodyUtilityDlg::EndListing() {
  m_listing = false;
  CloseSandGlass();
  SetExtcuting(0);
  FillList();
}

bool CMelodyUtilityDlg::AfterReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  if (m_listing) {
    EndListing();
  }
  return true;
}

bool CMelodyUtilityDlg::AfterReadCountFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_listing = false;
  FillList();
  return true;
}

void CMelodyUtilityDlg::FillList() {
  const int row = m_listWidget->currentRow();
  m_listWidget->clear();
  for (std::size_t i = 0; i < m_melodies.size(); ++i) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(MelodyListLabel(static_cast<int>(i) + 1) + " " + m_melodies[i].name), m_listWidget);
    item->setData(Qt::UserRole, m_melodies[i].slot);
  }
  if (row >= 0 && row < m_listWidget->count()) {
    m_listWidget->setCurrentRow(row);
  }
  UpdateButtons();
}

const MelodyListEntry* CMelodyUtilityDlg::SelectedMelody() const {
  const int row = m_listWidget->currentRow();
  if (row < 0 || row >= static_cast<int>(m_melodies.size()) || m_listWidget->selectedItems().isEmpty()) {
    return nullptr;
  }
  return &m_melodies[static_cast<std::size_t>(row)];
}

bool CMelodyUtilityDlg::OnItemReceived(std::uint32_t code, ReplyBytes object) {
  if (code == LinkCode::kReadCount && m_listing) {
    if (auto entry = ParseMelodyListEntry(object.data(), object.size())) {
      m_melodies.push_back(std::move(*entry));
    }
  } else if (code == LinkCode::kRead) {
    try {
      m_received.assign(object.begin(), object.end());
    } catch (const std::bad_alloc&) {
      m_received.clear();
      ShowMsg(kMsgNoMemory, MB_ICONSTOP);
    }
  }
  return true;
}

// ---- sending -------------------------------------------------------------------------------

// The melody needs at least one frame and a name the handset takes; then the free slots are
// asked for, then the free memory, then the melody is encoded and written.
bool CMelodyUtilityDlg::Prepare1001() {
  if (!m_connected || m_noResponse || m_job != Job::None || m_playing != Playing::None || !m_hasEditData ||
      m_editView->Frames() == 0) {
    return false;
  }
  const std::string name = m_nameEdit->text().toStdString();
  if (!CMelodyName::IsValid(name)) {
    ShowMsg(kMsgBadName, MB_ICONEXCLAMATION);
    return false;
  }
  QPointer<CMelodyUtilityDlg> self(this);
  if (ShowMsg(kMsgSendAsk, MB_YESNO | MB_ICONQUESTION) != IDYES || !self) {
    return false;
  }
  m_sendName = name;
  m_sendStep = SendStep::FreeItems;
  Params() = RequestParams{};
  Params().kind = kMelodyKind;
  Params().arg1 = kFreeItems;
  SetRequestCode(LinkCode::kRemainSize);
  SetProgressMessage(kSendingText, {}, kProgressCancel | CAnimationPainter::kSend);
  SetExtcuting(kBusySend);
  return true;
}

// A send request that posts nothing (no handset, a busy link) gets no answer: the send ends
// here, or the window would stay busy and refuse every later close.
bool CMelodyUtilityDlg::SendRequest() {
  const bool sent = CTemplate::SendRequest();
  if (!sent && m_sendStep != SendStep::None) {
    EndSend(0);
  }
  return sent;
}

bool CMelodyUtilityDlg::SendNext() {
  return false;
}

void CMelodyUtilityDlg::RequestRemainSize(std::uint32_t argument) {
  Params() = RequestParams{};
  Params().kind = kMelodyKind;
  Params().arg1 = argument;
  SetRequestCode(LinkCode::kRemainSize);
  SendRequest();
}

bool CMelodyUtilityDlg::OnOtherDone(std::uint32_t code, ReplyBytes reply) {
  if (code == LinkCode::kRemainSize && m_sendStep != SendStep::None) {
    OnRemainSizeReply(reply);
  }
  return true;
}

void CMelodyUtilityDlg::OnRemainSizeReply(ReplyBytes reply) {
  if (IsCancelled()) {
    // The framework shows 724 once this hook returns.
    EndSend(0);
    return;
  }
  if (reply.size() < 2) {
    EndSend(TemplateMsgId::kNotTransferred);
    return;
  }
  const std::uint32_t value = (static_cast<std::uint32_t>(reply[0]) << 8) | reply[1];
  if (m_sendStep == SendStep::FreeItems) {
    if (value == 0) {
      EndSend(TemplateMsgId::kMemoryFull);
      return;
    }
    m_sendStep = SendStep::FreeMemory;
    RequestRemainSize(kFreeKilobytes);
  } else if (m_sendStep == SendStep::FreeMemory) {
    m_freeBytes = static_cast<std::uint64_t>(value) * 1024;
    m_sendStep = SendStep::Encoding;
    StartEncoding();
  }
}

// The worker scales the edited melody by its volume and by the send attenuation into its own
// file and encodes that; the window's volume is never changed for a send.
void CMelodyUtilityDlg::StartEncoding() {
  MelodyThreadState().SetCancelRequest(false);
  MelodyThreadState().TakeLastResult();
  const std::string edit = WorkPath(kEditFile);
  const std::string scaled = WorkPath(kSendFile);
  const std::string gc = WorkPath(kGcFile);
  const double gain = m_volume.Gain() * std::pow(10.0, kSendAttenuationDb / 20.0);
  StartJob(Job::Encode, [edit, scaled, gc, gain] {
    const CCodecSession codec;
    WaveAmplify(edit, scaled, gain);
    WaveToMelodyData(scaled, gc);
    std::error_code ec;
    std::filesystem::remove(scaled, ec);
    const auto size = std::filesystem::file_size(gc, ec);
    if (ec) {
      throw CMelodyException(CMelodyException::kFile, "TranslateWaveToGcThread size");
    }
    return static_cast<std::uint32_t>(size);
  });
}

void CMelodyUtilityDlg::FinishEncoding(bool done, bool cancelled, std::uint32_t gcSize) {
  if (m_sendStep != SendStep::Encoding) {
    // The handset went away meanwhile: the send has ended already.
    EndSend(0);
    return;
  }
  if (cancelled || !done) {
    EndSend(cancelled ? TemplateMsgId::kCancelled : TemplateMsgId::kNotTransferred);
    return;
  }
  if (static_cast<std::uint64_t>(gcSize) + kMelodyNameField > m_freeBytes) {
    EndSend(TemplateMsgId::kMemoryFull);
    return;
  }
  const std::vector<std::uint8_t> gc = ReadAll(WorkPath(kGcFile));
  RemoveTemporary(kGcFile);
  if (gc.size() != gcSize) {
    EndSend(TemplateMsgId::kNotTransferred);
    return;
  }
  m_sendBuffer = BuildMelodyRecord(m_sendName, gc.data(), gc.size());
  m_sendStep = SendStep::Writing;
  Params() = RequestParams{};
  Params().kind = kMelodyKind;
  Params().data = m_sendBuffer.data();
  Params().dataSize = static_cast<std::uint32_t>(m_sendBuffer.size());
  SetRequestCode(LinkCode::kWriteStart);
  SendRequest();
}

// Every ending of a send: the busy display closes, the executing value goes back to 0 and
// the working files go; then the message of the ending, if any.
void CMelodyUtilityDlg::EndSend(std::int32_t message) {
  m_sendStep = SendStep::None;
  m_sendBuffer.clear();
  RemoveTemporary(kGcFile);
  RemoveTemporary(kSendFile);
  CloseAnime();
  CloseSandGlass();
  SetExtcuting(0);
  UpdateButtons();
  if (message != 0) {
    const std::uint32_t style = message == TemplateMsgId::kCancelled    ? MB_ICONINFORMATION
                                : message == TemplateMsgId::kMemoryFull ? MB_ICONEXCLAMATION
                                                                        : MB_ICONSTOP;
    ShowMsg(message, style);
  }
}

bool CMelodyUtilityDlg::CheckWriteResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_sendStep = SendStep::None;
  m_sendBuffer.clear();
  CloseAnime();
  StartListingLater();
  if (!IsCancelled()) {
    ShowMsg(TemplateMsgId::kSent, MB_ICONINFORMATION);
  }
  return false;
}

bool CMelodyUtilityDlg::AfterWriteFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_sendStep = SendStep::None;
  m_sendBuffer.clear();
  UpdateButtons();
  return true;
}

bool CMelodyUtilityDlg::OnOtherFailed(std::uint32_t code, ReplyBytes /*reply*/) {
  if (code == LinkCode::kRemainSize && m_sendStep != SendStep::None) {
    EndSend(TemplateMsgId::kNotTransferred);
  }
  return true;
}

bool CMelodyUtilityDlg::OnNoResponse(std::uint32_t /*code*/) {
  m_noResponse = true;
  m_listing = false;
  if (m_sendStep != SendStep::None) {
    m_sendStep = SendStep::None;
    m_sendBuffer.clear();
  }
  UpdateButtons();
  return true;
}

// ---- playing a handset melody on the PC ----------------------------------------------------

bool CMelodyUtilityDlg::Prepare1003() {
  const MelodyListEntry* melody = SelectedMelody();
  if (!m_connected || melody == nullptr || m_job != Job::None || m_playing != Playing::None) {
    return false;
  }
  m_received.clear();
  Params() = RequestParams{};
  Params().kind = kMelodyKind;
  Params().arg3 = melody->slot;
  SetRequestCode(LinkCode::kRead);
  SetProgressMessage(kPlayingText, {}, kProgressCancel | CAnimationPainter::kReceive);
  // The progress window stays up while the melody is decoded and played.
  SetKeepBusy(true);
  SetExtcuting(kBusyReceive);
  return true;
}

bool CMelodyUtilityDlg::CheckReadResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  SetExtcuting(0);
  const std::vector<std::uint8_t> frames = MelodyRecordFrames(m_received.data(), m_received.size());
  m_received.clear();
  if (IsCancelled()) {
    // The framework shows 724.
    EndHandsetPlay();
    return false;
  }
  const std::string gc = WorkPath(kFromDevGcFile);
  if (frames.empty() || !WriteAll(gc, frames)) {
    EndHandsetPlay();
    ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
    return false;
  }
  MelodyThreadState().SetCancelRequest(false);
  MelodyThreadState().TakeLastResult();
  const std::string wave = WorkPath(kFromDevWaveFile);
  StartJob(Job::Decode, [gc, wave] {
    const CCodecSession codec;
    MelodyDataToWave(gc, wave);
    return std::uint32_t{0};
  });
  return false;
}

void CMelodyUtilityDlg::FinishDecoding(bool done, bool cancelled) {
  if (cancelled) {
    EndHandsetPlay();
    return;
  }
  if (!done) {
    EndHandsetPlay();
    ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
    return;
  }
  StartPlayer(WorkPath(kFromDevWaveFile), 0, 0, Playing::Handset);
  if (m_playing != Playing::Handset) {
    EndHandsetPlay();
  }
}

// The handset melody is done with: the progress window closes, its files go and the
// framework operation ends.
void CMelodyUtilityDlg::EndHandsetPlay() {
  SetKeepBusy(false);
  m_received.clear();
  RemoveTemporary(kFromDevGcFile);
  RemoveTemporary(kFromDevWaveFile);
  CloseAnime();
  CloseSandGlass();
  SetExtcuting(0);
  UpdateButtons();
}

bool CMelodyUtilityDlg::AfterReadFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  SetKeepBusy(false);
  m_received.clear();
  UpdateButtons();
  return true;
}

// ---- erasing -------------------------------------------------------------------------------

bool CMelodyUtilityDlg::Prepare1002() {
  const MelodyListEntry* melody = SelectedMelody();
  if (!m_connected || melody == nullptr || m_job != Job::None) {
    return false;
  }
  QPointer<CMelodyUtilityDlg> self(this);
  const std::uint8_t slot = melody->slot;
  if (ShowMsg(kMsgErase, MB_YESNO | MB_ICONQUESTION, {melody->name}) != IDYES || !self) {
    return false;
  }
  Params() = RequestParams{};
  Params().kind = kMelodyKind;
  Params().arg3 = slot;
  SetRequestCode(LinkCode::kDelete);
  SetProgressMessage(kErasingText, {}, CAnimationPainter::kErase);
  SetExtcuting(kBusyErase);
  return true;
}

bool CMelodyUtilityDlg::CheckEraseResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  CloseAnime();
  StartListingLater();
  if (!IsCancelled()) {
    ShowMsg(TemplateMsgId::kErased, MB_ICONINFORMATION);
  }
  return false;
}

bool CMelodyUtilityDlg::AfterEraseFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  UpdateButtons();
  return true;
}

// ---- the handset comes and goes ------------------------------------------------------------

bool CMelodyUtilityDlg::OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  DeviceStatusCheck();
  return true;
}

bool CMelodyUtilityDlg::OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  m_listing = false;
  m_sendStep = SendStep::None;
  m_sendBuffer.clear();
  m_melodies.clear();
  FillList();
  if (Context() != nullptr) {
    Context()->SetResidentModal(false);
  }
  // A conversion or a handset melody playing on the PC goes on; only the link's part ends.
  if (m_job == Job::None && m_playing != Playing::Handset) {
    ForceEndBusy();
  }
  if (Executing() != 0) {
    SetExtcuting(0);
  }
  DeviceStatusCheck();
  return true;
}
