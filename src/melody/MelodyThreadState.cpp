#include "melody/MelodyThreadState.h"

CMelodyThreadState& MelodyThreadState() {
  static CMelodyThreadState state;
  return state;
}
