// Must not compile: the simulator sees the program's tables, not its serial layer.
#include "camera/tables/stem_lists.h"
#include "link/command_exchange.h"
int simProgramProbe() {
  return 0;
}
