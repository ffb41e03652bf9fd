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

std::string no_b_reason(uint64_t events_above_mc, double bin_width) {
    if (events_above_mc == 0) return "no b-value: no event at or above Mc";
    return "no b-value: the " + count(events_above_mc) + (events_above_mc == 1 ? " event" : " events") +
           " at or above Mc " + (events_above_mc == 1 ? "lies" : "lie") + " in fewer than two bins of " +
           short_number(bin_width);
}

std::string summary_text(const StatsReport& report) {
    std::string b_line;
    if (report.fit) {
        const GutenbergRichterFit& fit = *report.fit;
        char text[128];
        std::snprintf(text, sizeof text, "b = %.3f +- %.3f, a = %.3f\n", fit.b, fit.b_error, fit.a);
        b_line = text;
    } else {
        b_line = no_b_reason(report.events_above_mc, report.bin_width) + "\n";
    }
    return "events: " + count(report.events) + ", from " + time_text(report.first) + " to " +
           time_text(report.last) + "\n" + "Mc = " + short_number(report.mc) + " (" + method_name(report.mc_method) +
           ")\n" + b_line + "events at or above Mc: " + count(report.events_above_mc) + "\n";
}

std::string json_text(const StatsReport& report) {
    const GutenbergRichterFit* fit = report.fit ? &*report.fit : nullptr;
    auto or_null = [fit](double value) { return fit != nullptr ? short_number(value) : std::string("null"); };
    return "{\"events\": " + count(report.events) + ", \"first\": \"" + time_text(report.first) +
           "\", \"last\": \"" + time_text(report.last) + "\", \"mc\": " + short_number(report.mc) +
           ", \"mc_method\": \"" + method_name(report.mc_method) + "\", \"b\": " + or_null(fit ? fit->b : 0.0) +
           ", \"b_error\": " + or_null(fit ? fit->b_error : 0.0) + ", \"a\": " + or_null(fit ? fit->a : 0.0) +
           ", \"events_above_mc\": " + count(report.events_above_mc) + "}\n";
}
