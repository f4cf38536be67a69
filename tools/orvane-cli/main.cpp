// orvane-cli: the command-line front end over the plain C++ cores.
#include "CliRegistry.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "Usage: orvane-cli AREA VERB [options] ARGS\n\nAreas:\n");
  for (const CCliArea* area : CCliArea::All()) {
    std::fprintf(out, "  %-10s %s\n", area->Name(), area->Summary());
  }
  std::fprintf(out, "\n'orvane-cli AREA --help' lists the verbs of an area.\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty()) {
    PrintUsage(stderr);
    return kCliUsage;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    PrintUsage(stdout);
    return kCliOk;
  }
  const CCliArea* area = CCliArea::Find(words[0]);
  if (area == nullptr) {
    std::fprintf(stderr, "orvane-cli: unknown area '%s'\n", words[0].c_str());
    PrintUsage(stderr);
    return kCliUsage;
  }
  return area->Run(std::vector<std::string>(words.begin() + 1, words.end()));
}
