// melody_quality REFERENCE.wav TEST.wav [LABEL]: prints SNR, segmental SNR and
// log-spectral distance of TEST against REFERENCE (16-bit mono, same rate).
#include <cstdio>
#include <exception>

#include "QualityMeter.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: melody_quality REFERENCE.wav TEST.wav [LABEL]\n");
    return 2;
  }
  try {
    const auto reference = ReadMonoWave(argv[1]);
    const auto test = ReadMonoWave(argv[2]);
    const QualityFigures q = MeasureQuality(reference, test);
    std::printf("%-28s SNR %6.2f dB  segSNR %6.2f dB  LSD %5.2f dB  (delay %d, %zu frames)\n",
                argc > 3 ? argv[3] : argv[2], q.snrDb, q.segSnrDb, q.lsdDb, q.delay, q.frames);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "melody_quality: %s\n", e.what());
    return 1;
  }
  return 0;
}
