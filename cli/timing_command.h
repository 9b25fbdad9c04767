// kelpax-cli timing: the CCD timing words of a camera and their ".tmd" files.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addTimingCommand(CLI::App& app);

} // namespace kelpax
