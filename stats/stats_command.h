// The command line of sismap-stats and the run it asks for.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

// Adds the options and arguments to `app`; once they parse, its callback
// runs the statistics and leaves the exit status in *status: 0 done, 1 an
// input could not be read or used, or the figure not written. A bad command
// line throws CLI11's errors, for status 2.
void add_stats_command(CLI::App& app, int* status);

// Checks of the options every sismap-stats command shares, as CLI11
// validators: an empty string for a good value, otherwise what is wrong.
std::string check_mc(const std::string& text);          // --mc
std::string check_bin_width(const std::string& text);   // --bin
std::string check_figure(const std::string& path);      // a .png, .svg or .pdf name
