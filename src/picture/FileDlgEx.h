#pragma once

#include "framework/FileDialogs.h"

#include <optional>
#include <string>
#include <vector>

// The save dialog of the picture window: a save dialog that keeps the file name's extension
// in step with the chosen filter. The extensions of a filter come from its pattern (parts
// separated by semicolons or blanks, each from its dot on; parts with a wildcard after the
// dot are skipped); the first one is the default. A name with one of them is left alone, a
// name with another extension gets the default instead, a name without a dot gets it
// appended. The dialog opens with the name adjusted; a name the user accepts that still
// needed adjusting is refused once and shown adjusted, so a second press confirms it.
class CFileDlgEx {
 public:
  struct Filter {
    std::string description;
    std::string pattern;
  };
  struct Result {
    std::string path;
    int filterIndex = 0;
  };

  // Splits a filter text "description|pattern|description|pattern||" into its filters.
  static std::vector<Filter> ParseFilter(const std::string& text);
  // The dialog's form of a filter: "Bitmap Files (*.bmp)", "JPEG Files (*.jpg *.jpeg)".
  static std::string DialogFilter(const Filter& filter);
  static std::string DialogFilterList(const std::vector<Filter>& filters);
  // The extensions of a pattern as written (".jpg", ".jpeg"), the default first.
  static std::vector<std::string> Extensions(const std::string& pattern);
  // The file name (or path) with its extension put in step with the pattern.
  static std::string AdjustName(const std::string& name, const std::string& pattern);

  // Asks for a file to save. request holds owner, folder, proposed name and flags; the
  // filters and the chosen one are given here. Nothing when the user cancels.
  static std::optional<Result> Run(IFileDialogs& dialogs, IFileDialogs::Request request,
                                   const std::vector<Filter>& filters, int filterIndex);

 private:
  static int FilterIndexOf(const std::vector<Filter>& filters, const std::string& dialogFilter, int fallback);
};
