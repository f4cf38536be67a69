#pragma once

#include "framework/Template.h"

// Asks another window through its window hooks: whether it may close, and to show the
// version information. The hooks are protected members of every CTemplate; the resident
// window and the launcher ask other windows through this class, which derives from
// CTemplate only to reach them and is never instantiated.
class CWindowQuery : public CTemplate {
 public:
  CWindowQuery() = delete;

  static bool AskQueryClose(CTemplate* window) { return (window->*(&CWindowQuery::QueryClose))(); }
  static void AskShowAbout(CTemplate* window) { (window->*(&CWindowQuery::ShowAbout))(); }
};
