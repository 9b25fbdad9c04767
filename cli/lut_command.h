// kelpax-cli lut: gamma tables written to files, tables sent to and read from the camera's two
// slots, and the choice of the table the camera applies.
#pragma once

#include <vector>

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

std::vector<CliCommand> addLutCommands(CLI::App& app);

} // namespace kelpax
