// kelpax-cli verbs for the main window's camera operations: setting spaces, the start-up space,
// high speed, acquisition, temperature and camera information.
#pragma once

#include <vector>

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

std::vector<CliCommand> addCameraCommands(CLI::App& app);

} // namespace kelpax
