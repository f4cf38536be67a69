#pragma once

#include <filesystem>

// The folders the program reads from and writes to.
class CPaths {
 public:
  // The running executable, resolved through /proc/self/exe.
  static std::filesystem::path ExecutablePath();
  // Read-only program data (language files, help pages, pictures): the executable's folder
  // in a build tree, <prefix>/share/orvane-usb-utility when installed in <prefix>/bin.
  // ORVANE_DATA_DIR overrides it.
  static std::filesystem::path ProgramDataDir();
  // Where the program keeps run-time libraries: ORVANE_LIBRARY_DIR, the executable's folder
  // in a build tree, the private library folder of the installation
  // (<prefix>/lib/<multiarch>/orvane-usb-utility on Debian) when installed.
  static std::filesystem::path LibraryDir();
  // The same two folders for an executable in exeDir, without the environment overrides.
  // The installed folders are taken when they exist, so an installation moved to another
  // prefix keeps working.
  static std::filesystem::path ProgramDataDirFor(const std::filesystem::path& exeDir);
  static std::filesystem::path LibraryDirFor(const std::filesystem::path& exeDir);
  // Per-user data written by the program: $XDG_DATA_HOME/orvane-usb-utility
  // (~/.local/share/orvane-usb-utility), created on demand.
  static std::filesystem::path UserDataDir();
  // Per-user configuration folder: $XDG_CONFIG_HOME or ~/.config.
  static std::filesystem::path ConfigHome();
  // Temporary files: $TMPDIR or /tmp.
  static std::filesystem::path TempDir();
  // The folder of the user's instance locks, chosen by user id alone so that every start
  // of one user meets the same lock whatever its environment says: /run/user/<uid> when it
  // is the user's own private folder, else ~/.cache/orvane-usb-utility of the user's
  // account (created 0700). Empty when neither is a private folder of this user.
  static std::filesystem::path InstanceLockDir();
  // A folder that is a real directory (not a link), owned by uid and closed to others.
  static bool IsPrivateFolder(const std::filesystem::path& dir, unsigned uid);
};
