#pragma once

#include "framework/FileDialogs.h"

// The toolkit's own file dialogs, shown modally over the request's owner.
class CQtFileDialogs : public IFileDialogs {
 public:
  Answer GetOpenFileName(const Request& request) override;
  Answer GetSaveFileName(const Request& request) override;
  Answer GetFolderName(const Request& request) override;

  // The shared instance windows use when their context names no dialogs.
  static CQtFileDialogs& Instance();

  // The flag that asks the save dialog to confirm before replacing a file.
  static constexpr std::uint32_t kOverwritePrompt = 0x2;

 private:
  static Answer Run(const Request& request, bool save);
};
