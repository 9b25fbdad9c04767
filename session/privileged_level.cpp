// The privileged command level.
#include "session/privileged_level.h"

#include "link/command_exchange.h"

namespace kelpax {

PrivilegedLevel::PrivilegedLevel(CommandExchange& exchange, uint32_t timeoutMs)
    : exchange_(exchange), timeoutMs_(timeoutMs) {
  opened_ = exchange_.SendCommand(cmd::kPrivilegedOn, {.timeoutMs = timeoutMs_}).accepted();
}

PrivilegedLevel::~PrivilegedLevel() {
  // Closed even when opening seemed to fail: the camera may have taken the command and lost
  // only its answer, and a camera left privileged accepts factory commands from anyone.
  exchange_.SendCommand(cmd::kPrivilegedOff, {.timeoutMs = timeoutMs_});
}

} // namespace kelpax
