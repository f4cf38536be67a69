#include "devlink/DriverLibrary.h"

#include "platform/DebugLog.h"
#include "platform/Paths.h"

#include <dlfcn.h>

#include <cstdlib>

CDriverLibrary::~CDriverLibrary() {
  Unload();
}

std::filesystem::path CDriverLibrary::Resolve(const std::string& configuredName) {
  std::string name = configuredName.empty() ? kDefaultFileName : configuredName;
  if (const char* overrideName = std::getenv(kEnvironmentOverride); overrideName != nullptr && *overrideName != '\0') {
    name = overrideName;
  }
  const std::filesystem::path path(name);
  if (path.has_parent_path()) {
    return path;
  }
  return CPaths::LibraryDir() / path;
}

bool CDriverLibrary::Load(const std::filesystem::path& path) {
  std::lock_guard lock(m_mutex);
  if (m_handle.load() != nullptr) {
    return true;
  }
  m_path = path;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    m_lastError = error != nullptr ? error : "cannot be loaded";
    ORVANE_TRACE("CDeviceLink::LoadLibrary - %s\n", m_lastError.c_str());
    return false;
  }
  m_lastError.clear();
  m_handle.store(handle);
  return true;
}

void CDriverLibrary::Unload() {
  std::lock_guard lock(m_mutex);
  void* handle = m_handle.exchange(nullptr);
  if (handle != nullptr) {
    dlclose(handle);
  }
}

void* CDriverLibrary::Lookup(const char* name) const {
  void* handle = m_handle.load();
  if (handle == nullptr) {
    return nullptr;
  }
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    ORVANE_TRACE("CDeviceLink - export %s missing\n", name);
  }
  return symbol;
}

std::filesystem::path CDriverLibrary::Path() const {
  std::lock_guard lock(m_mutex);
  return m_path;
}

std::string CDriverLibrary::LastError() const {
  std::lock_guard lock(m_mutex);
  return m_lastError;
}
