#pragma once

#include "melody/WaveFile.h"

#include <QIODevice>
#include <cstdint>
#include <string>

// A read-only device over a byte range of a WAVE file's sample data, read in small pieces
// as the audio output pulls them, so a long file is never held in memory.
class CWaveRangeDevice : public QIODevice {
  Q_OBJECT

 public:
  CWaveRangeDevice(const std::string& file, std::uint64_t offset, std::uint64_t length, QObject* parent = nullptr);
  ~CWaveRangeDevice() override;

  // Opens the file and stands at the range's first byte; false when it cannot be read.
  bool Start();
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;
  bool atEnd() const override { return m_done >= m_length || m_failed; }
  std::uint64_t Delivered() const { return m_done; }
  std::uint64_t Length() const { return m_length; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* /*data*/, qint64 /*maxSize*/) override { return -1; }

 private:
  std::string m_fileName;
  CWaveFile m_file;
  std::uint64_t m_offset;
  std::uint64_t m_length;
  std::uint64_t m_done = 0;
  bool m_failed = false;
};
