// kelpax-cli scan: the port window's scan from a shell.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addScanCommand(CLI::App& app);

} // namespace kelpax
