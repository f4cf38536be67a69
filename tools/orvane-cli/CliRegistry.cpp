#include "CliRegistry.h"

#include <algorithm>
#include <cstring>

namespace {

std::vector<const CCliArea*>& Areas() {
  static std::vector<const CCliArea*> areas;
  return areas;
}

}  // namespace

CCliArea::CCliArea(const char* name, const char* summary, Handler handler)
    : m_name(name), m_summary(summary), m_handler(handler) {
  Areas().push_back(this);
}

const CCliArea* CCliArea::Find(const std::string& name) {
  for (const CCliArea* area : Areas()) {
    if (name == area->Name()) {
      return area;
    }
  }
  return nullptr;
}

std::vector<const CCliArea*> CCliArea::All() {
  std::vector<const CCliArea*> all = Areas();
  std::sort(all.begin(), all.end(),
            [](const CCliArea* a, const CCliArea* b) { return std::strcmp(a->Name(), b->Name()) < 0; });
  return all;
}
