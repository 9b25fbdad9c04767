// kelpax-cli ffc: the camera's flat-field data (generate, store, load, files both ways) and the
// line-scan cameras' PRNU coefficient and linearity files.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addFfcCommand(CLI::App& app);

} // namespace kelpax
