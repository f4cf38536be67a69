#include "melody/MelodyUtilityDlg.h"

#include "appcore/AppStatus.h"
#include "framework/AppContext.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyException.h"
#include "melody/MelodyName.h"
#include "melody/MelodyThreadState.h"
#include "melody/PlayWave.h"
#include "melody/WaveFileDialog.h"
#include "melody/WaveOperations.h"
#include "melody/WaveView.h"
#include "ui/AnimationPainter.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

using namespace MelodyUtilityId;

constexpr std::int32_t kMsgCannotOpen = 732;
constexpr std::int32_t kMsgSaveCurrent = 752;
constexpr std::int32_t kMsgCannotExitReceiving = 727;
constexpr std::int32_t kMsgCannotExitSending = 728;
constexpr std::int32_t kMsgCannotExitErasing = 772;
constexpr std::int32_t kMsgOpenCancelled = 1532;
constexpr std::int32_t kImportingText = 1530;
// The label of the opened path is shortened to this many characters.
constexpr std::size_t kPathLabelLength = 36;
constexpr int kCursorIntervalMs = 10;

// Each command and the menu item that repeats it.
struct CommandItem {
  int command;
  int menuItem;
};
constexpr CommandItem kMenuItems[] = {
    {kSourcePlay, kMenuSourcePlay},
    {kSourcePause, kMenuSourcePause},
    {kZoomIn, kMenuZoomIn},
    {kZoomOut, kMenuZoomOut},
    {kCopy, kMenuCopy},
    {kEditPlay, kMenuEditPlay},
    {kEditPause, kMenuEditPause},
    {kCut, kMenuCut},
    {kUndo, kMenuUndo},
    {kVolUp, kMenuVolUp},
    {kVolDown, kMenuVolDown},
    {kAutoVol, kMenuAutoVol},
    {kSave, kSave},
    {kSaveAs, kSaveAs},
    {TemplateId::kSend, kToDevice},
    {TemplateId::kErase, kDeleteData},
    {TemplateId::kPlayOnDevice, kPlayOnPc},
    {kOpen, kOpen},
};

// Minutes, seconds and tenths of a frame position.
QString TimeText(double frame, std::uint32_t rate) {
  if (rate == 0) {
    return {};
  }
  const auto tenths = static_cast<long long>(std::floor(frame * 10.0 / rate));
  char text[32];
  if (tenths >= 36000) {
    std::snprintf(text, sizeof text, "%01lld:%02lld:%02lld.%lld", tenths / 36000, tenths / 600 % 60, tenths / 10 % 60,
                  tenths % 10);
  } else {
    std::snprintf(text, sizeof text, "%02lld:%02lld.%lld", tenths / 600, tenths / 10 % 60, tenths % 10);
  }
  return QString::fromLatin1(text);
}

// The steps that bring a supported file to 16 kHz, 16-bit mono. Each step is one call of
// the conversion with one flag and its own output in the window's folder, so the chain
// never places a working file in the shared temporary folder.
std::uint32_t ConvertForOpen(const std::string& source, const WaveInfo& info, int channel,
                             const CMelodyWorkFolder& folder) {
  const std::string narrowed = folder.Path("MelodyNarrowTemp.wav");
  const std::string mono = folder.Path("MelodyOpenTemp.wav");
  const std::string widened = folder.Path("Melody8To16Temp.wav");
  std::string current = source;
  const auto step = [&](std::uint32_t flag, const std::string& output, std::uint32_t rate) {
    if (TransWaveFormat(channel, flag, current, output, rate) != 0) {
      throw CMelodyException(CMelodyException::kUnsupportedFormat, "TransDataThread rate");
    }
    current = output;
  };
  const auto cleanUp = [&] {
    for (const std::string& name : {narrowed, mono, widened}) {
      std::error_code ec;
      std::filesystem::remove(name, ec);
    }
  };
  try {
    if (NeedsNarrowing(info)) {
      step(TRANS_NARROW, narrowed, 0);
    }
    if (info.m_wChannels == 2) {
      step(TRANS_MONAURAL, mono, 0);
    }
    if (info.m_wBitsPerSample == 8) {
      step(TRANS_8TO16, widened, 0);
    }
    step(TRANS_RESAMPLE, folder.Path(CMelodyUtilityDlg::kOpenScratch), info.m_dwSamplesPerSec);
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
  return 0;
}

}  // namespace

CMelodyUtilityDlg::CMelodyUtilityDlg(QWidget* parent, CAppContext* context)
    : CTemplate(parent, context),
      m_volume(CMelodySettings::kDefaultMaxVolume, CMelodySettings::kDefaultVolumeChangeRate),
      m_undo(CMelodySettings::kDefaultMaxUndoCount) {
  SetKind(APP_MELODY);
  m_settings.Read(Context() != nullptr ? Context()->settings : nullptr);
  m_volume = CMelodyVolume(m_settings.maxVolume, m_settings.volumeChangeRate);
  m_undo = CBoundedStack<UndoRecord>(m_settings.maxUndoCount);
  m_player = new CPlayWave(this);
  BuildControls();
  BuildMenus();
  m_sourceView->SetMaxZoom(m_settings.maxZoomSize);
  for (CWaveView* view : {m_sourceView, m_editView}) {
    connect(view, &CWaveView::clicked, this, &CMelodyUtilityDlg::OnViewClicked);
    connect(view, &CWaveView::markerChanged, this, [this, view] {
      m_sourceView->SetHighlighted(view == m_sourceView);
      m_editView->SetHighlighted(view == m_editView);
      UpdateLabels();
      UpdateButtons();
    });
  }
  connect(m_player, &CPlayWave::playEnded, this, &CMelodyUtilityDlg::OnPlayEnded);
  m_cursorTimer.setInterval(kCursorIntervalMs);
  connect(&m_cursorTimer, &QTimer::timeout, this, &CMelodyUtilityDlg::OnCursorTimer);
  RelabelControls();
  LoadFileHistory();
  if (Context() != nullptr && Context()->status != nullptr) {
    Context()->status->Register(APP_MELODY, 1, Handle());
  }
  DeviceStatusCheck();
  UpdateLabels();
  UpdateButtons();
}

// A window destroyed without closing (its owner went away) still stops its worker before
// the members the worker's job refers to are gone.
CMelodyUtilityDlg::~CMelodyUtilityDlg() {
  CancelRunningJob();
  m_cursorTimer.stop();
  m_player->Close();
  m_sourceView->Close();
  m_editView->Close();
}

// ---- commands ------------------------------------------------------------------------------

void CMelodyUtilityDlg::OnCommand(int id) {
  // Menu items and keys stay reachable while the content is disabled behind the busy
  // display: only the window commands may run then.
  const bool windowCommand = id == TemplateId::kClose || id == TemplateId::kHelp || id == TemplateId::kAbout;
  if (!windowCommand && !IsContentEnabled()) {
    return;
  }
  QPointer<CMelodyUtilityDlg> self(this);
  switch (id) {
    case kOpen:
      OnOpen();
      break;
    case kSave:
      Save();
      break;
    case kSaveAs:
      SaveAs();
      break;
    case kCopy:
      CopyToEdit();
      break;
    case kCut:
      Cut();
      break;
    case kUndo:
      Undo();
      break;
    case kVolDown:
      ChangeVolume(0);
      break;
    case kVolUp:
      ChangeVolume(1);
      break;
    case kAutoVol:
      ChangeVolume(2);
      break;
    case kZoomIn:
    case kZoomOut:
      Zoom(id == kZoomIn);
      break;
    case kSourceStartLeft:
    case kSourceStartRight:
    case kSourceEndLeft:
    case kSourceEndRight:
    case kEditStartLeft:
    case kEditStartRight:
    case kEditEndLeft:
    case kEditEndRight:
      StepMarker(id);
      break;
    case kSourcePlay:
      PlayView(m_sourceView);
      break;
    case kEditPlay:
      PlayView(m_editView);
      break;
    case kSourcePause:
      PauseView(m_sourceView);
      break;
    case kEditPause:
      PauseView(m_editView);
      break;
    default:
      RunCommand(id);
      break;
  }
  if (self) {
    UpdateLabels();
    UpdateButtons();
  }
}

// ---- what the window shows -----------------------------------------------------------------

long CMelodyUtilityDlg::DisplayedPeak() const {
  return std::lround(m_volume.DisplayedPeak());
}

void CMelodyUtilityDlg::EnableCommand(int id, bool enable) {
  if (QWidget* control = Control(id)) {
    control->setEnabled(enable);
  }
  for (const CommandItem& item : kMenuItems) {
    if (item.command == id) {
      for (QMenu* menu : m_menus) {
        EnableMenuItem(menu, item.menuItem, enable);
      }
    }
  }
}

void CMelodyUtilityDlg::UpdateButtons() {
  const bool idle = m_playing == Playing::None && m_job == Job::None;
  const bool source = m_sourceView->IsOpen() && m_sourceView->Frames() > 0;
  const bool edit = m_hasEditData && m_editView->IsOpen() && m_editView->Frames() > 0;
  const bool sourceRange = source && m_sourceView->IsSelectionComplete();
  const bool editRange = edit && m_editView->IsSelectionComplete();
  double start = 0;
  double end = 0;
  const bool sourceMarkers = source && m_sourceView->GetSelection(start, end) == CWaveView::kBoth;
  const bool editMarkers = edit && m_editView->GetSelection(start, end) == CWaveView::kBoth;

  EnableCommand(kOpen, idle);
  EnableCommand(kCopy, idle && sourceRange);
  EnableCommand(kSourcePlay, source && (m_playing == Playing::None || m_playing == Playing::Source));
  EnableCommand(kSourcePause, m_playing == Playing::Source);
  EnableCommand(kZoomIn, idle && source && m_sourceView->Zoom() < m_sourceView->MaxZoom());
  EnableCommand(kZoomOut, idle && source && m_sourceView->Zoom() > 1.0);
  for (const int id : {kSourceStartLeft, kSourceStartRight, kSourceEndLeft, kSourceEndRight}) {
    EnableCommand(id, idle && sourceMarkers);
  }
  for (const int id : {kEditStartLeft, kEditStartRight, kEditEndLeft, kEditEndRight}) {
    EnableCommand(id, idle && editMarkers);
  }
  EnableCommand(kEditPlay, edit && (m_playing == Playing::None || m_playing == Playing::Edit));
  EnableCommand(kEditPause, m_playing == Playing::Edit);
  EnableCommand(kCut, idle && editRange);
  EnableCommand(kUndo, idle && m_hasEditData && !m_undo.Empty());
  EnableCommand(kVolDown, idle && edit && m_volume.CanDown());
  EnableCommand(kVolUp, idle && edit && m_volume.CanUp());
  EnableCommand(kAutoVol, idle && edit && m_volume.CanAuto());
  EnableCommand(kSave, idle && edit);
  EnableCommand(kSaveAs, idle && edit);
  const bool device = m_connected && !m_noResponse && !m_listing && idle && Executing() == 0;
  const bool selected = SelectedMelody() != nullptr;
  EnableCommand(TemplateId::kSend, device && edit);
  EnableCommand(TemplateId::kPlayOnDevice, device && selected);
  EnableCommand(TemplateId::kErase, device && selected);
}

void CMelodyUtilityDlg::ShowTimes(CWaveView* view, const char* start, const char* end, const char* length) {
  auto* startLabel = Content()->findChild<QLabel*>(QString::fromLatin1(start));
  auto* endLabel = Content()->findChild<QLabel*>(QString::fromLatin1(end));
  auto* lengthLabel = Content()->findChild<QLabel*>(QString::fromLatin1(length));
  double first = 0;
  double last = 0;
  const int state = view->GetSelection(first, last);
  const std::uint32_t rate = view->SampleRate();
  startLabel->setText(state == CWaveView::kStartOnly || state == CWaveView::kBoth ? TimeText(first, rate) : QString());
  endLabel->setText(state == CWaveView::kBoth ? TimeText(last, rate) : QString());
  lengthLabel->setText(state == CWaveView::kBoth ? TimeText(std::abs(last - first), rate)
                       : view->IsOpen()          ? TimeText(view->Frames(), rate)
                                                 : QString());
}

void CMelodyUtilityDlg::UpdateLabels() {
  m_pathLabel->setText(QString::fromStdString(AbbreviatePath(kPathLabelLength, m_openedPath)));
  m_pathLabel->setToolTip(QString::fromStdString(m_openedPath));
  ShowTimes(m_sourceView, "sourceStart", "sourceEnd", "sourceLength");
  ShowTimes(m_editView, "editStart", "editEnd", "editLength");
  auto* zoom = Content()->findChild<QLabel*>(QStringLiteral("zoom"));
  zoom->setText(m_sourceView->IsOpen() ? QStringLiteral("x%1").arg(m_sourceView->Zoom()) : QString());
  auto* peak = Content()->findChild<QLabel*>(QStringLiteral("peak"));
  peak->setText(m_hasEditData ? QString::number(DisplayedPeak()) : QString());
}

void CMelodyUtilityDlg::DeviceStatusCheck() {
  const bool wasConnected = m_connected;
  m_connected = Context() != nullptr && Context()->IsConnected();
  if (!m_connected) {
    m_noResponse = false;
    m_listing = false;
    m_melodies.clear();
    FillList();
  }
  UpdateButtons();
  if (m_connected && !wasConnected) {
    StartListing();
  }
}

// ---- opening -------------------------------------------------------------------------------

bool CMelodyUtilityDlg::OnOpen() {
  if (m_job != Job::None || m_playing != Playing::None) {
    return false;
  }
  // On the heap: it goes with this window if the window is destroyed while it is up.
  QPointer<CWaveFileDialog> dialog = new CWaveFileDialog(this, Context());
  // The folder of the file opened last, else the history's or the documents folder.
  const std::string folder = m_openedPath.empty() ? GetInitialFolder({}) : LastPath();
  dialog->setDirectory(QString::fromStdString(folder));
  QPointer<CMelodyUtilityDlg> self(this);
  std::string path;
  RunModalChild(*dialog, [&path, dialog] {
    path = dialog->Choose();
    return path.empty() ? QDialog::Rejected : QDialog::Accepted;
  });
  if (!self || dialog.isNull()) {
    return false;
  }
  const int channel = dialog->Channel();
  delete dialog.data();
  if (path.empty()) {
    return false;
  }
  return OpenFile(path, channel);
}

// A file from the history is opened as a file handed to the window: its left channel.
void CMelodyUtilityDlg::OnHistoryCommand(int id) {
  const auto index = static_cast<std::size_t>(id - TemplateId::kFirstHistory);
  if (index < FileHistory().size()) {
    OpenFile(FileHistory()[index], kChannelLeft);
  }
}

// Only what the conversion takes is opened (24/32-bit and float samples are narrowed to 16
// bits first); anything else is refused with 732 before a worker starts. The conversion
// writes a scratch file: the melody shown so far stays until the new one is complete.
bool CMelodyUtilityDlg::OpenFile(const std::string& path, int channel) {
  if (m_job != Job::None || !m_folder.IsValid()) {
    ShowMsg(kMsgCannotOpen, MB_ICONEXCLAMATION);
    return false;
  }
  WaveInfo info;
  try {
    GetWaveInfo(path, info);
  } catch (const CMelodyException&) {
    info = WaveInfo();
  }
  if (info.m_wBlockAlign == 0 || info.m_dwFrames == 0 || !ConversionProblem(info).empty() ||
      (channel != kChannelLeft && channel != kChannelRight)) {
    ShowMsg(kMsgCannotOpen, MB_ICONEXCLAMATION);
    return false;
  }
  if (info.m_wChannels == 1) {
    channel = kChannelLeft;
  }
  StopPlaying();
  m_pendingPath = path;
  MelodyThreadState().SetCancelRequest(false);
  MelodyThreadState().TakeLastResult();
  BeginBusy();
  ShowProgressDialog(String(TemplateId::kPleaseWait), String(kImportingText),
                     kProgressCancel | CAnimationPainter::kConvert, {});
  const CMelodyWorkFolder* folder = &m_folder;
  StartJob(Job::Open, [path, info, channel, folder] { return ConvertForOpen(path, info, channel, *folder); });
  return true;
}

void CMelodyUtilityDlg::StartJob(Job job, CMelodyWorker::Job work) {
  m_job = job;
  UpdateButtons();
  // A job ends before its message is handled, where it is joined; nothing is left to wait for.
  m_worker.Join();
  m_worker.Start(Handle(), std::move(work));
}

void CMelodyUtilityDlg::OnOtherMessage(const WindowMessage& message) {
  if (message.message != MelodyWorkerMessage::kDone && message.message != MelodyWorkerMessage::kFailed) {
    return;
  }
  // A message of a job that was cancelled and joined on closing has nothing left to finish.
  if (m_job == Job::None) {
    return;
  }
  OnWorkerEnded(message.message == MelodyWorkerMessage::kDone, message.wParam);
}

void CMelodyUtilityDlg::OnWorkerEnded(bool done, std::uintptr_t value) {
  m_worker.Join();
  const Job job = m_job;
  m_job = Job::None;
  const bool cancelled = (!done && value == MelodyWorkerMessage::kCancelled) || MelodyThreadState().CancelRequested();
  MelodyThreadState().SetCancelRequest(false);
  MelodyThreadState().TakeLastResult();
  switch (job) {
    case Job::Open:
      FinishOpen(done, cancelled);
      break;
    case Job::Encode:
      FinishEncoding(done, cancelled, static_cast<std::uint32_t>(value));
      break;
    case Job::Decode:
      FinishDecoding(done, cancelled);
      break;
    case Job::None:
      break;
  }
  UpdateLabels();
  UpdateButtons();
}

void CMelodyUtilityDlg::FinishOpen(bool done, bool cancelled) {
  CloseAnime();
  CloseSandGlass();
  const std::string scratch = WorkPath(kOpenScratch);
  const std::string wave = WorkPath(kWaveFile);
  if (cancelled || !done) {
    RemoveTemporary(kOpenScratch);
    ShowMsg(cancelled ? kMsgOpenCancelled : kMsgCannotOpen, cancelled ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    return;
  }
  m_sourceView->Close();
  std::error_code ec;
  std::filesystem::rename(scratch, wave, ec);
  try {
    if (ec) {
      throw CMelodyException(CMelodyException::kFile, "MuFileOpen rename");
    }
    m_sourceView->Open(wave);
  } catch (const CMelodyException&) {
    RemoveTemporary(kOpenScratch);
    RemoveTemporary(kWaveFile);
    m_openedPath.clear();
    ShowMsg(kMsgCannotOpen, MB_ICONEXCLAMATION);
    return;
  }
  m_openedPath = m_pendingPath;
  SetLastPath(std::filesystem::path(m_openedPath).parent_path().string());
  AddFileHistory(m_openedPath);
  m_nameEdit->setText(QString::fromStdString(CMelodyName::ProposedFromPath(m_openedPath)));
  m_sourceView->SetHighlighted(true);
  m_editView->SetHighlighted(false);
}

// Cancels the running job and waits for its thread; its message, if still to come, finds
// no job to finish.
void CMelodyUtilityDlg::CancelRunningJob() {
  if (!m_worker.IsStarted()) {
    return;
  }
  m_worker.CancelAndJoin();
  MelodyThreadState().SetCancelRequest(false);
  MelodyThreadState().TakeLastResult();
  m_job = Job::None;
  for (const char* name : {kOpenScratch, kSendFile, kGcFile, kFromDevGcFile, kFromDevWaveFile}) {
    RemoveTemporary(name);
  }
}

bool CMelodyUtilityDlg::OnCancelRequested(std::uint32_t /*code*/) {
  if (m_job != Job::None) {
    MelodyThreadState().SetCancelRequest(true);
  } else if (m_playing == Playing::Handset) {
    StopPlaying();
  }
  return true;
}

// ---- closing -------------------------------------------------------------------------------

bool CMelodyUtilityDlg::QueryClose() {
  CAppStatus* status = Context() != nullptr ? Context()->status : nullptr;
  std::int32_t refusal = 0;
  if (!StartFailed()) {
    switch (Executing()) {
      case kBusySend:
        refusal = kMsgCannotExitSending;
        break;
      case kBusyReceive:
      case kBusyListing:
        refusal = kMsgCannotExitReceiving;
        break;
      case kBusyErase:
        refusal = kMsgCannotExitErasing;
        break;
      default:
        break;
    }
  }
  QPointer<CMelodyUtilityDlg> self(this);
  if (refusal != 0) {
    if (Context() != nullptr) {
      Context()->SetResidentModal(true);
    }
    ShowMsg(refusal, MB_ICONEXCLAMATION);
    if (self && Context() != nullptr) {
      Context()->SetResidentModal(false);
    }
    return false;
  }
  // A conversion or decoding still running is stopped and its thread joined before anything
  // it works on goes away.
  if (m_job != Job::None) {
    CancelRunningJob();
    CloseAnime();
    CloseSandGlass();
  }
  if (m_modified && m_hasEditData) {
    const int answer = ShowMsg(kMsgSaveCurrent, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (!self || answer == IDCANCEL || (answer == IDYES && !Save()) || !self) {
      if (self) {
        UpdateButtons();
      }
      return false;
    }
  }
  StopPlaying();
  m_player->Close();
  m_sourceView->Close();
  m_editView->Close();
  m_folder.Remove();
  if (status != nullptr) {
    status->Register(APP_MELODY, 0, 0);
  }
  return CTemplate::QueryClose();
}

void CMelodyUtilityDlg::EndWindow() {
  QDialog::done(QDialog::Accepted);
}
