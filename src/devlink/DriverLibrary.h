#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

// The handset driver library, loaded by file name at run time. Exports are looked up by
// name every time they are needed, so a library that lacks one fails only the operation
// that needs it.
class CDriverLibrary {
 public:
  static constexpr const char* kEnvironmentOverride = "ORVANE_DRIVER_LIBRARY";
  static constexpr const char* kDefaultFileName = "udfp-usb.so";

  CDriverLibrary() = default;
  ~CDriverLibrary();
  CDriverLibrary(const CDriverLibrary&) = delete;
  CDriverLibrary& operator=(const CDriverLibrary&) = delete;

  // The library to load: ORVANE_DRIVER_LIBRARY when set, otherwise the configured name. A
  // bare file name is looked up in the program's library folder; a path is used as given.
  static std::filesystem::path Resolve(const std::string& configuredName);

  // Loads the library unless one is loaded already; true when one is loaded afterwards.
  bool Load(const std::filesystem::path& path);
  bool IsLoaded() const { return m_handle.load() != nullptr; }
  void Unload();

  void* Lookup(const char* name) const;
  template <typename Function>
  Function Export(const char* name) const {
    return reinterpret_cast<Function>(Lookup(name));
  }

  std::filesystem::path Path() const;
  std::string LastError() const;

 private:
  mutable std::mutex m_mutex;
  std::atomic<void*> m_handle{nullptr};
  std::filesystem::path m_path;
  std::string m_lastError;
};
