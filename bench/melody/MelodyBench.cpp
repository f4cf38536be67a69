// melody_bench: speed figures of the melody layer.
//   melody_bench convert IN.wav         the two conversion passes to 16 kHz mono, x real time
//   melody_bench stages                 each resampling table alone on 20 s of noise
//   melody_bench codec IN.wav           codec encode and decode (16 kHz mono input), x real time
// Times are wall-clock and process CPU time; the best of three runs is printed.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "melody/FirTable.h"
#include "melody/FormatConversion.h"
#include "melody/MelodyCodec.h"
#include "melody/MelodyException.h"
#include "melody/PolyphaseFilter.h"
#include "melody/WaveFile.h"
#include "melody/WaveOperations.h"

namespace fs = std::filesystem;

namespace {

struct Timing {
  double wall = 1e300;
  double cpu = 1e300;
};

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

Timing BestOf(int runs, const std::function<void()>& work) {
  Timing best;
  for (int i = 0; i < runs; ++i) {
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = CpuSeconds();
    work();
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, cpu);
  }
  return best;
}

void WriteMono(const std::string& path, std::uint32_t rate, const std::vector<std::int16_t>& samples) {
  CWaveFile file;
  file.OpenW(path);
  file.m_wFormatTag = 1;
  file.m_wChannels = 1;
  file.m_dwSamplesPerSec = rate;
  file.m_dwAvgBytesPerSec = rate * 2;
  file.m_wBlockAlign = 2;
  file.m_wBitsPerSample = 16;
  file.WriteHeader();
  std::uint8_t* table = file.CreateBuffer();
  std::size_t done = 0;
  while (done < samples.size()) {
    const std::size_t n = std::min<std::size_t>(samples.size() - done, CWaveFile::kTableFrames);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(samples.data() + done), n * 2, table);
    file.WriteTable(n * 2);
    done += n;
  }
  file.WriteFileAndDataSize(samples.size() * 2);
}

fs::path WorkDir() {
  fs::path dir = fs::temp_directory_path() / ("melody-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::setenv("TMPDIR", dir.c_str(), 1);
  return dir;
}

int Convert(const std::string& in) {
  WaveInfo info;
  GetWaveInfo(in, info);
  const double seconds = static_cast<double>(info.m_dwFrames) / info.m_dwSamplesPerSec;
  const fs::path dir = WorkDir();
  const std::string opened = (dir / "MelodyOpenTemp.wav").string();
  const std::string out = (dir / "MelodyWaveTemp.wav").string();
  const Timing t = BestOf(3, [&] {
    TransWaveFormat(kChannelLeft, info.m_wChannels == 2 ? TRANS_MONAURAL : 0, in, opened, 0);
    TransWaveFormat(kChannelLeft, (info.m_wBitsPerSample == 8 ? TRANS_8TO16 : 0) | TRANS_RESAMPLE, opened, out,
                    info.m_dwSamplesPerSec);
  });
  std::printf("convert %.1f s of %u Hz %u-bit %u ch: wall %.3f s (%.0fx real time), cpu %.3f s (%.0fx real time)\n",
              seconds, info.m_dwSamplesPerSec, info.m_wBitsPerSample, info.m_wChannels, t.wall, seconds / t.wall, t.cpu,
              seconds / t.cpu);
  fs::remove_all(dir);
  return 0;
}

int Stages() {
  const fs::path dir = WorkDir();
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-8000, 8000);
  for (const FirTable* table : AllFirTables()) {
    // A rate the table is used at (its input), 20 s of it.
    const std::uint32_t rate = 16000 * static_cast<std::uint32_t>(table->M) / static_cast<std::uint32_t>(table->L);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate) * 20);
    for (auto& s : samples) {
      s = static_cast<std::int16_t>(noise(rng));
    }
    const std::string in = (dir / "in.wav").string();
    const std::string out = (dir / "out.wav").string();
    WriteMono(in, rate, samples);
    const Timing t = BestOf(3, [&] { CPolyphaseFilter::ConvertFile(in, out, *table); });
    std::printf("table %2d/%-2d %-6s %3d taps: %7.0fx real time (cpu), %6.1f Msamples/s out\n", table->L, table->M,
                table->direct ? "direct" : "", table->taps, 20.0 / t.cpu,
                20.0 * rate * table->L / table->M / t.cpu / 1e6);
  }
  fs::remove_all(dir);
  return 0;
}

int Codec(const std::string& in) {
  if (LoadMelodyCodec() != 0) {
    std::fprintf(stderr, "melody_bench: %s: the codec library could not be loaded\n", MelodyCodecPath().c_str());
    return 1;
  }
  CWaveFile file;
  file.OpenR(in);
  file.ReadHeader();
  std::uint32_t size = 0;
  file.SeekData(&size);
  std::vector<std::int16_t> samples(size / 2);
  file.Read(samples.data(), samples.size() * 2);
  file.Close();
  const double seconds = samples.size() / 16000.0;
  const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
  std::vector<std::uint8_t> frames((samples.size() / 32 + 1) * 9);
  std::vector<std::int16_t> decoded((frames.size() / 9) * 32);
  std::uint32_t written = 0;
  const Timing enc = BestOf(3, [&] {
    std::uint32_t counter = 0;
    EncodeMelodyBlock(samples.data(), bytes, frames.data(), static_cast<std::uint32_t>(frames.size()), written,
                      counter);
  });
  std::uint32_t decodedBytes = 0;
  const Timing dec = BestOf(3, [&] {
    DecodeMelodyBlock(frames.data(), written, decoded.data(), static_cast<std::uint32_t>(decoded.size() * 2),
                      decodedBytes);
  });
  std::printf("codec encode %.1f s: cpu %.3f s (%.0fx real time), wall %.3f s\n", seconds, enc.cpu, seconds / enc.cpu,
              enc.wall);
  std::printf("codec decode %.1f s: cpu %.3f s (%.0fx real time), wall %.3f s\n", seconds, dec.cpu, seconds / dec.cpu,
              dec.wall);
  FreeMelodyCodec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "convert" && argc == 3) {
      return Convert(argv[2]);
    }
    if (verb == "stages" && argc == 2) {
      return Stages();
    }
    if (verb == "codec" && argc == 3) {
      return Codec(argv[2]);
    }
  } catch (const CMelodyException& e) {
    std::fprintf(stderr, "melody_bench: failed with code %u (%s)\n", e.Code(), e.Where().c_str());
    return 1;
  }
  std::fprintf(stderr, "Usage: melody_bench convert IN.wav | stages | codec IN16K.wav\n");
  return 2;
}
