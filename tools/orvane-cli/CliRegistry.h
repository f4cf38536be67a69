#pragma once

#include <string>
#include <vector>

// The command areas of orvane-cli ("device", "wave", "melody", "phonebook", "picture").
// Each area registers itself from its own source file with a static CCliArea object.
// Exit status convention: 0 success, 1 the operation failed (one line on standard error
// naming the file or request and the reason), 2 usage error.
class CCliArea {
 public:
  using Handler = int (*)(const std::vector<std::string>& args);

  CCliArea(const char* name, const char* summary, Handler handler);

  static const CCliArea* Find(const std::string& name);
  static std::vector<const CCliArea*> All();

  const char* Name() const { return m_name; }
  const char* Summary() const { return m_summary; }
  // args are the words after the area name (the verb first).
  int Run(const std::vector<std::string>& args) const { return m_handler(args); }

 private:
  const char* m_name;
  const char* m_summary;
  Handler m_handler;
};

inline constexpr int kCliOk = 0;
inline constexpr int kCliFailed = 1;
inline constexpr int kCliUsage = 2;
