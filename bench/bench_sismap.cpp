// Load, memory and playback-step benchmarks on a generated catalogue of a
// million events, each printed next to its baseline with the ratio.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "bench/bench_catalogue.h"
#include "bench/bench_report.h"
#include "bench/quiet_stdout.h"
#include "data/data_loader.h"
#include "tool/input_source.h"
#include "timeline/time_window.h"

namespace {

using bench::QuietStdout;

// The straightforward reader the loader is measured against: istream lines
// of at most 99 characters, strtok, atoi and atof, one record per kept line.
std::vector<QuakeRecord> straightforward_load(const char* path) {
    std::vector<QuakeRecord> records;
    std::ifstream in(path);
    char line[100];
    char time_buffer[10] = "         ";
    char pair[3] = "  ";
    in.getline(line, sizeof line);  // header
    for (;;) {
        in.getline(line, sizeof line);
        if (in.bad() || (in.gcount() == 0 && in.eof())) break;
        if (in.fail()) in.clear();  // 99 characters without a line feed
        if (std::strchr(line, ',') == nullptr) continue;
        char* field[7];
        field[0] = std::strtok(line, ",");
        int count = field[0] != nullptr ? 1 : 0;
        while (count > 0 && count < 7 && (field[count] = std::strtok(nullptr, ",")) != nullptr) ++count;
        if (count < 7) continue;
        QuakeRecord record;
        record.date.year = std::atoi(field[0]);
        record.date.month = std::atoi(field[1]);
        record.date.day = std::atoi(field[2]);
        std::strncpy(time_buffer, field[3], 9);
        int32_t* parts[4] = {&record.time.hour, &record.time.minute, &record.time.second, &record.time.hundredths};
        const int offsets[4] = {0, 2, 4, 7};
        for (int i = 0; i < 4; ++i) {
            pair[0] = time_buffer[offsets[i]];
            pair[1] = pair[0] != '\0' ? time_buffer[offsets[i] + 1] : '\0';
            *parts[i] = std::atoi(pair);
        }
        record.latitude = static_cast<float>(std::atof(field[4]));
        record.longitude = static_cast<float>(std::atof(field[5]));
        record.magnitude = static_cast<float>(std::atof(field[6]));
        if (record.magnitude > 0.0f) records.push_back(record);
    }
    return records;
}

void BM_Load_DataLoader(benchmark::State& state) {
    const auto& outline = bench::outline_file();
    const auto& catalogue = bench::catalogue_file();
    QuietStdout quiet;
    int32_t count = 0;
    for (auto _ : state) {
        DataLoader loader;
        loader.load(outline.path(), catalogue.path());
        std::vector<QuakeRecord> records = loader.take_records();
        count = static_cast<int32_t>(records.size());
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["events"] = count;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * catalogue.size()));
}

// The same catalogue with an eighth column, the depth, read as the
// recorder reads it for depth colours and sections: records and depths in
// one pass.
const bench::TempFile& catalogue_with_depths_file() {
    static const bench::TempFile file("sismap-bench-depths", [] {
        const std::string plain = bench::make_catalogue_text(bench::kBenchEvents);
        std::string text;
        text.reserve(plain.size() + plain.size() / 8);
        size_t at = 0;
        for (size_t line = 0; at < plain.size(); ++line) {
            const size_t end = plain.find('\n', at);
            text.append(plain, at, (end == std::string::npos ? plain.size() : end) - at);
            text += line == 0 ? ",depth" : "," + std::to_string(line % 700) + "." + std::to_string(line % 10);
            text += '\n';
            if (end == std::string::npos) break;
            at = end + 1;
        }
        return text;
    }());
    return file;
}

void BM_Load_DataLoaderWithDepths(benchmark::State& state) {
    const auto& outline = bench::outline_file();
    const auto& catalogue = catalogue_with_depths_file();
    QuietStdout quiet;
    int32_t count = 0;
    for (auto _ : state) {
        DataLoader loader;
        std::vector<float> depths;
        loader.set_depths(&depths);
        loader.load(outline.path(), catalogue.path());
        std::vector<QuakeRecord> records = loader.take_records();
        count = static_cast<int32_t>(records.size());
        benchmark::DoNotOptimize(records.data());
        benchmark::DoNotOptimize(depths.data());
    }
    state.counters["events"] = count;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * catalogue.size()));
}

void BM_Load_Straightforward(benchmark::State& state) {
    const auto& catalogue = bench::catalogue_file();
    size_t count = 0;
    for (auto _ : state) {
        std::vector<QuakeRecord> records = straightforward_load(catalogue.path());
        count = records.size();
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["events"] = static_cast<double>(count);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * catalogue.size()));
}

void BM_Load_FileBytesOnly(benchmark::State& state) {
    const auto& catalogue = bench::catalogue_file();
    for (auto _ : state) {
        InputSource file;
        std::string text;
        if (file.open(catalogue.path(), false)) file.read_rest(text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * catalogue.size()));
}

// The same bytes through one reused 1 MiB buffer: reading the file without
// faulting in fresh memory for all of it, which on a virtual machine costs
// far more than the copy itself.
void BM_Load_FileBytesStreamed(benchmark::State& state) {
    const auto& catalogue = bench::catalogue_file();
    std::string piece(size_t{1} << 20, '\0');
    size_t total = 0;
    for (auto _ : state) {
        InputSource file;
        total = 0;
        if (file.open(catalogue.path(), false))
            for (size_t got; (got = file.read(&piece[0], piece.size())) > 0;) total += got;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * catalogue.size()));
}

// Peak resident memory of a child process that loads the catalogue one way,
// in bytes, with the number of events it ended with. The peak mark is reset
// in the child first, so only what it touches from then on counts.
struct PeakMemory {
    long long peak_bytes = -1;
    long long events = 0;
};

long long status_kib(const char* key) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long long value = -1;
    const size_t key_length = std::strlen(key);
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, key, key_length) == 0) value = std::atoll(line + key_length);
    std::fclose(status);
    return value;
}

template <typename Load>
PeakMemory measure_peak(Load load) {
    int channel[2];
    PeakMemory result;
    if (::pipe(channel) != 0) return result;
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const int reset = ::open("/proc/self/clear_refs", O_WRONLY);
        if (reset >= 0) {
            if (::write(reset, "5", 1) != 1) {
            }
            ::close(reset);
        }
        PeakMemory measured;
        measured.events = load();
        measured.peak_bytes = status_kib("VmHWM:") * 1024;
        const ssize_t sent = ::write(channel[1], &measured, sizeof measured);
        ::_exit(sent == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
    }
    ::close(channel[1]);
    if (child > 0) {
        if (::read(channel[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) result = PeakMemory{};
        ::waitpid(child, nullptr, 0);
    }
    ::close(channel[0]);
    return result;
}

void BM_Memory_DataLoader(benchmark::State& state) {
    const auto& outline = bench::outline_file();
    const auto& catalogue = bench::catalogue_file();
    PeakMemory peak;
    for (auto _ : state) {
        peak = measure_peak([&]() -> long long {
            QuietStdout quiet;
            DataLoader loader;
            loader.load(outline.path(), catalogue.path());
            std::vector<QuakeRecord> records = loader.take_records();
            return static_cast<long long>(records.size());
        });
    }
    const double catalogue_bytes = static_cast<double>(peak.events) * sizeof(QuakeRecord);
    state.counters["peak_MB"] = static_cast<double>(peak.peak_bytes) / 1e6;
    state.counters["catalogue_MB"] = catalogue_bytes / 1e6;
    state.counters["bytes_per_event"] = peak.events > 0 ? catalogue_bytes / static_cast<double>(peak.events) : 0.0;
    state.counters["limit_MB"] = (2.0 * catalogue_bytes + 16.0 * 1024 * 1024) / 1e6;
}

void BM_Memory_Straightforward(benchmark::State& state) {
    const auto& catalogue = bench::catalogue_file();
    PeakMemory peak;
    for (auto _ : state) {
        peak = measure_peak([&]() -> long long {
            return static_cast<long long>(straightforward_load(catalogue.path()).size());
        });
    }
    state.counters["peak_MB"] = static_cast<double>(peak.peak_bytes) / 1e6;
}

// The viewer as start-up leaves it, loaded once for all step benchmarks.
void set_up_viewer_once() {
    static bool done = false;
    if (done) return;
    done = true;
    QuietStdout quiet;
    if (!load_viewer_state(bench::outline_file().path(), bench::catalogue_file().path())) {
        std::fprintf(stderr, "cannot read the generated benchmark files\n");
        std::exit(1);
    }
}

// The parts of the viewer that playback changes.
struct WindowState {
    int32_t first_index, last_index, mode;
    CalendarDate first_date, last_date;
};
WindowState save_window() {
    return {viewer.first_index, viewer.last_index, viewer.mode, viewer.window_first_date, viewer.window_last_date};
}
void restore_window(const WindowState& saved) {
    viewer.first_index = saved.first_index;
    viewer.last_index = saved.last_index;
    viewer.mode = saved.mode;
    viewer.window_first_date = saved.first_date;
    viewer.window_last_date = saved.last_date;
}

using Clock = std::chrono::steady_clock;

// Play from the first entry until the window has passed the last one.
void BM_Step_WholePlayback(benchmark::State& state) {
    set_up_viewer_once();
    int steps = 0;
    for (auto _ : state) {
        window_reset();
        const auto begin = Clock::now();
        window_play();
        steps = 0;
        while (viewer.mode != Paused) {
            window_step_forward();
            ++steps;
        }
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    state.counters["steps"] = steps;
    window_reset();
}

// One step from a fixed state: `from_end` steps before playback pauses.
void time_one_step(benchmark::State& state, int from_end) {
    set_up_viewer_once();
    window_reset();
    window_play();
    int total = 0;
    while (viewer.mode != Paused) {
        window_step_forward();
        ++total;
    }
    window_reset();
    window_play();
    const int before = from_end < 0 ? 1 : std::max(0, total - from_end);
    for (int i = 0; i < before; ++i) window_step_forward();
    const WindowState saved = save_window();
    int32_t passed = 0;
    for (auto _ : state) {
        restore_window(saved);
        const auto begin = Clock::now();
        window_step_forward();
        const auto end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        passed = viewer.last_index - saved.last_index;
    }
    state.counters["entries_taken_in"] = passed;
    window_reset();
}

void BM_Step_OneAtStart(benchmark::State& state) { time_one_step(state, -1); }
void BM_Step_OneAtEnd(benchmark::State& state) { time_one_step(state, 3); }

}  // namespace

BENCHMARK(BM_Load_DataLoader)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Load_DataLoaderWithDepths)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Load_Straightforward)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Load_FileBytesOnly)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Load_FileBytesStreamed)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Memory_DataLoader)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Memory_Straightforward)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Step_WholePlayback)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(0.5);
BENCHMARK(BM_Step_OneAtStart)->Unit(benchmark::kMicrosecond)->UseManualTime()->MinTime(0.2);
BENCHMARK(BM_Step_OneAtEnd)->Unit(benchmark::kMicrosecond)->UseManualTime()->MinTime(0.2);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::Summary summary(reporter);
    summary.ratio("Load: DataLoader / straightforward getline+strtok+atof", "BM_Load_DataLoader",
                  "BM_Load_Straightforward", 0.1, "<= 0.1 s");
    summary.ratio("Load: DataLoader / reading the file's bytes (floor)", "BM_Load_DataLoader",
                  "BM_Load_FileBytesOnly", 0.1, "<= 0.1 s");
    summary.ratio("Load: DataLoader / reading the bytes via 1 MiB buffer", "BM_Load_DataLoader",
                  "BM_Load_FileBytesStreamed", 0.1, "<= 0.1 s");
    summary.memory("Memory: peak resident while loading", "BM_Memory_DataLoader", "BM_Memory_Straightforward");
    summary.time("Step: whole playback, first to last entry", "BM_Step_WholePlayback", 0.050, "<= 50 ms",
                 std::to_string(static_cast<long>(reporter.counter("BM_Step_WholePlayback", "steps"))) + " steps");
    summary.equal("Step: one step at the end / at the start", "BM_Step_OneAtEnd", "BM_Step_OneAtStart");
    summary.print();
    benchmark::Shutdown();
    return 0;
}
