#include "app/UtilityWindowFactory.h"

#include <map>
#include <mutex>

namespace {

std::mutex& FactoryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::uint32_t, CUtilityWindowFactory::Maker>& Makers() {
  static std::map<std::uint32_t, CUtilityWindowFactory::Maker> makers;
  return makers;
}

}  // namespace

void CUtilityWindowFactory::Register(std::uint32_t applicationIndex, Maker maker) {
  std::lock_guard lock(FactoryMutex());
  if (maker) {
    Makers()[applicationIndex] = std::move(maker);
  } else {
    Makers().erase(applicationIndex);
  }
}

bool CUtilityWindowFactory::IsRegistered(std::uint32_t applicationIndex) {
  std::lock_guard lock(FactoryMutex());
  return Makers().count(applicationIndex) != 0;
}

CTemplate* CUtilityWindowFactory::Create(std::uint32_t applicationIndex, QWidget* parent, CAppContext* context) {
  Maker maker;
  {
    std::lock_guard lock(FactoryMutex());
    const auto it = Makers().find(applicationIndex);
    if (it == Makers().end()) {
      return nullptr;
    }
    maker = it->second;
  }
  return maker(parent, context);
}
