// Prints the program data folder and the library folder the way an installed program
// finds them, one per line: the paths test copies this program into installed layouts.
#include "platform/Paths.h"

#include <cstdio>

int main() {
  std::printf("%s\n%s\n", CPaths::ProgramDataDir().c_str(), CPaths::LibraryDir().c_str());
  return 0;
}
