#pragma once

#include <cstdint>
#include <functional>

class CAppContext;
class CTemplate;
class QWidget;

// Where the utility windows make themselves known to the launcher: one maker per
// application index (3 phonebook, 4 picture, 5 melody). The launcher offers a utility only
// when its "Boot" setting makes it available and a maker is registered; until then its
// button is shown disabled. The maker builds the utility window with the launcher as parent.
class CUtilityWindowFactory {
 public:
  using Maker = std::function<CTemplate*(QWidget* parent, CAppContext* context)>;

  // Replaces the maker of an index; an empty maker removes it.
  static void Register(std::uint32_t applicationIndex, Maker maker);
  static bool IsRegistered(std::uint32_t applicationIndex);
  // The new window, or null when no maker is registered for the index.
  static CTemplate* Create(std::uint32_t applicationIndex, QWidget* parent, CAppContext* context);
};
