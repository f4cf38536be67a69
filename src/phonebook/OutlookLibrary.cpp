#include "phonebook/OutlookLibrary.h"

#include "platform/DebugLog.h"
#include "platform/Paths.h"

#include <dlfcn.h>

namespace {

template <typename Fn>
bool Resolve(void* handle, Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(::dlsym(handle, name));
  return slot != nullptr;
}

}  // namespace

COutlookLibrary::~COutlookLibrary() {
  Unload();
}

std::filesystem::path COutlookLibrary::DefaultPath() {
  return CPaths::LibraryDir() / kFileName;
}

bool COutlookLibrary::Load(const std::filesystem::path& path) {
  Unload();
  m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    const char* error = ::dlerror();
    ORVANE_TRACE("COutlookLibrary::Load - %s\n", error != nullptr ? error : "cannot be loaded");
    return false;
  }
  if (!Resolve(m_handle, m_transfer, "appToIdbTran") || !Resolve(m_handle, m_setSource, "ioutlkSetSourceFile") ||
      !Resolve(m_handle, m_setPassword, "ioutlkSetPassword") ||
      !Resolve(m_handle, m_isProtected, "ioutlkIsPasswordProtected") || !Resolve(m_handle, m_cancel, "ioutlkCancel") ||
      !Resolve(m_handle, m_counts, "ioutlkGetLastCounts")) {
    ORVANE_TRACE("COutlookLibrary::Load - an entry point is missing\n");
    Unload();
    return false;
  }
  return true;
}

void COutlookLibrary::Unload() {
  if (m_handle != nullptr) {
    ::dlclose(m_handle);
  }
  m_handle = nullptr;
  m_transfer = nullptr;
  m_setSource = nullptr;
  m_setPassword = nullptr;
  m_isProtected = nullptr;
  m_cancel = nullptr;
  m_counts = nullptr;
}

void COutlookLibrary::SetSourceFile(const std::string& path) const {
  if (Loaded()) {
    m_setSource(path.empty() ? nullptr : path.c_str());
  }
}

void COutlookLibrary::SetPassword(const std::string& password) const {
  if (Loaded()) {
    m_setPassword(password.c_str());
  }
}

int COutlookLibrary::IsPasswordProtected() const {
  return Loaded() ? m_isProtected() : -1;
}

void COutlookLibrary::Cancel() const {
  if (Loaded()) {
    m_cancel();
  }
}

std::uint16_t COutlookLibrary::Transfer(std::int32_t mode, const std::string& folder, const std::string& output) const {
  return Loaded() ? m_transfer(mode, folder.c_str(), output.c_str()) : kNotLoaded;
}

void COutlookLibrary::LastCounts(std::uint32_t& written, std::uint32_t& skipped) const {
  written = 0;
  skipped = 0;
  if (Loaded()) {
    m_counts(&written, &skipped);
  }
}
