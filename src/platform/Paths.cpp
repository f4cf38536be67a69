#include "platform/Paths.h"

#include <unistd.h>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

fs::path FromEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? fs::path(value) : fs::path();
}

fs::path HomeDir() {
  fs::path home = FromEnv("HOME");
  return home.empty() ? fs::path("/tmp") : home;
}

// An installed executable lives in <prefix>/bin and finds its files under <prefix>/<sub>.
fs::path InstalledOrBeside(const fs::path& sub) {
  const fs::path exeDir = CPaths::ExecutablePath().parent_path();
  const fs::path installed = exeDir.parent_path() / sub;
  std::error_code ec;
  if (exeDir.filename() == "bin" && fs::is_directory(installed, ec)) {
    return installed;
  }
  return exeDir;
}

}  // namespace

fs::path CPaths::ExecutablePath() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) / "orvane-usb-utility" : exe;
}

fs::path CPaths::ProgramDataDir() {
  fs::path dir = FromEnv("ORVANE_DATA_DIR");
  return dir.empty() ? InstalledOrBeside("share/orvane-usb-utility") : dir;
}

fs::path CPaths::LibraryDir() {
  fs::path dir = FromEnv("ORVANE_LIBRARY_DIR");
  return dir.empty() ? InstalledOrBeside("lib/orvane-usb-utility") : dir;
}

fs::path CPaths::UserDataDir() {
  fs::path base = FromEnv("XDG_DATA_HOME");
  if (base.empty()) {
    base = HomeDir() / ".local" / "share";
  }
  const fs::path dir = base / "orvane-usb-utility";
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir;
}

fs::path CPaths::ConfigHome() {
  fs::path base = FromEnv("XDG_CONFIG_HOME");
  return base.empty() ? HomeDir() / ".config" : base;
}

fs::path CPaths::TempDir() {
  fs::path dir = FromEnv("TMPDIR");
  return dir.empty() ? fs::path("/tmp") : dir;
}

fs::path CPaths::RuntimeDir() {
  fs::path dir = FromEnv("XDG_RUNTIME_DIR");
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) {
    dir = TempDir();
  }
  return dir;
}
