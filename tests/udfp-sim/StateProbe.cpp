// One short program run against the emulator, for the tests of what it keeps between runs:
//   udfp_sim_state_probe count KIND        prints the number of items of a store
//   udfp_sim_state_probe add KIND SIZE     adds an item of SIZE zero bytes, prints its number
//   udfp_sim_state_probe open              prints 1 when the handset can be opened, else 0
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "udfp_sim.h"

int main(int argc, char** argv) {
  int result = -1;
  if (argc == 3 && std::strcmp(argv[1], "count") == 0) {
    result = UdfpSimStoreCount(static_cast<uint32_t>(std::atoi(argv[2])));
  } else if (argc == 4 && std::strcmp(argv[1], "add") == 0) {
    const std::vector<uint8_t> item(static_cast<std::size_t>(std::atoi(argv[3])), 0);
    result =
        UdfpSimStoreAdd(static_cast<uint32_t>(std::atoi(argv[2])), item.data(), static_cast<uint32_t>(item.size()));
  } else if (argc == 2 && std::strcmp(argv[1], "open") == 0) {
    const uint32_t device = UdfpOpen();
    result = device != UDFP_INVALID_HANDLE ? 1 : 0;
    UdfpClose(device);
  } else {
    std::fprintf(stderr, "usage: udfp_sim_state_probe count KIND | add KIND SIZE | open\n");
    return 2;
  }
  UdfpTerminateDLL();
  std::printf("%d\n", result);
  return 0;
}
