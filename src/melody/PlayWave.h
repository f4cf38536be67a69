#pragma once

#include <QAudio>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

class QAudioSink;
class CWaveRangeDevice;

// Plays a WAVE file, or a frame range of it, on the PC's default audio output. The samples
// are pulled from the file as the output needs them through a short buffer, so the end of a
// range is heard in full and the cursor position follows the sound closely. Playback counts
// as finished when the output has played the whole range (its processed time), not when the
// last bytes were handed over; playEnded() then reports it.
//
// Results: 0 done; 3 the file's block align is 0; 4 refused (not open, bad range, nothing to
// continue); 5 there is no audio output or it refused to start; 6 a sample format the output
// cannot take (not PCM 8/16/32-bit or 32-bit float). Open throws CMelodyException code 2
// when the file cannot be read.
class CPlayWave : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDone = 0;
  static constexpr int kNoBlockAlign = 3;
  static constexpr int kRefused = 4;
  static constexpr int kNoAudioOutput = 5;
  static constexpr int kUnsupportedFormat = 6;
  // How long the output may hold data after the file range was handed over before the
  // playback is taken as finished even when its clock has not reached the end.
  static constexpr int kDrainGraceMs = 2000;

  explicit CPlayWave(QObject* parent = nullptr);
  ~CPlayWave() override;

  int Open(const std::string& file);
  // Frames [start, end); end 0 plays to the end of the file.
  int Play(std::uint32_t start, std::uint32_t end);
  // While playing, goes on from `frame` to the same end (a click in the playing view); refused
  // outside [0, end] or when nothing plays.
  int Seek(std::uint32_t frame);
  // Stops without a playEnded(); the file stays described.
  int Stop();
  int Close();
  int Pause();
  int Continue();
  // The frame being heard now.
  int GetCurrentPos(std::uint32_t& position) const;

  bool IsOpen() const { return m_bOpen; }
  bool IsPlaying() const { return m_sink != nullptr; }
  bool IsPaused() const { return m_paused; }
  std::uint32_t DataLength() const { return m_dwDataLength; }
  std::uint32_t End() const { return m_dwEnd; }
  const std::string& FileName() const { return m_fileName; }
  // The output's state while playing; StoppedState otherwise.
  QAudio::State State() const;

  // Seconds of `frames`, rounded up to a whole second; 4 when a divisor is 0.
  static int TransTime(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign, std::uint32_t frames,
                       std::uint32_t& seconds);
  // The same, rounded down and kept as a fraction.
  static int TransTime(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign, std::uint32_t frames, double& seconds);

 signals:
  void playEnded();

 private:
  void Release();
  void Poll();
  void OnStateChanged(QAudio::State state);
  void Finish();
  std::uint64_t PlayedFrames() const;

  bool m_bOpen = false;
  std::uint32_t m_dwDataLength = 0;
  std::string m_fileName;
  std::uint16_t m_wBlockAlign = 0;
  std::uint32_t m_rate = 0;
  QAudioFormat m_format;
  bool m_formatSupported = false;
  std::uint32_t m_dwStart = 0;
  std::uint32_t m_dwEnd = 0;
  bool m_paused = false;
  QAudioSink* m_sink = nullptr;
  CWaveRangeDevice* m_device = nullptr;
  QTimer m_poll;
  QElapsedTimer m_sinceHandedOver;
  bool m_handedOver = false;
};
