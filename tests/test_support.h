// Shared helpers of the unit tests: scratch files, the program-wide state
// reset, and running the real binary.
#pragma once

#include <string>
#include <vector>

#include "calendar/calendar_date.h"
#include "data/records.h"

// A fresh directory under the system's temporary folder, removed with its
// content when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes `content` to a file named `name` in the directory; returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

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
