// kelpax-cli stage: reset, calibrate, move, read the PZT voltages, run the stage check.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addStageCommand(CLI::App& app);

} // namespace kelpax
