// The `outline` subcommand of sismap-import: region outlines to the viewer's
// landscape file.
#pragma once

#include <CLI/CLI.hpp>

// Registers `outline` on `app`; when it runs, its exit status goes to *status.
void add_outline_command(CLI::App& app, int* status);
