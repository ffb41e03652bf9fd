// Test catalogues and runs of the binary.
#include "tests/stats/stats_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

extern char** environ;

std::string catalogue_text(const std::vector<TestEvent>& events, bool repeat_last) {
    std::string text = "year,month,day,time,latitude,longitude,magnitude\n";
    std::string line;
    for (const TestEvent& e : events) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "%04d,%02d,%02d,%02d%02d%02d.00,%.4f,%.4f,%.1f\n", e.year, e.month,
                      e.day, e.seconds_of_day / 3600, e.seconds_of_day / 60 % 60, e.seconds_of_day % 60, e.latitude,
                      e.longitude, e.magnitude);
        line = buffer;
        text += line;
    }
    if (repeat_last) text += line;
    return text;
}

StatsRun run_stats(const ScratchDir& scratch, const std::vector<std::string>& args) {
    const std::string out_path = scratch.path("stdout.txt");
    const std::string err_path = scratch.path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(SISMAP_STATS_BINARY));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    StatsRun run;
    if (posix_spawn(&pid, SISMAP_STATS_BINARY, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    return run;
}

std::string json_value(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\": ";
    const size_t at = json.find(marker);
    if (at == std::string::npos) return std::string();
    const size_t start = at + marker.size();
    if (json[start] == '"') return json.substr(start + 1, json.find('"', start + 1) - start - 1);
    return json.substr(start, json.find_first_of(",}", start) - start);
}

double json_number(const std::string& json, const std::string& key) {
    const std::string value = json_value(json, key);
    return value.empty() ? std::nan("") : std::strtod(value.c_str(), nullptr);
}
