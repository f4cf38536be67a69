#include "melody/WaveRangeDevice.h"

#include "melody/MelodyException.h"

#include <algorithm>

CWaveRangeDevice::CWaveRangeDevice(const std::string& file, std::uint64_t offset, std::uint64_t length, QObject* parent)
    : QIODevice(parent), m_fileName(file), m_offset(offset), m_length(length) {}

CWaveRangeDevice::~CWaveRangeDevice() = default;

bool CWaveRangeDevice::Start() {
  try {
    m_file.OpenR(m_fileName);
    m_file.ReadHeader();
    m_file.SeekData();
    m_file.SeekInData(m_offset);
  } catch (const CMelodyException&) {
    m_file.Close();
    return false;
  }
  m_done = 0;
  m_failed = false;
  return open(QIODevice::ReadOnly);
}

qint64 CWaveRangeDevice::bytesAvailable() const {
  return static_cast<qint64>(m_length - std::min(m_done, m_length)) + QIODevice::bytesAvailable();
}

qint64 CWaveRangeDevice::readData(char* data, qint64 maxSize) {
  if (atEnd() || maxSize <= 0) {
    return 0;
  }
  const auto want =
      static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(maxSize), m_length - m_done));
  try {
    const std::size_t got = m_file.Read(data, want);
    m_done += got;
    if (got < want) {
      // The file is shorter than its header said: end the range here.
      m_length = m_done;
    }
    return static_cast<qint64>(got);
  } catch (const CMelodyException&) {
    m_failed = true;
    m_file.Close();
    return -1;
  }
}
