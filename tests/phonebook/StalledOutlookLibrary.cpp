// A stand-in for the contacts export library whose export starts writing its contact file
// and then stalls until it is cancelled, so that a test can interrupt an import at a known
// point: with the private folder and a partly written file on disk.
#include "IOutlk.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace {
std::atomic<bool> g_cancelled{false};
constexpr auto kPoll = std::chrono::milliseconds(5);
constexpr int kMaxPolls = 4000;  // 20 s: a test that never cancels still ends
}  // namespace

extern "C" {

IOUTLK_EXPORT uint16_t appToIdbTran(int32_t /*mode*/, const char* /*folder*/, const char* outputPath) {
  if (outputPath == nullptr) {
    return IOUTLK_BAD_ARGUMENT;
  }
  std::ofstream(std::string(outputPath) + ".part", std::ios::binary) << "\"partly written\"";
  for (int i = 0; i < kMaxPolls && !g_cancelled.load(); ++i) {
    std::this_thread::sleep_for(kPoll);
  }
  return g_cancelled.load() ? IOUTLK_CANCELLED : IOUTLK_NOT_OPENED;
}

IOUTLK_EXPORT int32_t ioutlkSetSourceFile(const char* /*path*/) {
  g_cancelled = false;
  return IOUTLK_OK;
}

IOUTLK_EXPORT int32_t ioutlkSetPassword(const char* /*password*/) {
  return IOUTLK_OK;
}

IOUTLK_EXPORT int32_t ioutlkIsPasswordProtected(void) {
  return 0;
}

IOUTLK_EXPORT void ioutlkCancel(void) {
  g_cancelled = true;
}

IOUTLK_EXPORT void ioutlkGetLastCounts(uint32_t* written, uint32_t* skipped) {
  if (written != nullptr) {
    *written = 0;
  }
  if (skipped != nullptr) {
    *skipped = 0;
  }
}
}
