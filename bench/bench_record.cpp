// Recording speed of sismap-record: the real program records generated
// multi-year catalogues to GIF, timed from outside. Reported per catalogue:
// frames, the video's length at 20 fps, wall and CPU time, how many times
// faster than real time, and the cost of one frame with the fixed start-up
// (X server, loading, planning) taken out. Two pairs of catalogues show what
// that cost follows: the same events per window in a catalogue four times
// longer (cost should stay), and four times the events per window in a
// catalogue of the same length (cost should grow). "x CPU" is the video's
// length over the CPU time: what an otherwise idle machine gives at least,
// since the recorder uses one core for drawing and overlaps the encoding.
// Then a two-week aftershock sequence of 20,000 events recorded in real time
// (--window 6h --step 10m) to GIF and to MP4, against the target of 20 times
// real time at 20 fps, and the same sequence off Japan in map mode. With
// --real-time-only, only those last parts run.
//   bench_record PATH_TO_SISMAP_RECORD [repetitions] [--real-time-only]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_catalogue.h"

extern char** environ;

namespace {

constexpr double kFps = 20.0;  // the recorder's default, the viewer's timer
constexpr int kWindowDays = 30;

struct Catalogue {
    const char* name;
    int events;
    int years;
};

struct Timing {
    double wall = 0.0;  // seconds
    double cpu = 0.0;   // user + system of the recorder and what it waited for
    long frames = 0;
};

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// One run of the recorder; its summary line gives the frame count.
Timing run_recorder(const std::string& recorder, const std::vector<std::string>& args, const std::string& log) {
    std::vector<std::string> words = {recorder};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const double start = now();
    pid_t pid = 0;
    if (posix_spawn(&pid, recorder.c_str(), &files, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", recorder.c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Timing t;
    t.wall = now() - start;
    t.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The frame count's line is the last; others (a section's counts) may come first.
    const size_t last_line = text.rfind("sismap-record: ", text.empty() ? 0 : text.size() - 1);
    const char* counted = last_line == std::string::npos ? "" : text.c_str() + last_line;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::sscanf(counted, "sismap-record: %ld frames", &t.frames) != 1) {
        std::fprintf(stderr, "sismap-record failed:\n%s\n", text.c_str());
        std::exit(1);
    }
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The median wall and CPU time of `repetitions` recordings with `args`, and
// their frame count.
Timing median_recording(const std::string& recorder, const std::vector<std::string>& args, const std::string& log,
                        int repetitions) {
    std::vector<double> wall, cpu;
    Timing result;
    for (int i = 0; i < repetitions; ++i) {
        const Timing t = run_recorder(recorder, args, log);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
        result.frames = t.frames;
    }
    result.wall = median(wall);
    result.cpu = median(cpu);
    return result;
}

struct Result {
    Timing whole;  // medians
    Timing fixed;  // first and last frame only
    double per_frame_wall = 0.0;
    double per_frame_cpu = 0.0;
    double window_events = 0.0;
};

Result measure(const std::string& recorder, const Catalogue& c, int repetitions, const std::string& work) {
    const bench::TempFile file("sismap-record-bench", bench::make_catalogue_text(c.events, c.years));
    const std::string gif = work + "/out.gif";
    const std::string log = work + "/log.txt";
    const std::vector<std::string> whole = {bench::outline_file().path(), file.path(), gif};
    std::vector<std::string> fixed = {"--every", "1000000"};
    fixed.insert(fixed.end(), whole.begin(), whole.end());
    std::vector<double> wall, cpu, fixed_wall, fixed_cpu;
    Result r;
    for (int i = 0; i < repetitions; ++i) {
        const Timing t = run_recorder(recorder, whole, log);
        const Timing f = run_recorder(recorder, fixed, log);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
        fixed_wall.push_back(f.wall);
        fixed_cpu.push_back(f.cpu);
        r.whole.frames = t.frames;
        r.fixed.frames = f.frames;
    }
    r.whole.wall = median(wall);
    r.whole.cpu = median(cpu);
    r.fixed.wall = median(fixed_wall);
    r.fixed.cpu = median(fixed_cpu);
    const double drawn = static_cast<double>(std::max<long>(1, r.whole.frames - r.fixed.frames));
    r.per_frame_wall = std::max(0.0, r.whole.wall - r.fixed.wall) / drawn;
    r.per_frame_cpu = std::max(0.0, r.whole.cpu - r.fixed.cpu) / drawn;
    r.window_events = static_cast<double>(c.events) * kWindowDays / (c.years * 365.0);
    std::remove(gif.c_str());
    std::remove(log.c_str());
    return r;
}

// A two-week aftershock sequence: `events` times from 2024-02-20 00:00 UTC
// with an Omori-like rate (most in the first hours), in time order, around
// one point of the outline, with magnitudes many small and few large.
// With `japan`, the events lie off Japan's east coast with the importer's
// eighth column, a depth from 0 to 600 km (some unknown).
std::string aftershock_sequence_text(int events, int days, bool japan = false) {
    std::string text = japan ? "year,month,day,time,latitude,longitude,magnitude,depth\n"
                             : "year,month,day,time,latitude,longitude,magnitude\n";
    const double span = days * 86400.0;
    const double c = 3600.0;  // seconds: the rate's early flattening
    char line[128];
    uint64_t state = 20240220;
    const auto unit = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (int i = 0; i < events; ++i) {
        // Inverse of the cumulative count of a 1/(t + c) rate, taken at
        // evenly spaced quantiles so that the times ascend.
        const double q = (i + 0.5) / events;
        const double t = c * (std::pow((span + c) / c, q) - 1.0);
        const int64_t whole = static_cast<int64_t>(t);
        const int day = static_cast<int>(whole / 86400);  // within February and March 2024
        const int month = day < 10 ? 2 : 3;
        const int day_of_month = day < 10 ? 20 + day : day - 9;
        const int seconds = static_cast<int>(whole % 86400);
        const int hundredths = static_cast<int>((t - static_cast<double>(whole)) * 100);
        const double latitude = (japan ? 37.5 : 36.5) + (unit() - 0.5) * 2.0;
        const double longitude = (japan ? 142.0 : -119.5) + (unit() - 0.5) * 3.0;
        const double magnitude = 1.0 - std::log(1.0 - unit()) * 0.6;
        int length = std::snprintf(line, sizeof line, "2024,%02d,%02d,%02d%02d%02d.%02d,%.4f,%.4f,%.2f", month,
                                   day_of_month, seconds / 3600, seconds / 60 % 60, seconds % 60, hundredths, latitude,
                                   longitude, magnitude);
        if (japan) {
            const double depth = unit() * 660.0;
            length += depth < 600.0 ? std::snprintf(line + length, sizeof line - static_cast<size_t>(length), ",%.2f", depth)
                                    : std::snprintf(line + length, sizeof line - static_cast<size_t>(length), ",");
        }
        line[length++] = '\n';
        text.append(line, static_cast<size_t>(length));
    }
    return text;
}

// The real-time target: the sequence recorded with --window 6h --step 10m.
void measure_real_time(const std::string& recorder, int repetitions, const std::string& work) {
    const bench::TempFile file("sismap-record-bench-sequence", aftershock_sequence_text(20000, 14));
    std::printf("\n%-40s %7s %8s %9s %9s %8s %8s %s\n", "2 weeks, 20,000 events, --window 6h --step 10m", "frames",
                "video", "wall", "CPU", "x real", "x CPU", "target >= 20 x real time");
    for (const char* ending : {"gif", "mp4"}) {
        const std::string output = work + "/sequence." + ending;
        const std::string log = work + "/log.txt";
        const std::vector<std::string> args = {"--window", "6h", "--step", "10m", bench::outline_file().path(),
                                               file.path(), output};
        const Timing t = median_recording(recorder, args, log, repetitions);
        const long frames = t.frames;
        const double video = static_cast<double>(frames) / kFps;
        const double factor = video / t.wall;
        std::printf("%-40s %7ld %7.1fs %8.2fs %8.2fs %7.1fx %7.1fx %s\n", (std::string("  to ") + ending).c_str(),
                    frames, video, t.wall, t.cpu, factor, video / t.cpu,
                    factor >= 20.0 ? "met" : "NOT MET");
        std::fflush(stdout);
        std::remove(output.c_str());
        std::remove(log.c_str());
    }
}

// Map mode on the same sequence off Japan: --size 1280x720 --colour depth
// with the country's full-resolution outline from GMT (about 27,000 points)
// as --coast, against 15 times real time for GIF and 10 for MP4, and 10 for
// MP4 with a depth section across the sequence. Skipped
// when gmt (with its DCW data) is not installed.
void measure_map_mode(const std::string& recorder, int repetitions, const std::string& work) {
    const std::string coast = work + "/japan-coast.txt";
    const std::string make_coast = "gmt coast -EJP -M > " + coast + " 2>/dev/null";
    std::printf("\n%-40s ", "Map mode, Japan by depth, 1280x720");
    if (std::system(make_coast.c_str()) != 0) {
        std::printf("skipped: gmt coast -EJP -M failed (is gmt with gmt-dcw installed?)\n");
        std::remove(coast.c_str());
        return;
    }
    const bench::TempFile file("sismap-record-bench-japan", aftershock_sequence_text(20000, 14, true));
    const bench::TempFile outline("sismap-record-bench-japan-outline",
                                  "lat,lon\n24,122\n46,122\n46,154\n24,154\n");
    std::printf("%7s %8s %9s %9s %8s %8s %s\n", "frames", "video", "wall", "CPU", "x real", "x CPU", "target");
    // The last case adds a depth section across the sequence, as MP4.
    const struct {
        const char* ending;
        bool section;
    } cases[] = {{"gif", false}, {"mp4", false}, {"mp4", true}};
    for (const auto& c : cases) {
        const char* ending = c.ending;
        const std::string output = work + "/japan." + ending;
        const std::string log = work + "/log.txt";
        std::vector<std::string> args = {"--window", "6h", "--step", "10m", "--size", "1280x720",
                                         "--colour", "depth", "--coast", coast};
        if (c.section) args.insert(args.end(), {"--section", "38.5,144,36.5,140"});
        args.insert(args.end(), {outline.path(), file.path(), output});
        const Timing t = median_recording(recorder, args, log, repetitions);
        const long frames = t.frames;
        const double video = static_cast<double>(frames) / kFps;
        const double factor = video / t.wall;
        const double target = std::strcmp(ending, "gif") == 0 ? 15.0 : 10.0;
        std::printf("%-40s %7ld %7.1fs %8.2fs %8.2fs %7.1fx %7.1fx >= %.0fx %s\n",
                    (std::string(c.section ? "  with --section, to " : "  to ") + ending).c_str(), frames, video, t.wall, t.cpu, factor,
                    video / t.cpu, target, factor >= target ? "met" : "NOT MET");
        std::fflush(stdout);
        std::remove(output.c_str());
        std::remove(log.c_str());
    }
    std::remove(coast.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_record PATH_TO_SISMAP_RECORD [repetitions]\n");
        return 2;
    }
    const std::string recorder = argv[1];
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char pattern[] = "/tmp/sismap-record-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string work = pattern;
    if (argc > 3 && std::strcmp(argv[3], "--real-time-only") == 0) {
        measure_real_time(recorder, repetitions, work);
        measure_map_mode(recorder, repetitions, work);
        rmdir(work.c_str());
        return 0;
    }

    const std::vector<Catalogue> catalogues = {
        {"10 years, 20 events a day", 73000, 10},
        {"40 years, 20 events a day", 292000, 40},
        {"10 years, 80 events a day", 292000, 10},
        {"50 years, 1,000,000 events", 1000000, 50},
    };
    std::vector<Result> results;
    std::printf("%-28s %9s %9s %7s %8s %9s %9s %8s %8s %9s %10s\n", "catalogue (GIF, 20 fps)", "events",
                "in window", "frames", "video", "wall", "CPU", "x real", "x CPU", "ms/frame", "CPU ms/fr");
    for (const Catalogue& c : catalogues) {
        const Result r = measure(recorder, c, repetitions, work);
        results.push_back(r);
        const double video = static_cast<double>(r.whole.frames) / kFps;
        std::printf("%-28s %9d %9.0f %7ld %7.1fs %8.2fs %8.2fs %7.1fx %7.1fx %9.2f %10.2f\n", c.name, c.events,
                    r.window_events, r.whole.frames, video, r.whole.wall, r.whole.cpu, video / r.whole.wall,
                    video / r.whole.cpu, r.per_frame_wall * 1e3, r.per_frame_cpu * 1e3);
        std::fflush(stdout);
    }

    std::printf("\n%-62s %-12s %-40s %s\n", "figure", "value", "target", "met");
    for (size_t i = 0; i < catalogues.size(); ++i) {
        const double factor = results[i].whole.frames / kFps / results[i].whole.wall;
        std::printf("%-62s %-12s %-40s %s\n", (std::string("Faster than real time: ") + catalogues[i].name).c_str(),
                    (std::to_string(factor).substr(0, 5) + " x").c_str(), ">= 4 x (aim 20 x)",
                    factor >= 20 ? "yes, aim too" : factor >= 4 ? "yes" : "NO");
    }
    const auto ratio_row = [&](const char* figure, size_t a, size_t b, double low, double high, const char* target) {
        const double r = results[a].per_frame_cpu / results[b].per_frame_cpu;
        std::printf("%-62s %-12s %-40s %s\n", figure, (std::to_string(r).substr(0, 5)).c_str(), target,
                    r >= low && r <= high ? "yes" : "NO");
    };
    ratio_row("CPU per frame, 4x the catalogue, same events per window", 1, 0, 0.75, 1.33,
              "ratio 0.75..1.33: follows the window");
    ratio_row("CPU per frame, 4x the events per window, same years", 2, 0, 1.2, 100.0,
              "ratio >= 1.2: grows with the window");
    // What each event in the window adds, on top of the frame's fixed work
    // (clear, read-back, comparison with the previous frame).
    const double per_event_us = (results[2].per_frame_cpu - results[0].per_frame_cpu) /
                                (results[2].window_events - results[0].window_events) * 1e6;
    const double fixed_ms = (results[0].per_frame_cpu - per_event_us * 1e-6 * results[0].window_events) * 1e3;
    std::printf("%-62s %-12s %-40s %s\n", "CPU per event in the window / per frame without events",
                (std::to_string(per_event_us).substr(0, 5) + " us").c_str(),
                (std::to_string(fixed_ms).substr(0, 4) + " ms a frame").c_str(), "-");
    std::printf("(medians of %d repetition(s); per-frame cost is the whole run less a run of the first and last "
                "frame only)\n",
                repetitions);
    measure_real_time(recorder, repetitions, work);
    measure_map_mode(recorder, repetitions, work);
    rmdir(work.c_str());
    return 0;
}
