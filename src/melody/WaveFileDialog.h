#pragma once

#include "melody/WaveOperations.h"

#include <QFileDialog>
#include <QString>
#include <cstdint>
#include <string>

class CAppContext;
class CPlayWave;
class QLabel;
class QPushButton;
class QRadioButton;

// The file-open dialog of the melody window: a file dialog with a panel that describes the
// selected WAVE file (size, rate, sample width, channels, duration), plays it before it is
// opened, and for a stereo file lets the user choose the channel that becomes the melody.
// A file the melody conversion cannot take shows its description but cannot be previewed.
class CWaveFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  // Control and string ids of the panel.
  static constexpr int kGroup = 9301;
  static constexpr int kSizeLabel = 9302;
  static constexpr int kPlay = 9303;
  static constexpr int kPropertyLabel = 9304;
  static constexpr int kTimeLabel = 9305;
  static constexpr int kSize = 9306;
  static constexpr int kLeft = 9307;
  static constexpr int kRate = 9308;
  static constexpr int kWidth = 9310;
  static constexpr int kChannels = 9312;
  static constexpr int kDuration = 9314;
  static constexpr int kRight = 9316;
  static constexpr int kStereo = 9322;
  static constexpr int kStop = 9054;
  static constexpr int kFilterName = 9056;
  static constexpr std::int32_t kMsgError = 788;
  static constexpr std::int32_t kMsgPlayFailed = 764;

  CWaveFileDialog(QWidget* parent, CAppContext* context);
  ~CWaveFileDialog() override;

  // Shows the dialog modally, keeping the process's current folder; the chosen path, or
  // empty when cancelled.
  std::string Choose();

  // The selection changed: describe the file, or clear the panel.
  void OnFileNameChange(const QString& path);
  void OnPlayAndStop();
  void OnPlayEnd();

  bool HasDescription() const { return m_described; }
  const WaveInfo& Info() const { return m_info; }
  std::uint32_t DataSize() const { return m_dataSize; }
  bool GetLeftButtonCheck() const;
  // 1 left, 2 right.
  int Channel() const { return GetLeftButtonCheck() ? 1 : 2; }
  bool IsPreviewing() const { return m_previewing; }
  QString ValueText(int id) const;
  QPushButton* PlayButton() const { return m_play; }
  QRadioButton* LeftButton() const { return m_left; }
  QRadioButton* RightButton() const { return m_right; }

  // "mm:ss" below an hour, "hh:mm:ss" from an hour on.
  static QString DurationText(std::uint32_t seconds);

 protected:
  void done(int result) override;

 private:
  QWidget* BuildPanel();
  QString Text(int id) const;
  // A format string with one unsigned number ("%uHz", "%00ubit") filled in.
  QString Formatted(int id, std::uint32_t value) const;
  void ClearPanel();
  void StopPreview();
  int ShowMsg(std::int32_t number, std::uint32_t style);

  CAppContext* m_context;
  CPlayWave* m_player;
  QLabel* m_values[5] = {};
  QPushButton* m_play = nullptr;
  QRadioButton* m_left = nullptr;
  QRadioButton* m_right = nullptr;
  QString m_previewPath;
  QString m_selected;
  bool m_previewing = false;
  bool m_described = false;
  WaveInfo m_info;
  std::uint32_t m_dataSize = 0;
};
