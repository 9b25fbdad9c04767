// kelpax-cli genicam: GenICam cameras through the transport layer, as the GenICam window
// opens them: list, xml, features, get, set, save, load.
#pragma once

#include <vector>

#include "cli/verbs.h"

namespace kelpax {

std::vector<CliCommand> addGenICamCommands(CLI::App& app);

} // namespace kelpax
