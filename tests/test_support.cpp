// Helpers shared by the unit tests.
#include "tests/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/viewer_state.h"

void reset_program_state() {
    viewer = ViewerState();
    set_step_days(1);
}

CalendarDate make_date(int year, int month, int day) {
    CalendarDate date;
    date.year = year;
    date.month = month;
    date.day = day;
    date.format_text();
    return date;
}

QuakeRecord make_quake(int year, int month, int day, float latitude, float longitude, float magnitude) {
    QuakeRecord record;
    record.date = make_date(year, month, day);
    record.latitude = latitude;
    record.longitude = longitude;
    record.magnitude = magnitude;
    return record;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args) {
    RunResult result;
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_fds[1], 1);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        std::FILE* null_err = std::freopen("/dev/null", "w", stderr);
        (void)null_err;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    char chunk[4096];
    ssize_t got;
    while ((got = read(pipe_fds[0], chunk, sizeof chunk)) > 0) result.output.append(chunk, static_cast<size_t>(got));
    close(pipe_fds[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    return result;
}
