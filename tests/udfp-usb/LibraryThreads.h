#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// Whether a thread of this process has the given name (from /proc/self/task/*/comm). The
// library names its event thread "udfp-usb-events"; libusb's own hotplug monitor thread is
// "libusb_event".
inline bool HasThreadNamed(const std::string& name) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(entry.path() / "comm");
    std::string threadName;
    if (std::getline(comm, threadName) && threadName == name) {
      return true;
    }
  }
  return false;
}

// Whether any thread of the library or of the libusb it started is still running.
inline bool LibraryThreadsRunning() {
  return HasThreadNamed("udfp-usb-events") || HasThreadNamed("libusb_event");
}
