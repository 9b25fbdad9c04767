// kelpax-cli save-settings / load-settings: camera setting files from a shell.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/verbs.h"

namespace kelpax {

CliCommand addSaveSettingsCommand(CLI::App& app);
CliCommand addLoadSettingsCommand(CLI::App& app);

} // namespace kelpax
