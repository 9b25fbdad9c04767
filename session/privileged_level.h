// The camera's privileged command level, held for a scope.
#pragma once

#include <cstdint>

#include "camera/tables/command_vocabulary.h"

namespace kelpax {

class CommandExchange;

// Holds the camera's privileged command level for its lifetime: opened with "aar qelmarst"
// on construction, always closed with "aar off" on destruction, whatever happened between.
class PrivilegedLevel {
public:
  PrivilegedLevel(CommandExchange& exchange, uint32_t timeoutMs = 3000);
  ~PrivilegedLevel();
  PrivilegedLevel(const PrivilegedLevel&) = delete;
  PrivilegedLevel& operator=(const PrivilegedLevel&) = delete;

  // Whether the camera accepted the opening command.
  bool opened() const { return opened_; }

private:
  CommandExchange& exchange_;
  uint32_t timeoutMs_;
  bool opened_ = false;
};

} // namespace kelpax
