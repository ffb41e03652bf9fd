// Helpers of the sismap-stats tests: catalogues in the viewer's layout and
// runs of the real binary.
#pragma once

#include <string>
#include <vector>

#include "tests/scratch_dir.h"

// One event of a test catalogue; its date is on the viewer's 365-day
// calendar and its magnitude written with one decimal.
struct TestEvent {
    int year = 2000;
    int month = 1;
    int day = 1;
    int seconds_of_day = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double magnitude = 0.0;
};

// The viewer's header and one line per event; with `repeat_last`, the last
// line twice, as sismap-import writes it.
std::string catalogue_text(const std::vector<TestEvent>& events, bool repeat_last);

struct StatsRun {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs sismap-stats with `args`, its standard output and error caught in
// files of `scratch`.
StatsRun run_stats(const ScratchDir& scratch, const std::vector<std::string>& args);

// The value of `key` in the one-line JSON object `json`: a number, or the
// text of a string without its quotes. Empty when the key is missing.
std::string json_value(const std::string& json, const std::string& key);
double json_number(const std::string& json, const std::string& key);
