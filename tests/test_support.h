// Shared helpers of the unit tests: scratch files, the program-wide state
// reset, and running the real binary.
#pragma once

#include <string>
#include <vector>

#include "calendar/calendar_date.h"
#include "data/records.h"
#include "tests/scratch_dir.h"


// Puts the program-wide ViewerState and step_days back to their values at
// program start.
void reset_program_state();

CalendarDate make_date(int year, int month, int day);
QuakeRecord make_quake(int year, int month, int day, float latitude, float longitude, float magnitude);

struct RunResult {
    int exit_status = -1;  // the process's exit status, or -1 if it did not exit normally
    std::string output;    // what it wrote to standard output
};

// Runs `program` with `args` (without the program name), standard error
// discarded, and waits for it.
RunResult run_program(const std::string& program, const std::vector<std::string>& args);
