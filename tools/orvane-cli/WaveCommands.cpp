// orvane-cli wave: describe WAVE files and convert them to the melody format.
#include <cstdio>
#include <string>
#include <vector>

#include "CliRegistry.h"
#include "MelodyCliSupport.h"
#include "SignalCancel.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

namespace {

const char kWaveUsage[] =
    "Usage: orvane-cli wave VERB ARGS\n\n"
    "Verbs:\n"
    "  info FILE                  describe a WAVE file\n"
    "  convert [--right] IN OUT   convert to 16000 Hz 16-bit mono (left channel unless --right;\n"
    "                             OUT - writes to standard output)\n";

int Usage(std::FILE* out, int status) {
  std::fputs(kWaveUsage, out);
  return status;
}

bool IsHelp(const std::string& word) {
  return word == "--help" || word == "-h";
}

const char* SampleFormatName(std::uint16_t format) {
  if (format == CWaveFile::kTagPcm) {
    return "PCM";
  }
  return format == CWaveFile::kTagFloat ? "floating point" : "not PCM";
}

int Info(const std::vector<std::string>& args) {
  if (args.size() == 2 && IsHelp(args[1])) {
    std::puts("Usage: orvane-cli wave info FILE\nPrints the format, length and sizes of a WAVE file.");
    return kCliOk;
  }
  if (args.size() != 2) {
    return Usage(stderr, kCliUsage);
  }
  const std::string unreadable = MelodyCli::CheckInputFile(args[1]);
  if (!unreadable.empty()) {
    return MelodyCli::Fail(args[1], unreadable);
  }
  WaveInfo info;
  try {
    GetWaveInfo(args[1], info);
  } catch (const CMelodyException& e) {
    return MelodyCli::Fail(args[1], MelodyCli::Reason(e));
  }
  const double seconds = info.m_dwSamplesPerSec ? static_cast<double>(info.m_dwFrames) / info.m_dwSamplesPerSec : 0;
  std::printf("file: %s\n", args[1].c_str());
  std::printf("format tag: %u (%s)\n", info.m_wFormatTag, SampleFormatName(info.m_wSampleFormat));
  std::printf("channels: %u\n", info.m_wChannels);
  std::printf("bits per sample: %u\n", info.m_wBitsPerSample);
  std::printf("sample rate: %u Hz\n", info.m_dwSamplesPerSec);
  std::printf("average bytes per second: %u\n", info.m_dwAvgBytesPerSec);
  std::printf("block align: %u\n", info.m_wBlockAlign);
  std::printf("frames: %u\n", info.m_dwFrames);
  std::printf("duration: %.3f s\n", seconds);
  std::printf("RIFF size: %u\n", info.m_dwRiffSize);
  if (info.m_bDataSizeClamped) {
    std::printf("data size: %u stated, cut to the whole frames present\n", info.m_dwStatedDataSize);
  }
  const std::string problem = MelodyCli::CheckConvertible(args[1]);
  std::printf("melody conversion: %s\n", problem.empty() ? "supported" : problem.c_str());
  return kCliOk;
}

int Convert(const std::vector<std::string>& args) {
  if (args.size() == 2 && IsHelp(args[1])) {
    std::puts(
        "Usage: orvane-cli wave convert [--right] IN OUT\n"
        "Takes the left (or right) channel of a stereo file, widens 8-bit samples and resamples\n"
        "to 16000 Hz, writing a 16-bit mono WAVE file.");
    return kCliOk;
  }
  std::vector<std::string> files;
  bool right = false;
  if (!MelodyCli::ParseChannelAndFiles(args, files, right)) {
    return Usage(stderr, kCliUsage);
  }
  const CSignalCancel interrupt;
  const std::string unreadable = MelodyCli::CheckInputFile(files[0]);
  if (!unreadable.empty()) {
    return MelodyCli::Fail(files[0], unreadable);
  }
  try {
    const std::string problem = MelodyCli::CheckConvertible(files[0], true);
    if (!problem.empty()) {
      return MelodyCli::Fail(files[0], problem);
    }
  } catch (const CMelodyException& e) {
    return MelodyCli::Fail(files[0], MelodyCli::Reason(e));
  }
  MelodyCli::CWorkFolder work;
  if (!work.Ok()) {
    return MelodyCli::Fail(files[1], "cannot create a temporary folder");
  }
  return MelodyCli::ProduceOutput(files[0], files[1], [&](const std::string& temporary) {
    MelodyCli::ConvertForMelody(files[0], temporary, right, work);
  });
}

int WaveArea(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Usage(stderr, kCliUsage);
  }
  if (IsHelp(args[0])) {
    return Usage(stdout, kCliOk);
  }
  if (args[0] == "info") {
    return Info(args);
  }
  if (args[0] == "convert") {
    return Convert(args);
  }
  std::fprintf(stderr, "orvane-cli wave: unknown verb '%s'\n", args[0].c_str());
  return Usage(stderr, kCliUsage);
}

const CCliArea kWave("wave", "describe WAVE files and convert them to 16 kHz mono", WaveArea);

}  // namespace
