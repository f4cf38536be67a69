// CImageUtilityDlg: the handset's pictures: listing with the free space, send, receive and
// erase.
#include "picture/ImageUtilityDlg.h"

#include "devlink/LinkTypes.h"
#include "framework/AppContext.h"
#include "picture/ImageView.h"
#include "picture/PictureName.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr std::int32_t kMsgErase = 715;
constexpr std::int32_t kMsgSendAsk = 726;
constexpr std::int32_t kMsgBadName = 761;
constexpr std::int32_t kMsgNoMemory = 777;
constexpr std::int32_t kSendingText = 710;
constexpr std::int32_t kReceivingText = 714;
constexpr std::int32_t kErasingText = 716;
// The remaining-size request asks for free kilobytes (0) or free items (1).
constexpr std::uint32_t kFreeKilobytes = 0;
constexpr std::uint32_t kFreeItemCount = 1;
constexpr std::uint8_t kBusySend = 1;
constexpr std::uint8_t kBusyReceive = 2;
constexpr std::uint8_t kBusyErase = 3;
constexpr std::uint8_t kBusyListing = 4;

// Replaces each "%s" of a text with the next argument.
std::string Format(std::string text, const std::vector<std::string>& arguments) {
  std::size_t from = 0;
  for (const std::string& argument : arguments) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos) {
      break;
    }
    text.replace(at, 2, argument);
    from = at + argument.size();
  }
  return text;
}

std::string Number(std::optional<std::uint16_t> value) {
  return value ? std::to_string(*value) : std::string("-");
}

}  // namespace

// ---- listing -------------------------------------------------------------------------------

void CImageUtilityDlg::StartListing() {
  if (!m_connected) {
    SetExtcuting(0);
    return;
  }
  m_list.Clear();
  m_freeItems = {};
  FillListView();
  ShowFreeSpace();
  m_listStep = ListStep::Wallpapers;
  SetExtcuting(kBusyListing);
  BeginBusy();
  IssueListStep();
}

// After an operation completes the framework still finishes its own handling of the
// outcome; the listing starts once that is done. The window counts as listing (busy kind 4)
// from now on.
void CImageUtilityDlg::StartListingLater() {
  SetExtcuting(kBusyListing);
  RunLater([this] { StartListing(); });
}

void CImageUtilityDlg::IssueListStep() {
  Params() = RequestParams{};
  switch (m_listStep) {
    case ListStep::Wallpapers:
    case ListStep::PictureIds:
      Params().kind =
          ListDataKind(m_listStep == ListStep::Wallpapers ? PictureKind::Wallpaper : PictureKind::PictureId);
      SetRequestCode(LinkCode::kReadCount);
      break;
    case ListStep::FreeKilobytes:
      Params().kind = TransferDataKind(PictureKind::Wallpaper);
      Params().arg1 = kFreeKilobytes;
      SetRequestCode(LinkCode::kRemainSize);
      break;
    case ListStep::FreeWallpapers:
    case ListStep::FreePictureIds:
      // Free items are counted per store: each kind is judged by its own.
      Params().kind =
          TransferDataKind(m_listStep == ListStep::FreeWallpapers ? PictureKind::Wallpaper : PictureKind::PictureId);
      Params().arg1 = kFreeItemCount;
      SetRequestCode(LinkCode::kRemainSize);
      break;
    case ListStep::Idle:
      return;
  }
  UpdateButtons();
  if (!SendRequest()) {
    m_listStep = ListStep::Idle;
    UpdateButtons();
  }
}

void CImageUtilityDlg::EndListing() {
  m_listStep = ListStep::Idle;
  CloseSandGlass();
  SetExtcuting(0);
  FillListView();
  ShowFreeSpace();
  UpdateButtons();
}

bool CImageUtilityDlg::AfterReadCountDone(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  FillListView();
  if (m_listStep == ListStep::Wallpapers) {
    m_listStep = ListStep::PictureIds;
  } else if (m_listStep == ListStep::PictureIds) {
    m_listStep = ListStep::FreeKilobytes;
  } else {
    return true;
  }
  BeginBusy();
  IssueListStep();
  return true;
}

bool CImageUtilityDlg::OnOtherDone(std::uint32_t code, ReplyBytes reply) {
  if (code != LinkCode::kRemainSize) {
    return true;
  }
  const auto value = CHandsetPictureList::ParseFreeSpaceReply(reply.data(), reply.size());
  switch (m_listStep) {
    case ListStep::FreeKilobytes:
      if (value) {
        m_list.SetFreeKilobytes(*value);
      }
      m_listStep = ListStep::FreeWallpapers;
      break;
    case ListStep::FreeWallpapers:
      m_freeItems[Index(PictureKind::Wallpaper)] = value;
      m_listStep = ListStep::FreePictureIds;
      break;
    case ListStep::FreePictureIds:
      m_freeItems[Index(PictureKind::PictureId)] = value;
      EndListing();
      return true;
    default:
      return true;
  }
  ShowFreeSpace();
  IssueListStep();
  return true;
}

bool CImageUtilityDlg::AfterReadCountFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_listStep = ListStep::Idle;
  FillListView();
  UpdateButtons();
  return true;
}

// A failed free-space question ends the listing like a failed list request.
bool CImageUtilityDlg::OnOtherFailed(std::uint32_t code, ReplyBytes /*reply*/) {
  if (code != LinkCode::kRemainSize) {
    return true;
  }
  m_listStep = ListStep::Idle;
  CloseSandGlass();
  QPointer<CImageUtilityDlg> self(this);
  ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
  if (self) {
    ShowFreeSpace();
    UpdateButtons();
  }
  return true;
}

void CImageUtilityDlg::FillListView() {
  m_listView->clear();
  for (const auto& item : m_list.Items()) {
    auto* row = new QTreeWidgetItem(m_listView);
    row->setText(0, QString::fromStdString(item.label));
    row->setText(1, QString::fromStdString(item.name));
    row->setData(0, Qt::UserRole, QVariant::fromValue(item.itemData));
  }
  UpdateButtons();
}

void CImageUtilityDlg::ShowFreeSpace() {
  if (m_freeLabel == nullptr) {
    return;
  }
  if (!m_connected || (!m_list.FreeKilobytes() && !m_freeItems[0] && !m_freeItems[1])) {
    m_freeLabel->clear();
    return;
  }
  const std::string memory = Format(String(ImageUtilityId::kFreeSpace), {Number(m_list.FreeKilobytes())});
  const std::string items =
      Format(String(ImageUtilityId::kFreeItems), {Number(m_freeItems[0]), Number(m_freeItems[1])});
  m_freeLabel->setText(QString::fromStdString(memory + "\n" + items));
}

std::optional<CHandsetPictureList::ItemRef> CImageUtilityDlg::SelectedItem(std::string* name) const {
  const QTreeWidgetItem* row = m_listView->currentItem();
  if (row == nullptr || !row->isSelected()) {
    return std::nullopt;
  }
  if (name != nullptr) {
    *name = row->text(1).toStdString();
  }
  return CHandsetPictureList::FromItemData(row->data(0, Qt::UserRole).toUInt());
}

// ---- sending -------------------------------------------------------------------------------

bool CImageUtilityDlg::HasRoomFor(PictureKind kind) const {
  const auto items = m_freeItems[Index(kind)];
  const auto kilobytes = m_list.FreeKilobytes();
  return items && kilobytes && *items != 0 && RecordSize(kind) <= static_cast<std::size_t>(*kilobytes) * 1024;
}

bool CImageUtilityDlg::Prepare1001() {
  if (!m_connected || !m_editor.IsLoaded()) {
    return false;
  }
  const PictureKind kind = m_pictureKind;
  QPointer<CImageUtilityDlg> self(this);
  if (!HasRoomFor(kind)) {
    ShowMsg(TemplateMsgId::kMemoryFull, MB_ICONEXCLAMATION);
    return false;
  }
  const std::string name = m_nameEdit->text().toStdString();
  if (!CPictureName::IsValid(name)) {
    ShowMsg(kMsgBadName, MB_ICONEXCLAMATION);
    return false;
  }
  if (ShowMsg(kMsgSendAsk, MB_YESNO | MB_ICONQUESTION) != IDYES || !self) {
    return false;
  }
  auto record = CPictureRecord::Encode(kind, name, m_editor.SendPreview(m_view->FrameOnImage(), TargetSize(kind)));
  if (!record) {
    ShowMsg(kMsgNoMemory, MB_ICONSTOP);
    return false;
  }
  m_sendBuffer = std::move(*record);
  Params() = RequestParams{};
  Params().kind = TransferDataKind(kind);
  Params().arg1 = SendArgument1(kind);
  Params().arg2 = kSendArgument2;
  Params().data = m_sendBuffer.data();
  Params().dataSize = static_cast<std::uint32_t>(m_sendBuffer.size());
  SetRequestCode(LinkCode::kWriteStart);
  SetProgressMessage(kSendingText, {}, kProgressCancel | 0);
  SetExtcuting(kBusySend);
  return true;
}

// This window sends one picture per request: nothing follows a completed send or erase.
bool CImageUtilityDlg::SendNext() {
  return false;
}

// A completed send: this window's own message, then the handset is listed again. Answering
// false keeps the framework from showing its message or chaining a further request.
bool CImageUtilityDlg::CheckWriteResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_sendBuffer.clear();
  CloseAnime();
  StartListingLater();
  if (!IsCancelled()) {
    ShowMsg(TemplateMsgId::kSent, MB_ICONINFORMATION);
  }
  return false;
}

bool CImageUtilityDlg::AfterWriteFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_sendBuffer.clear();
  UpdateButtons();
  return true;
}

// ---- receiving -----------------------------------------------------------------------------

bool CImageUtilityDlg::Prepare1000() {
  std::string name;
  const auto item = SelectedItem(&name);
  if (!m_connected || !item) {
    return false;
  }
  QPointer<CImageUtilityDlg> self(this);
  if (!AskSaveBeforeReplacing() || !self) {
    return false;
  }
  m_receivedBuffer.clear();
  Params() = RequestParams{};
  Params().kind = TransferDataKind(item->kind);
  Params().arg3 = item->number;
  SetRequestCode(LinkCode::kRead);
  SetProgressMessage(kReceivingText, {name}, kProgressCancel | 1);
  SetExtcuting(kBusyReceive);
  return true;
}

bool CImageUtilityDlg::OnItemReceived(std::uint32_t code, ReplyBytes object) {
  if (code == LinkCode::kRead) {
    m_receivedBuffer.assign(object.begin(), object.end());
  } else if (code == LinkCode::kReadCount &&
             (m_listStep == ListStep::Wallpapers || m_listStep == ListStep::PictureIds)) {
    m_list.AppendEntry(m_listStep == ListStep::Wallpapers ? PictureKind::Wallpaper : PictureKind::PictureId,
                       object.data(), object.size());
  }
  return true;
}

// The received record becomes the current image. It has no file: a later Save asks for a
// name instead of writing over the file that was open before. A record of a size neither
// kind has is refused with 725; the framework's "sent" message never follows a receive.
bool CImageUtilityDlg::CheckReadResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  CloseAnime();
  SetExtcuting(0);
  std::vector<std::uint8_t> record = std::move(m_receivedBuffer);
  m_receivedBuffer.clear();
  if (IsCancelled()) {
    return false;
  }
  auto decoded = CPictureRecord::Decode(record);
  if (!decoded) {
    ShowMsg(TemplateMsgId::kNotTransferred, MB_ICONSTOP);
    return false;
  }
  m_editor.SetImage(decoded->picture);
  m_received = std::move(decoded);
  m_receivedBuffer = std::move(record);
  m_currentFile.clear();
  ShowCurrentFile();
  m_nameEdit->setText(QString::fromStdString(m_received->name));
  m_view->SetFramePosition({0, 0});
  ImageChanged();
  return false;
}

bool CImageUtilityDlg::AfterReadFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  m_receivedBuffer.clear();
  UpdateButtons();
  return true;
}

// ---- erasing -------------------------------------------------------------------------------

bool CImageUtilityDlg::Prepare1002() {
  std::string name;
  const auto item = SelectedItem(&name);
  if (!m_connected || !item) {
    return false;
  }
  QPointer<CImageUtilityDlg> self(this);
  if (ShowMsg(kMsgErase, MB_YESNO | MB_ICONQUESTION, {name}) != IDYES || !self) {
    return false;
  }
  Params() = RequestParams{};
  Params().kind = TransferDataKind(item->kind);
  Params().arg3 = item->number;
  SetRequestCode(LinkCode::kDelete);
  SetProgressMessage(kErasingText, {}, 2);
  SetExtcuting(kBusyErase);
  return true;
}

bool CImageUtilityDlg::CheckEraseResult(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  CloseAnime();
  StartListingLater();
  if (!IsCancelled()) {
    ShowMsg(TemplateMsgId::kErased, MB_ICONINFORMATION);
  }
  return false;
}

bool CImageUtilityDlg::AfterEraseFailed(std::uint32_t /*code*/, ReplyBytes /*reply*/) {
  UpdateButtons();
  return true;
}

// ---- the handset comes and goes --------------------------------------------------------------

bool CImageUtilityDlg::OnNoResponse(std::uint32_t /*code*/) {
  m_listStep = ListStep::Idle;
  m_noResponse = true;
  UpdateButtons();
  return true;
}

bool CImageUtilityDlg::OnDeviceAttached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  DeviceStatusCheck();
  return true;
}

bool CImageUtilityDlg::OnDeviceDetached(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {
  m_list.Clear();
  m_freeItems = {};
  m_listStep = ListStep::Idle;
  FillListView();
  DeviceStatusCheck();
  ShowFreeSpace();
  if (Context() != nullptr) {
    Context()->SetResidentModal(false);
  }
  ForceEndBusy();
  SetExtcuting(0);
  return true;
}
