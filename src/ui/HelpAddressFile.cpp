#include "ui/HelpAddressFile.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsSeparator(text[at])) {
      ++at;
    }
    const std::size_t start = at;
    while (at < text.size() && !IsSeparator(text[at])) {
      ++at;
    }
    if (at > start) {
      tokens.push_back(text.substr(start, at - start));
    }
  }
  return tokens;
}

}  // namespace

std::string CHelpAddressFile::WithoutLineEnds(std::string_view token) {
  std::string result;
  result.reserve(token.size());
  for (const char c : token) {
    if (c != '\r' && c != '\n') {
      result.push_back(c);
    }
  }
  return result;
}

std::optional<int> CHelpAddressFile::TopicNumber(std::string_view token) {
  const std::string digits = WithoutLineEnds(token);
  if (digits.empty() || digits.size() > 9) {
    return std::nullopt;
  }
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

CHelpAddressFile::Result CHelpAddressFile::Find(std::string_view text, int topic, int language) {
  Result result;
  if (language < 0 || language >= kLanguages) {
    return result;
  }
  const std::vector<std::string_view> tokens = Tokens(text);
  constexpr std::size_t kGroup = 1 + kLanguages;
  for (std::size_t group = 0; group + kGroup <= tokens.size(); group += kGroup) {
    if (TopicNumber(tokens[group]) == topic) {
      result.status = Status::kFound;
      result.address = WithoutLineEnds(tokens[group + 1 + std::size_t(language)]);
      return result;
    }
  }
  return result;
}

CHelpAddressFile::Result CHelpAddressFile::FindInFile(const std::filesystem::path& file, int topic, int language) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  std::ifstream in(file, std::ios::binary);
  if (error || size > kMaxFileSize || !in) {
    return Result{Status::kNoFile, {}};
  }
  std::string text;
  text.reserve(std::size_t(size));
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    return Result{Status::kNoFile, {}};
  }
  return Find(text, topic, language);
}

std::filesystem::path CHelpAddressFile::PagePath(const std::filesystem::path& folder, const std::string& address) {
  std::string relative = address;
  for (char& c : relative) {
    if (c == '\\') {
      c = '/';
    }
  }
  // The address is appended to the folder as written, its leading separator included.
  return std::filesystem::path(folder.string() + relative).lexically_normal();
}
