#include "MelodyCliSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "CliRegistry.h"
#include "melody/FormatConversion.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace MelodyCli {

std::string Reason(const CMelodyException& e) {
  switch (e.Code()) {
    case CMelodyException::kCancelled:
      return "cancelled";
    case CMelodyException::kFile:
      return "cannot be read or written, or is not a valid RIFF/WAVE file";
    case CMelodyException::kUnsupportedFormat:
      return "unsupported audio format";
    default:
      return "failed (out of memory or internal error)";
  }
}

CWorkFolder::CWorkFolder() {
  std::string pattern = (CPaths::TempDir() / "orvane-melody-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return;
  }
  m_path = pattern;
  const char* tmp = std::getenv("TMPDIR");
  m_hadTmp = tmp != nullptr;
  if (m_hadTmp) {
    m_previousTmp = tmp;
  }
  ::setenv("TMPDIR", m_path.c_str(), 1);
}

CWorkFolder::~CWorkFolder() {
  if (m_path.empty()) {
    return;
  }
  if (m_hadTmp) {
    ::setenv("TMPDIR", m_previousTmp.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  std::error_code ec;
  fs::remove_all(m_path, ec);
}

CPendingOutput::CPendingOutput(fs::path target) : m_target(std::move(target)) {
  m_temporary = m_target;
  m_temporary += ".part-" + std::to_string(::getpid());
}

CPendingOutput::~CPendingOutput() {
  if (!m_committed) {
    std::error_code ec;
    fs::remove(m_temporary, ec);
  }
}

bool CPendingOutput::Commit() {
  std::error_code ec;
  fs::rename(m_temporary, m_target, ec);
  m_committed = !ec;
  return m_committed;
}

std::string CheckConvertible(const std::string& file) {
  WaveInfo info;
  GetWaveInfo(file, info);
  {
    // Compressed or floating-point data would be read as if it were PCM.
    CWaveFile probe;
    probe.OpenR(file);
    probe.ReadHeader();
    if (probe.m_wFormatTag != 1 && probe.m_wFormatTag != 0xFFFE) {
      return "unsupported audio format: format tag " + std::to_string(probe.m_wFormatTag) + " (PCM required)";
    }
  }
  if (info.m_wChannels != 1 && info.m_wChannels != 2) {
    return "unsupported audio format: " + std::to_string(info.m_wChannels) + " channels (1 or 2 supported)";
  }
  if (info.m_wBitsPerSample != 8 && info.m_wBitsPerSample != 16) {
    return "unsupported audio format: " + std::to_string(info.m_wBitsPerSample) +
           " bits per sample (8 or 16 supported)";
  }
  if (!IsSupportedRate(info.m_dwSamplesPerSec)) {
    return "unsupported audio format: " + std::to_string(info.m_dwSamplesPerSec) + " Hz";
  }
  return {};
}

void ConvertForMelody(const std::string& in, const std::string& out, bool right, const CWorkFolder& work) {
  WaveInfo info;
  GetWaveInfo(in, info);
  const int choice = right ? kChannelRight : kChannelLeft;
  const std::string opened = work.File("MelodyOpenTemp.wav").string();
  TransWaveFormat(choice, info.m_wChannels == 2 ? TRANS_MONAURAL : 0, in, opened, 0);
  const std::uint32_t flags = (info.m_wBitsPerSample == 8 ? TRANS_8TO16 : 0) | TRANS_RESAMPLE;
  if (TransWaveFormat(choice, flags, opened, out, info.m_dwSamplesPerSec) != 0) {
    throw CMelodyException(CMelodyException::kUnsupportedFormat, "TransWaveFormat rate");
  }
}

int Fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "orvane-cli: %s: %s\n", file.c_str(), reason.c_str());
  return kCliFailed;
}

int FailWith(const CMelodyException& e, const std::string& input, const std::string& output) {
  if (e.Where().rfind("CWaveFile::OpenW", 0) == 0) {
    return Fail(output, "cannot be created");
  }
  return Fail(input, Reason(e));
}

}  // namespace MelodyCli

namespace MelodyCli {

bool ParseChannelAndFiles(const std::vector<std::string>& args, std::vector<std::string>& files, bool& right) {
  right = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--right") {
      right = true;
    } else if (args[i] == "--left") {
      right = false;
    } else if (!args[i].empty() && args[i][0] == '-') {
      return false;
    } else {
      files.push_back(args[i]);
    }
  }
  return files.size() == 2;
}

int ProduceOutput(const std::string& input, const std::string& output,
                  const std::function<void(const std::string& temporary)>& produce) {
  CPendingOutput pending(output);
  try {
    produce(pending.Path());
  } catch (const CMelodyException& e) {
    return FailWith(e, input, output);
  }
  if (!pending.Commit()) {
    return Fail(output, "cannot be written");
  }
  return 0;
}

}  // namespace MelodyCli
