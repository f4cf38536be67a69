// orvane-cli melody: encode WAVE files to the handset's ".gc" melody data and back.
#include <cstdio>
#include <string>
#include <vector>

#include "CliRegistry.h"
#include "MelodyCliSupport.h"
#include "SignalCancel.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyCodec.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

namespace {

const char kMelodyUsage[] =
    "Usage: orvane-cli melody VERB ARGS\n\n"
    "Verbs:\n"
    "  encode [--right] IN.wav OUT.gc   encode a WAVE file (converted to 16 kHz mono first if needed)\n"
    "  decode IN.gc OUT.wav             decode melody data to a 16 kHz 16-bit mono WAVE file\n"
    "An output of - writes to standard output.\n";

int Usage(std::FILE* out, int status) {
  std::fputs(kMelodyUsage, out);
  return status;
}

bool IsHelp(const std::string& word) {
  return word == "--help" || word == "-h";
}

// Keeps the codec loaded for one command and unloads it however the command ends.
class CCodecSession {
 public:
  CCodecSession() : m_ok(LoadMelodyCodec() == 0) {}
  ~CCodecSession() { FreeMelodyCodec(); }
  bool Ok() const { return m_ok; }

 private:
  bool m_ok;
};

bool IsMelodyFormat(const std::string& file) {
  WaveInfo info;
  GetWaveInfo(file, info);
  return info.m_wSampleFormat == CWaveFile::kTagPcm && info.m_wChannels == 1 && info.m_wBitsPerSample == 16 &&
         info.m_dwSamplesPerSec == kMelodyRate;
}

int Encode(const std::vector<std::string>& args) {
  if (args.size() == 2 && IsHelp(args[1])) {
    std::puts(
        "Usage: orvane-cli melody encode [--right] IN.wav OUT.gc\n"
        "Encodes a WAVE file with the melody codec (36 kbit/s). Files that are not 16000 Hz\n"
        "16-bit mono are converted first (left channel unless --right).");
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
  MelodyCli::CWorkFolder work;
  if (!work.Ok()) {
    return MelodyCli::Fail(files[1], "cannot create a temporary folder");
  }
  std::string source = files[0];
  try {
    const std::string problem = MelodyCli::CheckConvertible(files[0], true);
    if (!problem.empty()) {
      return MelodyCli::Fail(files[0], problem);
    }
    if (!IsMelodyFormat(files[0])) {
      source = work.File("MelodyWaveTemp.wav").string();
      MelodyCli::ConvertForMelody(files[0], source, right, work);
    }
  } catch (const CMelodyException& e) {
    return MelodyCli::Fail(files[0], MelodyCli::Reason(e));
  }
  CCodecSession codec;
  if (!codec.Ok()) {
    return MelodyCli::Fail(MelodyCodecPath(), "the melody codec library could not be loaded");
  }
  return MelodyCli::ProduceOutput(files[0], files[1],
                                  [&](const std::string& temporary) { WaveToMelodyData(source, temporary); });
}

int Decode(const std::vector<std::string>& args) {
  if (args.size() == 2 && IsHelp(args[1])) {
    std::puts(
        "Usage: orvane-cli melody decode IN.gc OUT.wav\n"
        "Decodes melody data into a 16000 Hz 16-bit mono WAVE file.");
    return kCliOk;
  }
  const auto isOption = [](const std::string& word) { return word.size() > 1 && word[0] == '-'; };
  if (args.size() != 3 || isOption(args[1]) || isOption(args[2])) {
    return Usage(stderr, kCliUsage);
  }
  const CSignalCancel interrupt;
  const std::string unreadable = MelodyCli::CheckInputFile(args[1]);
  if (!unreadable.empty()) {
    return MelodyCli::Fail(args[1], unreadable);
  }
  CCodecSession codec;
  if (!codec.Ok()) {
    return MelodyCli::Fail(MelodyCodecPath(), "the melody codec library could not be loaded");
  }
  return MelodyCli::ProduceOutput(args[1], args[2],
                                  [&](const std::string& temporary) { MelodyDataToWave(args[1], temporary); });
}

int MelodyArea(const std::vector<std::string>& args) {
  if (args.empty()) {
    return Usage(stderr, kCliUsage);
  }
  if (IsHelp(args[0])) {
    return Usage(stdout, kCliOk);
  }
  if (args[0] == "encode") {
    return Encode(args);
  }
  if (args[0] == "decode") {
    return Decode(args);
  }
  std::fprintf(stderr, "orvane-cli melody: unknown verb '%s'\n", args[0].c_str());
  return Usage(stderr, kCliUsage);
}

const CCliArea kMelody("melody", "encode and decode handset melody data (.gc)", MelodyArea);

}  // namespace
