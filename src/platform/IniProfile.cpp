#include "platform/IniProfile.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

CIniProfile::Parsed CIniProfile::Parse(const std::string& content) {
  Parsed parsed;
  std::istringstream in(content);
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      line.erase(0, 3);
    }
    first = false;
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') {
      continue;
    }
    if (trimmed[0] == '[') {
      const auto close = trimmed.find(']');
      parsed.push_back(
          Section{Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
      continue;
    }
    const auto equals = trimmed.find('=');
    if (equals == std::string::npos || parsed.empty()) {
      continue;
    }
    parsed.back().entries.emplace_back(Trim(trimmed.substr(0, equals)), Unquote(Trim(trimmed.substr(equals + 1))));
  }
  return parsed;
}

const CIniProfile::Parsed* CIniProfile::Load(const std::filesystem::path& file) {
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(file, ec);
  if (ec) {
    return nullptr;
  }
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) {
    return nullptr;
  }
  if (m_cached && m_cachedPath == file && m_cachedTime == time && m_cachedSize == size) {
    return &*m_cached;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return nullptr;
  }
  std::ostringstream content;
  content << in.rdbuf();
  m_cached = Parse(content.str());
  m_cachedPath = file;
  m_cachedTime = time;
  m_cachedSize = size;
  return &*m_cached;
}

CIniProfile::Result CIniProfile::Read(const std::filesystem::path& file, const std::string& section,
                                      const std::string& key, std::size_t bufferChars) {
  std::lock_guard lock(m_mutex);
  const Parsed* parsed = Load(file);
  if (parsed == nullptr || bufferChars == 0) {
    return {{}, 0};
  }
  for (const auto& s : *parsed) {
    if (!EqualNoCase(s.name, section)) {
      continue;
    }
    for (const auto& [k, v] : s.entries) {
      if (EqualNoCase(k, key)) {
        std::string cut = Utf8Prefix(v, bufferChars - 1);
        const std::size_t count = Utf8Length(cut);
        return {std::move(cut), count};
      }
    }
    return {{}, 0};
  }
  return {{}, 0};
}

std::vector<std::string> CIniProfile::Sections(const std::filesystem::path& file) {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> names;
  if (const Parsed* parsed = Load(file)) {
    for (const auto& s : *parsed) {
      names.push_back(s.name);
    }
  }
  return names;
}
