#include "platform/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <string>
#include <vector>

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

// The home folder of the account, from the user database rather than $HOME.
fs::path AccountHomeDir(uid_t uid) {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || *found->pw_dir == '\0') {
    return {};
  }
  return fs::path(found->pw_dir);
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

bool CPaths::IsPrivateFolder(const fs::path& dir, unsigned uid) {
  struct stat info {};
  return ::lstat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid && (info.st_mode & 077) == 0;
}

fs::path CPaths::InstanceLockDir() {
  const uid_t uid = ::getuid();
  const fs::path runtime = fs::path("/run/user") / std::to_string(uid);
  if (IsPrivateFolder(runtime, uid)) {
    return runtime;
  }
  const fs::path home = AccountHomeDir(uid);
  if (home.empty()) {
    return {};
  }
  const fs::path cache = home / ".cache";
  const fs::path dir = cache / "orvane-usb-utility";
  ::mkdir(cache.c_str(), 0700);
  ::mkdir(dir.c_str(), 0700);
  return IsPrivateFolder(dir, uid) ? dir : fs::path();
}
