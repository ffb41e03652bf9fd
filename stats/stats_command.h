// The command line of sismap-stats and the run it asks for.
#pragma once

#include <CLI/CLI.hpp>

// Adds the options and arguments to `app`; once they parse, its callback
// runs the statistics and leaves the exit status in *status: 0 done, 1 an
// input could not be read or used, or the figure not written. A bad command
// line throws CLI11's errors, for status 2.
void add_stats_command(CLI::App& app, int* status);
