#include "ioutlk/PffContactProperties.h"

#include "ioutlk/PffProperty.h"

namespace {
// No contact property comes near this; a larger size is a damaged item.
constexpr std::size_t kLargestText = 64 * 1024;
}  // namespace

IContactProperties::Read CPffContactProperties::Text(std::uint32_t tag, std::string& text) const {
  switch (ReadPffText(m_item, tag, text, kLargestText)) {
    case PffRead::Found:
      return Read::Found;
    case PffRead::Missing:
      return Read::Missing;
    case PffRead::Unreadable:
      break;
  }
  return Read::Unreadable;
}
