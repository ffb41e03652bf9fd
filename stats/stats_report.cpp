// The summary and the JSON object.
#include "stats/stats_report.h"

#include <cstdio>

#include "stats/stats_catalogue.h"

namespace {

// A number as short as it reads back within six significant digits; the
// values are always finite, so this is always valid JSON.
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string count(uint64_t value) { return std::to_string(value); }

}  // namespace

std::string summary_text(const StatsReport& report) {
    const GutenbergRichterFit& fit = report.fit;
    char b_line[128];
    std::snprintf(b_line, sizeof b_line, "b = %.3f +- %.3f, a = %.3f\n", fit.b, fit.b_error, fit.a);
    return "events: " + count(report.events) + ", from " + time_text(report.first) + " to " +
           time_text(report.last) + "\n" + "Mc = " + number(fit.mc) + " (" + method_name(report.mc_method) +
           ")\n" + b_line + "events at or above Mc: " + count(fit.events) + "\n";
}

std::string json_text(const StatsReport& report) {
    const GutenbergRichterFit& fit = report.fit;
    return "{\"events\": " + count(report.events) + ", \"first\": \"" + time_text(report.first) +
           "\", \"last\": \"" + time_text(report.last) + "\", \"mc\": " + number(fit.mc) + ", \"mc_method\": \"" +
           method_name(report.mc_method) + "\", \"b\": " + number(fit.b) + ", \"b_error\": " +
           number(fit.b_error) + ", \"a\": " + number(fit.a) + ", \"events_above_mc\": " + count(fit.events) +
           "}\n";
}
