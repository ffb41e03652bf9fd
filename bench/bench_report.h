// Collects the benchmark runs and prints, after Google Benchmark's own lines,
// one row per figure: its value, its baseline, their ratio, the target and
// whether it is met. Times are the median over repetitions.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            Series& series = series_[run.run_name.function_name];
            series.seconds.push_back(run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
            series.counters = run.counters;
            for (const auto& counter : run.counters) series.counter_values[counter.first].push_back(counter.second);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median seconds per iteration, or a negative value when it did not run.
    double median_seconds(const std::string& name) const {
        auto found = series_.find(name);
        if (found == series_.end() || found->second.seconds.empty()) return -1.0;
        return median_of(found->second.seconds);
    }
    size_t repetitions(const std::string& name) const {
        auto found = series_.find(name);
        return found == series_.end() ? 0 : found->second.seconds.size();
    }
    double counter(const std::string& name, const std::string& key) const {
        auto found = series_.find(name);
        if (found == series_.end()) return -1.0;
        auto value = found->second.counters.find(key);
        return value == found->second.counters.end() ? -1.0 : static_cast<double>(value->second);
    }

private:
    struct Series {
        std::vector<double> seconds;
        benchmark::UserCounters counters;
        std::map<std::string, std::vector<double>> counter_values;  // one per repetition
    };

    static double median_of(std::vector<double> values) {
        if (values.empty()) return -1.0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    }

public:
    double median_counter(const std::string& name, const std::string& key) const {
        auto found = series_.find(name);
        if (found == series_.end()) return -1.0;
        auto values = found->second.counter_values.find(key);
        return values == found->second.counter_values.end() ? -1.0 : median_of(values->second);
    }

private:
    std::map<std::string, Series> series_;
};

class Summary {
public:
    explicit Summary(const CollectingReporter& runs) : runs_(runs) {}

    // `name` against `baseline`; `limit` (seconds, or a ratio when
    // `limit_is_ratio`) is the target, none when negative.
    void ratio(const std::string& figure, const std::string& name, const std::string& baseline, double limit,
               const std::string& target, bool limit_is_ratio = false) {
        const double value = runs_.median_seconds(name);
        const double base = runs_.median_seconds(baseline);
        if (value < 0 || base < 0) return;
        const double r = value / base;
        std::string met = "-";
        if (limit >= 0) met = (limit_is_ratio ? r <= limit : value <= limit) ? "yes" : "NO";
        rows_.push_back({figure, time_text(value), time_text(base), fixed(r, 3), target, met,
                         runs_.repetitions(name)});
    }

    // A time with no baseline, against a limit in seconds.
    void time(const std::string& figure, const std::string& name, double limit, const std::string& target,
              const std::string& note) {
        const double value = runs_.median_seconds(name);
        if (value < 0) return;
        rows_.push_back({figure, time_text(value), note, "-", target, value <= limit ? "yes" : "NO",
                         runs_.repetitions(name)});
    }

    // Two single-step times that should be equal: met within +-25 %.
    void equal(const std::string& figure, const std::string& name, const std::string& baseline) {
        const double value = runs_.median_seconds(name);
        const double base = runs_.median_seconds(baseline);
        if (value < 0 || base < 0) return;
        const double r = value / base;
        rows_.push_back({figure, time_text(value), time_text(base) + " (start)", fixed(r, 3), "ratio 0.75..1.25",
                         r >= 0.75 && r <= 1.25 ? "yes" : "NO", runs_.repetitions(name)});
    }

    // A benchmark that timed a value and its baseline in turn and left their
    // medians in the counters scene_ms and floor_ms; per repetition, the
    // median of those medians.
    void paired(const std::string& figure, const std::string& name, double limit_ratio, const std::string& target) {
        const double value = runs_.median_counter(name, "scene_ms") / 1e3;
        const double base = runs_.median_counter(name, "floor_ms") / 1e3;
        if (value <= 0 || base <= 0) return;
        const double r = value / base;
        rows_.push_back({figure, time_text(value), time_text(base), fixed(r, 3), target,
                         r <= limit_ratio ? "yes" : "NO", runs_.repetitions(name)});
    }

    // Peak resident memory of one load against the baseline loader's and
    // against twice the catalogue's bytes plus 16 MiB.
    void memory(const std::string& figure, const std::string& name, const std::string& baseline) {
        const double peak = runs_.counter(name, "peak_MB");
        const double base = runs_.counter(baseline, "peak_MB");
        const double limit = runs_.counter(name, "limit_MB");
        const double per_event = runs_.counter(name, "bytes_per_event");
        const double catalogue = runs_.counter(name, "catalogue_MB");
        if (peak < 0 || limit < 0) return;
        rows_.push_back({figure, fixed(peak, 1) + " MB", fixed(base, 1) + " MB", base > 0 ? fixed(peak / base, 3) : "-",
                         "<= 2 x " + fixed(catalogue, 1) + " MB + 16 MiB = " + fixed(limit, 1) + " MB",
                         peak <= limit ? "yes" : "NO", 1});
        rows_.push_back({"Catalogue bytes per event", fixed(per_event, 0) + " B", "-", "-", "-", "-", 1});
    }

    void print() const {
        std::printf("\n%-58s %-14s %-22s %-7s %-40s %s\n", "figure", "value", "baseline", "ratio", "target", "met");
        for (const Row& row : rows_)
            std::printf("%-58s %-14s %-22s %-7s %-40s %s\n", row.figure.c_str(), row.value.c_str(),
                        row.baseline.c_str(), row.ratio.c_str(), row.target.c_str(), row.met.c_str());
        std::printf("(times: median of %zu repetition(s))\n", rows_.empty() ? size_t{0} : rows_.front().repetitions);
        std::fflush(stdout);
    }

    static std::string time_text(double seconds) {
        if (seconds >= 1.0) return fixed(seconds, 3) + " s";
        if (seconds >= 1e-3) return fixed(seconds * 1e3, 2) + " ms";
        return fixed(seconds * 1e6, 2) + " us";
    }
    static std::string fixed(double value, int decimals) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }

private:
    struct Row {
        std::string figure, value, baseline, ratio, target, met;
        size_t repetitions;
    };
    const CollectingReporter& runs_;
    std::vector<Row> rows_;
};

}  // namespace bench
