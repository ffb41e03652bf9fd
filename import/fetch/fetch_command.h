// The `fetch` subcommand of sismap-import.
#pragma once

#include <CLI/CLI.hpp>

// Registers `fetch` on `app`; when it runs, its exit status goes to *status
// (0 done, 1 a failed fetch or I/O failure).
void add_fetch_command(CLI::App& app, int* status);
