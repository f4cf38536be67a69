#pragma once

#include <cstdint>
#include <string>

class QWidget;

// The open and save dialogs a window shows to choose a file, and the folder chooser. The desktop implementation is
// CQtFileDialogs; tests install their own to answer without any dialog on screen.
class IFileDialogs {
 public:
  struct Request {
    QWidget* owner = nullptr;
    std::string folder;            // where the dialog opens
    std::string fileName;          // proposed name (save dialogs)
    std::string defaultExtension;  // without the dot, appended to a typed name without one
    std::string filter;            // "Phonebook (*.phb);;All files (*)"
    std::string selectedFilter;    // the filter chosen last time, when any
    std::uint32_t flags = 0;       // OFN_* style flags, already with hide-read-only and overwrite prompt
  };
  struct Answer {
    bool accepted = false;
    std::string path;
    std::string selectedFilter;
  };

  virtual ~IFileDialogs() = default;
  virtual Answer GetOpenFileName(const Request& request) = 0;
  virtual Answer GetSaveFileName(const Request& request) = 0;
  // Chooses an existing folder, opening at request.folder; the answer's path is the folder.
  virtual Answer GetFolderName(const Request& request) = 0;
};
