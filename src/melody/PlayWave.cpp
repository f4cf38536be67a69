#include "melody/PlayWave.h"

#include "melody/MelodyException.h"
#include "melody/WaveFile.h"
#include "melody/WaveRangeDevice.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>

namespace {

// About 80 ms of audio: short enough that the position follows the sound and the output
// drains quickly at the end.
constexpr int kBufferMs = 80;
constexpr int kPollMs = 10;
// The output clock may stop a little short of the range.
constexpr qint64 kEndToleranceUs = 2000;

QAudioFormat::SampleFormat SampleFormatOf(const CWaveFile& file) {
  const std::uint16_t bits = file.m_wBitsPerSample;
  if (file.SampleFormat() == CWaveFile::kTagPcm) {
    switch (bits) {
      case 8:
        return QAudioFormat::UInt8;
      case 16:
        return QAudioFormat::Int16;
      case 32:
        return QAudioFormat::Int32;
      default:
        return QAudioFormat::Unknown;
    }
  }
  if (file.SampleFormat() == CWaveFile::kTagFloat && bits == 32) {
    return QAudioFormat::Float;
  }
  return QAudioFormat::Unknown;
}

}  // namespace

CPlayWave::CPlayWave(QObject* parent) : QObject(parent) {
  m_poll.setInterval(kPollMs);
  connect(&m_poll, &QTimer::timeout, this, &CPlayWave::Poll);
}

CPlayWave::~CPlayWave() {
  Release();
}

int CPlayWave::Open(const std::string& file) {
  Close();
  CWaveFile wave;
  std::uint32_t size = 0;
  try {
    wave.OpenR(file);
    wave.ReadHeader();
    wave.SeekData(&size);
    wave.Close();
  } catch (const CMelodyException&) {
    wave.Close();
    throw CMelodyException(CMelodyException::kFile, "CPlayWave::Open");
  }
  if (wave.m_wBlockAlign == 0) {
    return kNoBlockAlign;
  }
  const QAudioFormat::SampleFormat sampleFormat = SampleFormatOf(wave);
  const bool consistent = wave.m_wChannels > 0 && wave.m_wBlockAlign == wave.m_wChannels * wave.m_wBitsPerSample / 8;
  if (sampleFormat == QAudioFormat::Unknown || !consistent || wave.m_dwSamplesPerSec == 0) {
    return kUnsupportedFormat;
  }
  m_format = QAudioFormat();
  m_format.setSampleRate(static_cast<int>(wave.m_dwSamplesPerSec));
  m_format.setChannelCount(wave.m_wChannels);
  m_format.setSampleFormat(sampleFormat);
  m_fileName = file;
  m_wBlockAlign = wave.m_wBlockAlign;
  m_rate = wave.m_dwSamplesPerSec;
  m_dwDataLength = size / wave.m_wBlockAlign;
  m_dwEnd = 0;
  m_bOpen = true;
  return kDone;
}

int CPlayWave::Play(std::uint32_t start, std::uint32_t end) {
  if (!m_bOpen || start > m_dwDataLength || end > m_dwDataLength || (end != 0 && start > end)) {
    return kRefused;
  }
  Release();
  const std::uint32_t last = end == 0 ? m_dwDataLength : end;
  const QAudioDevice output = QMediaDevices::defaultAudioOutput();
  if (output.isNull()) {
    return kNoAudioOutput;
  }
  if (!output.isFormatSupported(m_format)) {
    return kUnsupportedFormat;
  }
  m_device = new CWaveRangeDevice(m_fileName, static_cast<std::uint64_t>(start) * m_wBlockAlign,
                                  static_cast<std::uint64_t>(last - start) * m_wBlockAlign, this);
  if (!m_device->Start()) {
    Release();
    return kRefused;
  }
  m_sink = new QAudioSink(output, m_format, this);
  m_sink->setBufferSize(std::max(m_format.bytesForDuration(kBufferMs * 1000), 4 * static_cast<int>(m_wBlockAlign)));
  connect(m_sink, &QAudioSink::stateChanged, this, &CPlayWave::OnStateChanged);
  m_dwStart = start;
  m_dwEnd = end;
  m_paused = false;
  m_handedOver = false;
  m_sink->start(m_device);
  if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
    Release();
    return kNoAudioOutput;
  }
  m_poll.start();
  return kDone;
}

int CPlayWave::Seek(std::uint32_t frame) {
  const std::uint32_t last = m_dwEnd == 0 ? m_dwDataLength : m_dwEnd;
  if (m_sink == nullptr || frame > last) {
    return kRefused;
  }
  const bool paused = m_paused;
  const int result = Play(frame, m_dwEnd);
  if (result == kDone && paused) {
    Pause();
  }
  return result;
}

void CPlayWave::Release() {
  m_poll.stop();
  if (m_sink != nullptr) {
    m_sink->disconnect(this);
    m_sink->stop();
    delete m_sink;
    m_sink = nullptr;
  }
  delete m_device;
  m_device = nullptr;
  m_paused = false;
  m_handedOver = false;
}

int CPlayWave::Stop() {
  Release();
  return kDone;
}

int CPlayWave::Close() {
  if (!m_bOpen) {
    return kRefused;
  }
  Release();
  m_bOpen = false;
  return kDone;
}

int CPlayWave::Pause() {
  if (!m_bOpen || m_sink == nullptr || m_paused) {
    return kRefused;
  }
  m_sink->suspend();
  m_paused = true;
  return kDone;
}

int CPlayWave::Continue() {
  if (!m_bOpen || m_sink == nullptr || !m_paused) {
    return kRefused;
  }
  m_sink->resume();
  m_paused = false;
  return kDone;
}

QAudio::State CPlayWave::State() const {
  return m_sink != nullptr ? m_sink->state() : QAudio::StoppedState;
}

std::uint64_t CPlayWave::PlayedFrames() const {
  if (m_sink == nullptr) {
    return 0;
  }
  return static_cast<std::uint64_t>(m_sink->processedUSecs()) * m_rate / 1000000u;
}

int CPlayWave::GetCurrentPos(std::uint32_t& position) const {
  if (!m_bOpen || m_wBlockAlign == 0) {
    return kRefused;
  }
  if (m_sink == nullptr) {
    position = m_dwStart;
    return kDone;
  }
  const std::uint32_t last = m_dwEnd == 0 ? m_dwDataLength : m_dwEnd;
  position = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_dwStart + PlayedFrames(), last));
  return kDone;
}

void CPlayWave::OnStateChanged(QAudio::State state) {
  if (state == QAudio::StoppedState && m_sink != nullptr && m_sink->error() != QAudio::NoError) {
    // The output went away (device lost, server ended): the playback is over.
    Finish();
  }
}

void CPlayWave::Poll() {
  if (m_sink == nullptr || m_device == nullptr || m_paused || !m_device->atEnd()) {
    return;
  }
  if (!m_handedOver) {
    m_handedOver = true;
    m_sinceHandedOver.start();
  }
  const qint64 rangeUs = static_cast<qint64>(m_device->Length() / m_wBlockAlign) * 1000000 / m_rate;
  if (m_sink->processedUSecs() + kEndToleranceUs >= rangeUs || m_sinceHandedOver.elapsed() > kDrainGraceMs) {
    Finish();
  }
}

void CPlayWave::Finish() {
  Release();
  emit playEnded();
}

int CPlayWave::TransTime(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign, std::uint32_t frames,
                         std::uint32_t& seconds) {
  if (avgBytesPerSec == 0 || blockAlign == 0) {
    return kRefused;
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(blockAlign) * frames;
  seconds = static_cast<std::uint32_t>((bytes + avgBytesPerSec - 1) / avgBytesPerSec);
  return kDone;
}

int CPlayWave::TransTime(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign, std::uint32_t frames,
                         double& seconds) {
  if (avgBytesPerSec == 0 || blockAlign == 0) {
    return kRefused;
  }
  seconds = static_cast<double>(static_cast<std::uint64_t>(blockAlign) * frames / avgBytesPerSec);
  return kDone;
}
