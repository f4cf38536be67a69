#pragma once

#include "framework/Template.h"
#include "melody/BoundedStack.h"
#include "melody/MelodyRecord.h"
#include "melody/MelodySettings.h"
#include "melody/MelodyVolume.h"
#include "melody/MelodyWorkFolder.h"
#include "melody/MelodyWorker.h"

#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPlayWave;
class CWaveView;
class CCharSetEdit;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
struct WaveInfo;

// Control, string and command ids of the melody window.
namespace MelodyUtilityId {
inline constexpr int kTitle = 9000;
inline constexpr int kCurrentFileLabel = 9003;
inline constexpr int kCurrentFile = 9004;
inline constexpr int kSourceStartLabel = 9005;
inline constexpr int kSourceEndLabel = 9006;
inline constexpr int kSourceStartLeft = 9007;
inline constexpr int kSourceStartRight = 9008;
inline constexpr int kSourceEndLeft = 9009;
inline constexpr int kSourceEndRight = 9010;
inline constexpr int kSourceLengthLabel = 9011;
inline constexpr int kZoomLabel = 9012;
inline constexpr int kSourcePlay = 9013;
inline constexpr int kSourcePause = 9014;
inline constexpr int kZoomIn = 9015;
inline constexpr int kZoomOut = 9016;
inline constexpr int kCopy = 9018;
inline constexpr int kEditStartLeft = 9019;
inline constexpr int kEditStartRight = 9020;
inline constexpr int kEditEndLeft = 9021;
inline constexpr int kEditEndRight = 9022;
inline constexpr int kEditStartLabel = 9023;
inline constexpr int kEditEndLabel = 9024;
inline constexpr int kEditLengthLabel = 9025;
inline constexpr int kEditPlay = 9026;
inline constexpr int kHandsetList = 9028;
inline constexpr int kNameLabel = 9029;
inline constexpr int kName = 9030;
inline constexpr int kVolUp = 9031;
inline constexpr int kVolumeLabel = 9034;
inline constexpr int kVolDown = 9035;
inline constexpr int kAutoVol = 9036;
inline constexpr int kEditPause = 9038;
inline constexpr int kCut = 9039;
inline constexpr int kUndo = 9040;
inline constexpr int kOriginal = 9041;
inline constexpr int kTransferred = 9042;
inline constexpr int kPeakLabel = 9043;
inline constexpr int kStop = 9054;
inline constexpr int kEditStop = 9055;
inline constexpr int kEditView = 9061;
inline constexpr int kSourceView = 9063;
// Menu commands (and the texts of the buttons that repeat them).
inline constexpr int kMenuAutoVol = 49004;
inline constexpr int kMenuVolDown = 49005;
inline constexpr int kMenuVolUp = 49006;
inline constexpr int kMenuCut = 49007;
inline constexpr int kMenuCopy = 49008;
inline constexpr int kMenuZoomOut = 49009;
inline constexpr int kMenuZoomIn = 49010;
inline constexpr int kMenuUndo = 49011;
inline constexpr int kMenuEditPause = 49014;
inline constexpr int kMenuEditPlay = 49015;
inline constexpr int kMenuSourcePause = 49017;
inline constexpr int kMenuSourcePlay = 49018;
inline constexpr int kMenuExit = 49019;
inline constexpr int kPlayOnPc = 49020;
inline constexpr int kDeleteData = 49021;
inline constexpr int kToDevice = 49022;
inline constexpr int kSaveAs = 49023;
inline constexpr int kSave = 49024;
inline constexpr int kOpen = 49025;
}  // namespace MelodyUtilityId

// The melody utility: opens a WAVE file and converts it to the handset's format (16 kHz,
// 16-bit mono) in the source view, copies a marked range of it into the edit view, trims it
// with cut and undo, sets its volume, plays either view on the PC, saves it, and sends it to
// the handset; lists the handset's melodies, plays one of them on the PC and erases them.
//
// Conversion, encoding and decoding run on a worker thread, one job at a time, behind the
// progress window; the window goes on handling its messages and takes the job's outcome
// when the worker posts it. Every working file lives in the window's private folder, which
// goes with the window. Editing is file based: each command writes a scratch file and
// replaces the edited melody only when the scratch file is complete.
class CMelodyUtilityDlg : public CTemplate {
  Q_OBJECT

 public:
  // The executing values of the window's operations.
  static constexpr std::uint8_t kBusySend = 18;
  static constexpr std::uint8_t kBusyReceive = 2;
  static constexpr std::uint8_t kBusyErase = 3;
  static constexpr std::uint8_t kBusyListing = 4;
  // The send lowers the level by this much: the handset plays melodies louder than the PC.
  static constexpr double kSendAttenuationDb = -8.0;

  // Names of the working files in the private folder.
  static constexpr const char* kWaveFile = "MelodyWaveTemp.wav";
  static constexpr const char* kEditFile = "MelodyWaveEditTemp.wav";
  static constexpr const char* kVolumeFile = "MelodyVolumeTemp.wav";
  static constexpr const char* kGcFile = "MelodyGCTemp.gc";
  static constexpr const char* kFromDevGcFile = "MelodyFromDevGCTemp.gc";
  static constexpr const char* kFromDevWaveFile = "MelodyFromDevWaveTemp.wav";
  // The converted file before it replaces the one shown, and the scratch files of editing.
  static constexpr const char* kOpenScratch = "MelodyOpenScratch.wav";
  static constexpr const char* kEditScratch = "MelodyEditTemp.wav";
  static constexpr const char* kRemovedScratch = "MelodyEditRemovedTemp.wav";
  static constexpr const char* kSendFile = "MelodySendTemp.wav";

  struct UndoRecord {
    int operation = 0;  // 1 cut, 3 volume change
    std::string removedPart;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    int volumeKind = 0;  // 0 down, 1 up, 2 auto
    double peak = 0.0;
    double db = 0.0;
  };

  explicit CMelodyUtilityDlg(QWidget* parent = nullptr, CAppContext* context = nullptr);
  ~CMelodyUtilityDlg() override;

  // Runs a command of a button, a menu item or a key.
  void OnCommand(int id);
  // Opens and converts a WAVE file as the open dialog would with that file and channel
  // (1 left, 2 right). The conversion runs on the worker; false when it was not started.
  bool OpenFile(const std::string& path, int channel = 1);

  // ---- state the window shows ----------------------------------------------------------
  CWaveView* SourceView() const { return m_sourceView; }
  CWaveView* EditView() const { return m_editView; }
  CCharSetEdit* NameEdit() const { return m_nameEdit; }
  QListWidget* HandsetList() const { return m_listWidget; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  CPlayWave* Player() const { return m_player; }
  const CMelodyVolume& Volume() const { return m_volume; }
  const CMelodySettings& Settings() const { return m_settings; }
  std::size_t UndoDepth() const { return m_undo.Size(); }
  int UndoCounter() const { return m_undoCounter; }
  bool IsModified() const { return m_modified; }
  bool HasEditData() const { return m_hasEditData; }
  bool IsWorking() const { return m_job != Job::None; }
  bool IsListing() const { return m_listing; }
  bool IsPlaying() const { return m_playing != Playing::None; }
  bool IsPlayingHandsetMelody() const { return m_playing == Playing::Handset; }
  const std::vector<MelodyListEntry>& HandsetMelodies() const { return m_melodies; }
  const CMelodyWorkFolder& WorkFolder() const { return m_folder; }
  std::string WorkPath(const char* name) const { return m_folder.Path(name); }
  // The opened file as the label shows it.
  const std::string& OpenedPath() const { return m_openedPath; }
  // The peak shown for the edited melody (with its volume), rounded.
  long DisplayedPeak() const;
  QString LabelText(const char* name) const;

 protected:
  // ---- CTemplate hooks -----------------------------------------------------------------
  void RelabelControls() override;
  bool OnOpen() override;
  bool OnSaveAs() override;
  void OnHistoryCommand(int id) override;
  bool QueryClose() override;
  void EndWindow() override;
  bool SendRequest() override;
  bool SendNext() override;
  bool Prepare1001() override;
  bool Prepare1002() override;
  bool Prepare1003() override;
  bool OnItemReceived(std::uint32_t code, ReplyBytes object) override;
  bool CheckReadResult(std::uint32_t code, ReplyBytes reply) override;
  bool CheckWriteResult(std::uint32_t code, ReplyBytes reply) override;
  bool CheckEraseResult(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadCountDone(std::uint32_t code, ReplyBytes reply) override;
  bool OnOtherDone(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadCountFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterReadFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterWriteFailed(std::uint32_t code, ReplyBytes reply) override;
  bool AfterEraseFailed(std::uint32_t code, ReplyBytes reply) override;
  bool OnOtherFailed(std::uint32_t code, ReplyBytes reply) override;
  bool OnNoResponse(std::uint32_t code) override;
  bool OnCancelRequested(std::uint32_t code) override;
  bool OnDeviceAttached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnDeviceDetached(std::uintptr_t wParam, std::intptr_t lParam) override;
  bool OnLanguageChanged() override;
  void OnOtherMessage(const WindowMessage& message) override;
  void FitToBackground() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  enum class Job { None, Open, Encode, Decode };
  enum class Playing { None, Source, Edit, Handset };
  enum class SendStep { None, FreeItems, FreeMemory, Encoding, Writing };

  // Window building (MelodyUtilityDlgLayout.cpp).
  void BuildControls();
  QWidget* BuildSourcePanel();
  QWidget* BuildEditPanel();
  QWidget* BuildHandsetPanel();
  void BuildMenus();
  QPushButton* AddButton(int id, QWidget* parent);
  QLabel* AddLabel(int id, QWidget* parent);
  QLabel* AddValue(const char* name, QWidget* parent);
  void AddMenuItem(QMenu* menu, int stringId, int command, const QKeySequence& shortcut = {});
  void RelabelMenus();
  void SetButtonCaption(int id, int stringId);

  // State shown (MelodyUtilityDlg.cpp).
  void UpdateButtons();
  void UpdateLabels();
  void ShowTimes(CWaveView* view, const char* start, const char* end, const char* length);
  void EnableCommand(int id, bool enable);
  void DeviceStatusCheck();

  // Opening (MelodyUtilityDlg.cpp).
  void StartJob(Job job, CMelodyWorker::Job work);
  void OnWorkerEnded(bool done, std::uintptr_t value);
  void FinishOpen(bool done, bool cancelled);
  void CancelRunningJob();

  // Editing (MelodyUtilityDlgEdit.cpp).
  void CopyToEdit();
  void Cut();
  void Undo();
  void ChangeVolume(int kind);
  void Zoom(bool in);
  void StepMarker(int id);
  void ReopenEditView(double gain);
  void MeasurePeak(double& peak) const;
  void PushUndo(UndoRecord record);
  void ClearUndo();
  bool ApplyVolume();
  bool Save();
  bool SaveAs();
  bool SaveTo(const std::string& path);
  // The range a view plays: [start, end) in frames; false when it holds no frame.
  bool PlayRange(CWaveView* view, std::uint32_t& start, std::uint32_t& end) const;
  void PlayView(CWaveView* view);
  void PauseView(CWaveView* view);
  void StartPlayer(const std::string& file, std::uint32_t start, std::uint32_t end, Playing what);
  void StopPlaying();
  void OnPlayEnded();
  void OnCursorTimer();
  void OnViewClicked(int id, int frame);

  // The handset (MelodyUtilityDlgHandset.cpp).
  void StartListing();
  void StartListingLater();
  void EndListing();
  void FillList();
  const MelodyListEntry* SelectedMelody() const;
  void RequestRemainSize(std::uint32_t argument);
  void OnRemainSizeReply(ReplyBytes reply);
  void StartEncoding();
  void FinishEncoding(bool done, bool cancelled, std::uint32_t gcSize);
  void EndSend(std::int32_t message);
  void FinishDecoding(bool done, bool cancelled);
  void EndHandsetPlay();
  void RemoveTemporary(const char* name) const { m_folder.RemoveFile(name); }

  CMelodySettings m_settings;
  CMelodyVolume m_volume;
  CBoundedStack<UndoRecord> m_undo;
  int m_undoCounter = 0;
  CMelodyWorkFolder m_folder;
  CMelodyWorker m_worker;
  Job m_job = Job::None;
  CPlayWave* m_player = nullptr;
  Playing m_playing = Playing::None;
  QTimer m_cursorTimer;
  bool m_volumeApplied = false;
  bool m_modified = false;
  bool m_hasEditData = false;
  bool m_savedOnce = false;
  std::string m_savedPath;
  std::string m_openedPath;
  std::string m_pendingPath;
  bool m_connected = false;
  bool m_noResponse = false;
  bool m_listing = false;
  std::vector<MelodyListEntry> m_melodies;
  SendStep m_sendStep = SendStep::None;
  std::uint64_t m_freeBytes = 0;
  std::vector<std::uint8_t> m_sendBuffer;
  std::vector<std::uint8_t> m_received;
  std::string m_sendName;

  CWaveView* m_sourceView = nullptr;
  CWaveView* m_editView = nullptr;
  CCharSetEdit* m_nameEdit = nullptr;
  QLabel* m_pathLabel = nullptr;
  QListWidget* m_listWidget = nullptr;
  QMenuBar* m_menuBar = nullptr;
  std::vector<QMenu*> m_menus;
};
