#include "MelodyCliSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "CliRegistry.h"
#include "SignalCancel.h"
#include "melody/FormatConversion.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"
#include "platform/AtomicFile.h"
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

std::string CheckInputFile(const std::string& file) {
  if (file == "-") {
    return "standard input cannot be read (give a file name)";
  }
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    return std::strerror(errno);
  }
  if (!S_ISREG(st.st_mode)) {
    return "is not a regular file (FIFOs, devices and folders cannot be read)";
  }
  return {};
}

std::string CheckConvertible(const std::string& file, bool notes) {
  WaveInfo info;
  GetWaveInfo(file, info);
  std::string problem = ConversionProblem(info);
  if (!problem.empty() || !notes) {
    return problem;
  }
  if (info.m_bDataSizeClamped) {
    std::fprintf(stderr,
                 "orvane-cli: warning: %s: the data size (%u bytes) does not match the file; using the %u whole "
                 "frames present\n",
                 file.c_str(), info.m_dwStatedDataSize, info.m_dwFrames);
  }
  if (NeedsNarrowing(info)) {
    std::fprintf(stderr, "orvane-cli: note: %s: %u-bit %s samples narrowed to 16 bits\n", file.c_str(),
                 info.m_wBitsPerSample, info.m_wSampleFormat == CWaveFile::kTagFloat ? "floating-point" : "integer");
  }
  return {};
}

void ConvertForMelody(const std::string& in, const std::string& out, bool right, const CWorkFolder& work) {
  WaveInfo info;
  GetWaveInfo(in, info);
  const int choice = right ? kChannelRight : kChannelLeft;
  const std::string opened = work.File("MelodyOpenTemp.wav").string();
  const std::uint32_t first = (NeedsNarrowing(info) ? TRANS_NARROW : 0) | (info.m_wChannels == 2 ? TRANS_MONAURAL : 0);
  TransWaveFormat(choice, first, in, opened, 0);
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
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return false;
    } else {
      files.push_back(args[i]);
    }
  }
  return files.size() == 2;
}

namespace {

// Copies a finished working file to standard output.
bool CopyToStandardOutput(const std::string& file) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) {
    return false;
  }
  // A reader that goes away must give a failure report, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  for (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in); n > 0 && ok;
       n = std::fread(buffer.data(), 1, buffer.size(), in)) {
    ok = std::fwrite(buffer.data(), 1, n, stdout) == n;
  }
  ok = ok && !std::ferror(in) && std::fflush(stdout) == 0;
  std::fclose(in);
  return ok;
}

int ProduceToStandardOutput(const std::string& input, const std::function<void(const std::string&)>& produce) {
  CWorkFolder work;
  if (!work.Ok()) {
    return Fail("-", "cannot create a temporary folder");
  }
  const std::string temporary = work.File("output").string();
  try {
    produce(temporary);
  } catch (const CMelodyException& e) {
    return FailWith(e, input, "-");
  }
  if (CSignalCancel::Requested()) {
    return Fail(input, "cancelled");
  }
  return CopyToStandardOutput(temporary) ? kCliOk : Fail("-", "standard output cannot be written");
}

}  // namespace

int ProduceOutput(const std::string& input, const std::string& output,
                  const std::function<void(const std::string& temporary)>& produce) {
  if (output == "-") {
    return ProduceToStandardOutput(input, produce);
  }
  CAtomicFile pending(output);
  if (!pending.IsOpen()) {
    // Writing to a terminal or a pipe by its device name cannot be done atomically.
    const bool special = fs::exists(output) && !fs::is_regular_file(output);
    return Fail(output,
                "cannot be written: " + pending.FailureReason() + (special ? " (give - for standard output)" : ""));
  }
  try {
    produce(pending.TemporaryPath().string());
  } catch (const CMelodyException& e) {
    return FailWith(e, input, output);
  }
  if (CSignalCancel::Requested()) {
    return Fail(input, "cancelled");
  }
  if (!pending.Commit()) {
    return Fail(output, "cannot be written: " + pending.FailureReason());
  }
  return kCliOk;
}

}  // namespace MelodyCli
