#pragma once

// Diagnostic trace lines naming class, method and step ("CTemplate::SetExtcuting Start").
// Silent unless the environment variable ORVANE_DEBUG is set to a non-empty value other
// than "0"; then each line goes to standard error. Safe from any thread.
class CDebugLog {
 public:
  static bool Enabled();
  static void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

#define ORVANE_TRACE(...)            \
  do {                               \
    if (CDebugLog::Enabled()) {      \
      CDebugLog::Write(__VA_ARGS__); \
    }                                \
  } while (0)
