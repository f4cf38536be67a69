#include "platform/DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

bool CDebugLog::Enabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("ORVANE_DEBUG");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
  }();
  return enabled;
}

void CDebugLog::Write(const char* format, ...) {
  static std::mutex mutex;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::lock_guard lock(mutex);
  std::fputs("orvane: ", stderr);
  std::fputs(line, stderr);
  if (std::strchr(line, '\n') == nullptr) {
    std::fputc('\n', stderr);
  }
}
