// The `catalogue` subcommand of sismap-import.
#pragma once

#include <CLI/CLI.hpp>

// Registers `catalogue` on `app`; when it runs, its exit status goes to
// *status (0 done, 1 bad input or I/O failure).
void add_catalogue_command(CLI::App& app, int* status);
