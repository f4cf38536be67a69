#pragma once

#include <string>
#include <vector>

// Runs orvane-cli from the build's output folder with the given words as its arguments.
// The words go to the program as they are (no shell), so paths with blanks, quotes or
// dollar signs need no quoting.
class CCliRunner {
 public:
  struct Outcome {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
    // The first line of standard error (the reason line of a failure).
    std::string Reason() const { return err.substr(0, err.find('\n')); }
  };

  static Outcome Run(const std::vector<std::string>& arguments, const std::string& input = {});
  // The same with the arguments written as a command line, for readable tests: words
  // split at blanks, single quotes group a word (no other shell syntax).
  static Outcome RunLine(const std::string& line, const std::string& input = {});
  static std::vector<std::string> SplitWords(const std::string& line);
  static std::string Program();
};
