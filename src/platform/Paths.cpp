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

#ifndef ORVANE_INSTALL_BINDIR
#define ORVANE_INSTALL_BINDIR "bin"
#endif
#ifndef ORVANE_INSTALL_DATADIR
#define ORVANE_INSTALL_DATADIR "share/orvane-usb-utility"
#endif
#ifndef ORVANE_INSTALL_LIBDIR
#define ORVANE_INSTALL_LIBDIR "lib/orvane-usb-utility"
#endif

// The installation prefix of an executable installed in <prefix>/<bindir>; empty when the
// executable's folder does not end in the installed binary folder (a build tree).
fs::path InstallPrefix(const fs::path& exeDir) {
  fs::path prefix = exeDir;
  const fs::path binDir(ORVANE_INSTALL_BINDIR);
  std::vector<fs::path> parts(binDir.begin(), binDir.end());
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (prefix.filename() != *part) {
      return {};
    }
    prefix = prefix.parent_path();
  }
  return prefix;
}

// An installed executable finds its files under <prefix>/<sub>; in a build tree, where that
// folder does not exist, they lie beside the executable.
fs::path InstalledOrBeside(const fs::path& exeDir, const fs::path& sub) {
  const fs::path prefix = InstallPrefix(exeDir);
  std::error_code ec;
  if (!prefix.empty() && fs::is_directory(prefix / sub, ec)) {
    return prefix / sub;
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
  return dir.empty() ? ProgramDataDirFor(ExecutablePath().parent_path()) : dir;
}

fs::path CPaths::LibraryDir() {
  fs::path dir = FromEnv("ORVANE_LIBRARY_DIR");
  return dir.empty() ? LibraryDirFor(ExecutablePath().parent_path()) : dir;
}

fs::path CPaths::ProgramDataDirFor(const fs::path& exeDir) {
  return InstalledOrBeside(exeDir, ORVANE_INSTALL_DATADIR);
}

fs::path CPaths::LibraryDirFor(const fs::path& exeDir) {
  return InstalledOrBeside(exeDir, ORVANE_INSTALL_LIBDIR);
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
