#include "picture/FileDlgEx.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The position of the extension's dot in the last component of a path, or npos.
std::size_t ExtensionDot(const std::string& name) {
  const std::size_t folderEnd = name.find_last_of("/\\");
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (folderEnd != std::string::npos && dot < folderEnd)) {
    return std::string::npos;
  }
  return dot;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t folderEnd = path.find_last_of("/\\");
  return folderEnd == std::string::npos ? path : path.substr(folderEnd + 1);
}

}  // namespace

std::vector<CFileDlgEx::Filter> CFileDlgEx::ParseFilter(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t bar = text.find('|', start);
    const std::size_t end = bar == std::string::npos ? text.size() : bar;
    parts.push_back(text.substr(start, end - start));
    if (bar == std::string::npos) {
      break;
    }
    start = bar + 1;
  }
  std::vector<Filter> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) {
      break;  // the closing "||"
    }
    filters.push_back({parts[i], parts[i + 1]});
  }
  return filters;
}

std::string CFileDlgEx::DialogFilter(const Filter& filter) {
  std::string description = filter.description;
  if (const std::size_t open = description.rfind(" ("); open != std::string::npos && description.ends_with(')')) {
    description.erase(open);
  }
  std::string patterns = filter.pattern;
  std::replace(patterns.begin(), patterns.end(), ';', ' ');
  return description + " (" + patterns + ")";
}

std::string CFileDlgEx::DialogFilterList(const std::vector<Filter>& filters) {
  std::string list;
  for (const Filter& filter : filters) {
    list += (list.empty() ? "" : ";;") + DialogFilter(filter);
  }
  return list;
}

std::vector<std::string> CFileDlgEx::Extensions(const std::string& pattern) {
  std::vector<std::string> extensions;
  std::size_t start = 0;
  while (start < pattern.size()) {
    const std::size_t end = std::min(pattern.find_first_of("; ", start), pattern.size());
    const std::string part = pattern.substr(start, end - start);
    if (const std::size_t dot = part.find('.'); dot != std::string::npos) {
      const std::string extension = part.substr(dot);
      if (extension.find_first_of("*?") == std::string::npos && extension.size() > 1) {
        extensions.push_back(extension);
      }
    }
    start = end + 1;
  }
  return extensions;
}

std::string CFileDlgEx::AdjustName(const std::string& name, const std::string& pattern) {
  const std::vector<std::string> extensions = Extensions(pattern);
  if (extensions.empty() || FileNameOf(name).empty()) {
    return name;
  }
  const std::size_t dot = ExtensionDot(name);
  if (dot == std::string::npos) {
    return name + extensions.front();
  }
  const std::string extension = Upper(name.substr(dot));
  for (const std::string& allowed : extensions) {
    if (Upper(allowed) == extension) {
      return name;
    }
  }
  return name.substr(0, dot) + extensions.front();
}

int CFileDlgEx::FilterIndexOf(const std::vector<Filter>& filters, const std::string& dialogFilter, int fallback) {
  for (std::size_t i = 0; i < filters.size(); ++i) {
    if (DialogFilter(filters[i]) == dialogFilter) {
      return static_cast<int>(i);
    }
  }
  return fallback;
}

std::optional<CFileDlgEx::Result> CFileDlgEx::Run(IFileDialogs& dialogs, IFileDialogs::Request request,
                                                  const std::vector<Filter>& filters, int filterIndex) {
  if (filters.empty()) {
    return std::nullopt;
  }
  filterIndex = std::clamp(filterIndex, 0, static_cast<int>(filters.size()) - 1);
  request.filter = DialogFilterList(filters);
  request.selectedFilter = DialogFilter(filters[static_cast<std::size_t>(filterIndex)]);
  request.fileName = AdjustName(request.fileName, filters[static_cast<std::size_t>(filterIndex)].pattern);
  for (;;) {
    const IFileDialogs::Answer answer = dialogs.GetSaveFileName(request);
    if (!answer.accepted) {
      return std::nullopt;
    }
    filterIndex = FilterIndexOf(filters, answer.selectedFilter, filterIndex);
    const std::string& pattern = filters[static_cast<std::size_t>(filterIndex)].pattern;
    request.selectedFilter = DialogFilter(filters[static_cast<std::size_t>(filterIndex)]);
    if (FileNameOf(answer.path).empty()) {
      continue;  // an empty name is refused
    }
    const std::string adjusted = AdjustName(answer.path, pattern);
    if (adjusted == answer.path) {
      return Result{answer.path, filterIndex};
    }
    // Refused once with the adjusted name in the box; pressing Save again takes it.
    const std::filesystem::path path(adjusted);
    request.folder = path.parent_path().string();
    request.fileName = path.filename().string();
  }
}
