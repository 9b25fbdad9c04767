// kelpax-cli roi: the region table of a multi-region camera listed, set, switched and reset.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addRoiCommand(CLI::App& app);

} // namespace kelpax
