// CMelodyUtilityDlg: editing (copy, cut, undo, volume, zoom, markers), saving, and playing
// on the PC.
#include "melody/MelodyUtilityDlg.h"

#include "framework/QtFileDialogs.h"
#include "melody/MelodyException.h"
#include "melody/PlayWave.h"
#include "melody/WaveFileDialog.h"
#include "melody/WaveOperations.h"
#include "melody/WaveView.h"
#include "ui/CharSetEdit.h"
#include "ui/Message.h"

#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

using namespace MelodyUtilityId;

constexpr std::int32_t kMsgSaved = 765;
constexpr std::int32_t kMsgNotSaved = 766;
constexpr std::int32_t kMsgPlayFailed = 764;
constexpr std::int32_t kMsgNotCopied = 1516;
constexpr std::int32_t kMsgNotCut = 1517;
constexpr std::int32_t kMsgNoUndo = 1518;
constexpr std::int32_t kMsgNotScaled = 1519;
constexpr std::int32_t kMsgNoVolume = 1520;
constexpr std::uint32_t kHideReadOnly = 0x4;
// The edited melody is always 16-bit mono.
constexpr std::uint16_t kEditBlockAlign = 2;

double GainOf(double db) {
  return std::pow(10.0, db / 20.0);
}

// The whole frames of a marked range, in order; false when it holds less than one frame.
bool WholeFrames(double first, double last, std::uint32_t& start, std::uint32_t& end) {
  start = static_cast<std::uint32_t>(std::floor(std::max(0.0, std::min(first, last))));
  end = static_cast<std::uint32_t>(std::floor(std::max(0.0, std::max(first, last))));
  return end > start;
}

void Replace(const std::string& scratch, const std::string& target) {
  std::error_code ec;
  std::filesystem::rename(scratch, target, ec);
  if (ec) {
    throw CMelodyException(CMelodyException::kFile, "CMelodyUtilityDlg replace");
  }
}

void RemoveFile(const std::string& name) {
  std::error_code ec;
  std::filesystem::remove(name, ec);
}

std::string RemovedPartName(int counter) {
  char name[40];
  std::snprintf(name, sizeof name, "%s%03d.wav", "MelodyEditTemp", counter);
  return name;
}

}  // namespace

// ---- copy, cut and undo --------------------------------------------------------------------

void CMelodyUtilityDlg::MeasurePeak(double& peak) const {
  std::uint32_t value = 0;
  std::uint32_t fullScale = 0;
  WavePeak(WorkPath(kEditFile), value, fullScale);
  peak = value;
}

// Opens the edited melody again after a failed command, as far as it can be read.
void CMelodyUtilityDlg::ReopenEditView(double gain) {
  try {
    m_editView->Open(WorkPath(kEditFile), gain);
  } catch (const CMelodyException&) {
    m_editView->Close();
    m_hasEditData = false;
  }
}

void CMelodyUtilityDlg::ClearUndo() {
  for (std::uint32_t counter = 0; counter < m_settings.maxUndoCount; ++counter) {
    RemoveTemporary(RemovedPartName(static_cast<int>(counter)).c_str());
  }
  m_undo.Clear();
  m_undoCounter = 0;
}

void CMelodyUtilityDlg::PushUndo(UndoRecord record) {
  m_undo.Push(std::move(record));
  m_undoCounter = (m_undoCounter + 1) % static_cast<int>(m_settings.maxUndoCount);
}

// The marked range of the source view becomes the edited melody. A range shorter than one
// frame is refused: an empty length would mean "to the end of the file".
void CMelodyUtilityDlg::CopyToEdit() {
  double first = 0;
  double last = 0;
  if (m_sourceView->GetSelection(first, last) != CWaveView::kBoth) {
    return;
  }
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  const std::uint16_t align = m_sourceView->BlockAlign();
  if (!WholeFrames(first, last, start, end) || align == 0) {
    ShowMsg(kMsgNotCopied, MB_ICONEXCLAMATION);
    return;
  }
  const std::string scratch = WorkPath(kEditScratch);
  double peak = 0;
  try {
    WaveCopyPart(WorkPath(kWaveFile), scratch, start * align, (end - start) * align);
    m_editView->Close();
    Replace(scratch, WorkPath(kEditFile));
    m_editView->Open(WorkPath(kEditFile), 1.0);
    MeasurePeak(peak);
  } catch (const CMelodyException&) {
    RemoveFile(scratch);
    if (m_hasEditData) {
      ReopenEditView(m_volume.Gain());
    }
    ShowMsg(kMsgNotCopied, MB_ICONEXCLAMATION);
    return;
  }
  ClearUndo();
  m_volume.Reset(peak);
  m_volumeApplied = false;
  m_modified = true;
  m_hasEditData = true;
  m_sourceView->SetHighlighted(false);
  m_editView->SetHighlighted(true);
}

// The removed part is written under a scratch name and takes its undo file's name only when
// the cut is complete, so a failed cut never spoils the oldest record's file.
void CMelodyUtilityDlg::Cut() {
  double first = 0;
  double last = 0;
  if (!m_hasEditData || m_editView->GetSelection(first, last) != CWaveView::kBoth) {
    return;
  }
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  if (!WholeFrames(first, last, start, end)) {
    ShowMsg(kMsgNotCut, MB_ICONEXCLAMATION);
    return;
  }
  const std::string scratch = WorkPath(kEditScratch);
  const std::string removed = WorkPath(kRemovedScratch);
  const std::string removedName = RemovedPartName(m_undoCounter);
  const double peakBefore = m_volume.Peak();
  const double dbBefore = m_volume.Db();
  double peak = 0;
  try {
    WaveCutPart(WorkPath(kEditFile), scratch, start * kEditBlockAlign, (end - start) * kEditBlockAlign, removed);
    m_editView->Close();
    Replace(removed, WorkPath(removedName.c_str()));
    Replace(scratch, WorkPath(kEditFile));
    m_editView->Open(WorkPath(kEditFile), GainOf(dbBefore));
    MeasurePeak(peak);
  } catch (const CMelodyException&) {
    RemoveFile(scratch);
    RemoveFile(removed);
    ReopenEditView(GainOf(dbBefore));
    ShowMsg(kMsgNotCut, MB_ICONEXCLAMATION);
    return;
  }
  m_editView->ClearMarkers();
  PushUndo(UndoRecord{1, removedName, start, end, 0, peakBefore, dbBefore});
  m_volume.Restore(peak, dbBefore);
  m_volumeApplied = false;
  m_modified = true;
}

void CMelodyUtilityDlg::Undo() {
  if (m_undo.Empty()) {
    return;
  }
  const UndoRecord record = m_undo.Pop();
  try {
    if (record.operation == 1) {
      const std::string scratch = WorkPath(kEditScratch);
      const std::string removed = WorkPath(record.removedPart.c_str());
      WaveInsertPart(WorkPath(kEditFile), scratch, record.start * kEditBlockAlign, removed);
      m_editView->Close();
      Replace(scratch, WorkPath(kEditFile));
      RemoveFile(removed);
      m_editView->Open(WorkPath(kEditFile), GainOf(record.db));
      m_editView->SetMarkers(record.start, record.end);
    } else {
      m_editView->SetGain(GainOf(record.db));
    }
  } catch (const CMelodyException&) {
    RemoveTemporary(kEditScratch);
    // The record stays: the edited melody is as it was before the attempt.
    m_undo.Push(record);
    if (!m_editView->IsOpen()) {
      ReopenEditView(m_volume.Gain());
    }
    ShowMsg(kMsgNoUndo, MB_ICONEXCLAMATION);
    return;
  }
  m_volume.Restore(record.peak, record.db);
  const int levels = static_cast<int>(m_settings.maxUndoCount);
  m_undoCounter = m_undo.Empty() ? 0 : (m_undoCounter + levels - 1) % levels;
  m_volumeApplied = false;
  m_modified = true;
}

// ---- volume and zoom -----------------------------------------------------------------------

// Only the level of the edited melody changes (and its drawing); the samples are scaled when
// the melody is saved or sent. Silence has no level to change: the commands are refused.
void CMelodyUtilityDlg::ChangeVolume(int kind) {
  if (!m_hasEditData || m_editView->Frames() == 0) {
    return;
  }
  double first = 0;
  double last = 0;
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  if (m_editView->GetSelection(first, last) == CWaveView::kBoth) {
    WholeFrames(first, last, start, end);
  }
  const UndoRecord record{3, {}, start, end, kind, m_volume.Peak(), m_volume.Db()};
  const bool changed = kind == 0 ? m_volume.Down() : kind == 1 ? m_volume.Up() : m_volume.Auto();
  if (!changed) {
    return;
  }
  try {
    m_editView->SetGain(m_volume.Gain());
  } catch (const CMelodyException&) {
    m_volume.Restore(record.peak, record.db);
    ShowMsg(kMsgNoVolume, MB_ICONEXCLAMATION);
    return;
  }
  PushUndo(record);
  m_volumeApplied = false;
  m_modified = true;
}

void CMelodyUtilityDlg::Zoom(bool in) {
  if (!m_sourceView->IsOpen()) {
    return;
  }
  const double zoom = m_sourceView->Zoom();
  const double next = in ? CWaveView::ZoomInStep(zoom, m_sourceView->MaxZoom()) : CWaveView::ZoomOutStep(zoom);
  if (next == zoom) {
    return;
  }
  bool scaled = false;
  try {
    scaled = m_sourceView->SetZoom(next);
  } catch (const CMelodyException&) {
    scaled = false;
  }
  if (!scaled) {
    ShowMsg(kMsgNotScaled, MB_ICONEXCLAMATION);
  }
}

// A step never takes a marker past the other one, the data, or 30 seconds from the other
// marker (the view keeps that limit, as for a drag).
void CMelodyUtilityDlg::StepMarker(int id) {
  const bool source = id >= kSourceStartLeft && id <= kSourceEndRight;
  CWaveView* view = source ? m_sourceView : m_editView;
  const int offset = id - (source ? kSourceStartLeft : kEditStartLeft);
  const int which = offset < 2 ? CWaveView::kStartMarker : CWaveView::kEndMarker;
  const int direction = offset % 2 == 0 ? -1 : 1;
  view->SetMarker(which, direction);
  m_sourceView->SetHighlighted(source);
  m_editView->SetHighlighted(!source);
}

// ---- saving --------------------------------------------------------------------------------

bool CMelodyUtilityDlg::ApplyVolume() {
  if (m_volumeApplied) {
    return true;
  }
  try {
    WaveAmplify(WorkPath(kEditFile), WorkPath(kVolumeFile), m_volume.Gain());
  } catch (const CMelodyException&) {
    RemoveTemporary(kVolumeFile);
    return false;
  }
  m_volumeApplied = true;
  return true;
}

bool CMelodyUtilityDlg::OnSaveAs() {
  return SaveAs();
}

bool CMelodyUtilityDlg::Save() {
  if (!m_savedOnce) {
    return SaveAs();
  }
  return SaveTo(m_savedPath);
}

bool CMelodyUtilityDlg::SaveAs() {
  if (!m_hasEditData || m_editView->Frames() == 0) {
    return false;
  }
  const std::string filter = String(CWaveFileDialog::kFilterName) + " (*.wav)";
  std::string name = m_nameEdit->text().trimmed().toStdString();
  if (name.empty()) {
    name = "Melody";
  }
  QPointer<CMelodyUtilityDlg> self(this);
  const std::string path =
      BrowseForSave("wav", name + ".wav", kHideReadOnly | CQtFileDialogs::kOverwritePrompt, filter,
                    m_savedOnce ? std::filesystem::path(m_savedPath).parent_path().string() : std::string());
  if (!self || path.empty()) {
    return false;
  }
  return SaveTo(path);
}

// The melody with its volume goes to a temporary name beside the target, which takes the
// target's name only when complete.
bool CMelodyUtilityDlg::SaveTo(const std::string& path) {
  if (!m_hasEditData || m_editView->Frames() == 0) {
    return false;
  }
  const std::string partial = path + ".part";
  std::error_code ec;
  bool saved = ApplyVolume();
  if (saved) {
    std::filesystem::copy_file(WorkPath(kVolumeFile), partial, std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) {
      std::filesystem::rename(partial, path, ec);
    }
    saved = !ec;
  }
  if (!saved) {
    RemoveFile(partial);
    ShowMsg(kMsgNotSaved, MB_ICONSTOP);
    return false;
  }
  m_savedOnce = true;
  m_savedPath = path;
  m_modified = false;
  QPointer<CMelodyUtilityDlg> self(this);
  ShowMsg(kMsgSaved, MB_ICONINFORMATION);
  return !self.isNull();
}

// ---- playing on the PC ---------------------------------------------------------------------

// Whole data with no marker, from the start marker to the end with one, the marked range
// with both.
bool CMelodyUtilityDlg::PlayRange(CWaveView* view, std::uint32_t& start, std::uint32_t& end) const {
  const std::uint32_t frames = view->Frames();
  if (!view->IsOpen() || frames == 0) {
    return false;
  }
  double first = 0;
  double last = 0;
  start = 0;
  end = 0;
  switch (view->GetSelection(first, last)) {
    case CWaveView::kBoth:
      if (!WholeFrames(first, last, start, end)) {
        end = 0;
      }
      break;
    case CWaveView::kStartOnly:
      start = static_cast<std::uint32_t>(std::floor(std::max(0.0, first)));
      break;
    default:
      break;
  }
  start = std::min(start, frames - 1);
  end = std::min(end, frames);
  return true;
}

void CMelodyUtilityDlg::PlayView(CWaveView* view) {
  const Playing what = view == m_sourceView ? Playing::Source : Playing::Edit;
  if (m_playing == what) {
    StopPlaying();
    return;
  }
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  if (m_playing != Playing::None || m_job != Job::None || !PlayRange(view, start, end)) {
    return;
  }
  // The edited melody is heard as it will be saved and sent: with its volume.
  if (what == Playing::Edit && !ApplyVolume()) {
    ShowMsg(kMsgPlayFailed, MB_ICONEXCLAMATION);
    return;
  }
  StartPlayer(WorkPath(what == Playing::Source ? kWaveFile : kVolumeFile), start, end, what);
}

void CMelodyUtilityDlg::PauseView(CWaveView* view) {
  const Playing what = view == m_sourceView ? Playing::Source : Playing::Edit;
  if (m_playing != what) {
    return;
  }
  if (m_player->IsPaused()) {
    m_player->Continue();
  } else {
    m_player->Pause();
  }
}

void CMelodyUtilityDlg::StartPlayer(const std::string& file, std::uint32_t start, std::uint32_t end, Playing what) {
  int result = CPlayWave::kRefused;
  try {
    result = m_player->Open(file);
    if (result == CPlayWave::kDone) {
      result = m_player->Play(start, end);
    }
  } catch (const CMelodyException&) {
    result = CPlayWave::kRefused;
  }
  if (result != CPlayWave::kDone) {
    m_player->Close();
    ShowMsg(kMsgPlayFailed, MB_ICONEXCLAMATION);
    return;
  }
  m_playing = what;
  m_sourceView->EnableMouse(false);
  m_editView->EnableMouse(false);
  if (what != Playing::Handset) {
    CWaveView* view = what == Playing::Source ? m_sourceView : m_editView;
    view->SetPlayCursor(start);
    view->ShowPlayCursor(true);
    SetButtonCaption(what == Playing::Source ? kSourcePlay : kEditPlay, what == Playing::Source ? kStop : kEditStop);
    m_cursorTimer.start();
  }
  UpdateButtons();
}

void CMelodyUtilityDlg::StopPlaying() {
  if (m_playing == Playing::None) {
    return;
  }
  m_player->Stop();
  OnPlayEnded();
}

void CMelodyUtilityDlg::OnPlayEnded() {
  const Playing what = m_playing;
  m_playing = Playing::None;
  m_cursorTimer.stop();
  m_player->Close();
  for (CWaveView* view : {m_sourceView, m_editView}) {
    view->ShowPlayCursor(false);
    view->EnableMouse(true);
  }
  SetButtonCaption(kSourcePlay, kSourcePlay);
  SetButtonCaption(kEditPlay, kEditPlay);
  if (what == Playing::Handset) {
    EndHandsetPlay();
  }
  UpdateButtons();
}

void CMelodyUtilityDlg::OnCursorTimer() {
  CWaveView* view = m_playing == Playing::Source ? m_sourceView : m_playing == Playing::Edit ? m_editView : nullptr;
  std::uint32_t position = 0;
  if (view != nullptr && m_player->GetCurrentPos(position) == CPlayWave::kDone) {
    view->SetPlayCursor(position);
  }
}

// A click in the playing view goes on playing from there when it lies in the range played.
void CMelodyUtilityDlg::OnViewClicked(int id, int frame) {
  CWaveView* view = m_playing == Playing::Source ? m_sourceView : m_playing == Playing::Edit ? m_editView : nullptr;
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  if (view == nullptr || view->Id() != id || frame < 0 || !PlayRange(view, start, end)) {
    return;
  }
  const std::uint32_t last = end == 0 ? view->Frames() : end;
  const auto position = static_cast<std::uint32_t>(frame);
  if (position >= start && position < last && m_player->Seek(position) == CPlayWave::kDone) {
    view->SetPlayCursor(position);
  }
}
