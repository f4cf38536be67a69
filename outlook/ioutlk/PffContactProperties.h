#pragma once

#include "ioutlk/ContactFields.h"

#include <libpff.h>

// The string properties of a libpff message item, for the contact line layout.
class CPffContactProperties : public IContactProperties {
 public:
  explicit CPffContactProperties(libpff_item_t* item) : m_item(item) {}

  Read Text(std::uint32_t tag, std::string& text) const override;

 private:
  libpff_item_t* m_item;
};
