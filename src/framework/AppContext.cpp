#include "framework/AppContext.h"

#include "appcore/AppStatus.h"
#include "appcore/LanguageStrings.h"

namespace {

CAppContext* g_current = nullptr;

}  // namespace

std::string CAppContext::GetString(std::int32_t id) const {
  return strings != nullptr ? strings->GetString(id) : std::string();
}

void CAppContext::SetResidentModal(bool modal) const {
  if (setResidentModal) {
    setResidentModal(modal);
  }
}

bool CAppContext::IsConnected() const {
  return status != nullptr && status->IsConnected() != 0;
}

CAppContext* CAppContext::Current() {
  return g_current;
}

void CAppContext::SetCurrent(CAppContext* context) {
  g_current = context;
}
