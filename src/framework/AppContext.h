#pragma once

#include "platform/WindowMessage.h"

#include <cstdint>
#include <functional>
#include <string>

class CAppStatus;
class CDeviceLink;
class CLanguageStrings;
class CMessage;
class CSettingsStore;
class IFileDialogs;
class QWidget;

// The services a window reaches. The application object fills one at start-up and makes
// it current (SetCurrent); tests fill their own with the emulator loaded. A CTemplate uses
// the context given to its constructor, or CAppContext::Current() when none was given.
// Every pointer may be null and every call may be empty: a window then does without that
// service (no link: nothing is sent; no presenter: no box is shown).
class CAppContext {
 public:
  CSettingsStore* settings = nullptr;
  CLanguageStrings* strings = nullptr;
  CAppStatus* status = nullptr;
  CDeviceLink* link = nullptr;
  CMessage* message = nullptr;
  // File dialogs for BrowseForOpen / BrowseForSave; null means the desktop's own dialogs.
  IFileDialogs* fileDialogs = nullptr;

  // The resident window: its handle (receives WM_APP+0x73), its widget (owner of the
  // windows that have no other), the setter of its modal flag, and whether it is suspended.
  std::function<WindowHandle()> residentHandle;
  std::function<QWidget*()> residentWidget;
  std::function<void(bool)> setResidentModal;
  std::function<bool()> isSuspended;
  // The language the resident window shows (0 English, 1 French, 2 Spanish, 3 Portuguese).
  std::function<std::int32_t()> languageIndex;
  // Opens the help pages of a topic in a language, owned by a window; when empty, windows
  // open them with a CHelpLauncher over the program data folder.
  std::function<void(std::int32_t topic, std::int32_t language, QWidget* owner)> showHelp;

  // The text of a string id in the current language; empty when there is none.
  std::string GetString(std::int32_t id) const;
  WindowHandle ResidentHandle() const { return residentHandle ? residentHandle() : 0; }
  QWidget* ResidentWidget() const { return residentWidget ? residentWidget() : nullptr; }
  void SetResidentModal(bool modal) const;
  bool IsSuspended() const { return isSuspended && isSuspended(); }
  std::int32_t LanguageIndex() const { return languageIndex ? languageIndex() : 0; }
  bool IsConnected() const;

  // The context windows use when they were given none (may be null).
  static CAppContext* Current();
  static void SetCurrent(CAppContext* context);
};
