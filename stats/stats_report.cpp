// The summary and the JSON object.
#include "stats/stats_report.h"

#include <cstdio>

#include "stats/stats_catalogue.h"

namespace {

std::string count(uint64_t value) { return std::to_string(value); }

}  // namespace

std::string short_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string summary_text(const StatsReport& report) {
    const GutenbergRichterFit& fit = report.fit;
    char b_line[128];
    std::snprintf(b_line, sizeof b_line, "b = %.3f +- %.3f, a = %.3f\n", fit.b, fit.b_error, fit.a);
    return "events: " + count(report.events) + ", from " + time_text(report.first) + " to " +
           time_text(report.last) + "\n" + "Mc = " + short_number(fit.mc) + " (" + method_name(report.mc_method) +
           ")\n" + b_line + "events at or above Mc: " + count(fit.events) + "\n";
}

std::string json_text(const StatsReport& report) {
    const GutenbergRichterFit& fit = report.fit;
    return "{\"events\": " + count(report.events) + ", \"first\": \"" + time_text(report.first) +
           "\", \"last\": \"" + time_text(report.last) + "\", \"mc\": " + short_number(fit.mc) + ", \"mc_method\": \"" +
           method_name(report.mc_method) + "\", \"b\": " + short_number(fit.b) + ", \"b_error\": " +
           short_number(fit.b_error) + ", \"a\": " + short_number(fit.a) + ", \"events_above_mc\": " + count(fit.events) +
           "}\n";
}
