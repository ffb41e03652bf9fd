// The commands beyond the summary: decluster, series and map. Each adds its
// options to its own CLI11 app; once they parse, the callback runs it and
// leaves the exit status in *status (0 done, 1 bad input or output); a bad
// command line throws CLI11's errors, for status 2.
#pragma once

#include <CLI/CLI.hpp>

void add_decluster_command(CLI::App& app, int* status);
void add_series_command(CLI::App& app, int* status);
void add_map_command(CLI::App& app, int* status);
