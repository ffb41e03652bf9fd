// Writing events in the viewer's catalogue layout.
#include "import/catalogue_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tool/selection/iso_time.h"

namespace {

// Writes `value` as exactly `width` digits (zero-padded) at `p`; returns the
// end. Values here are never wider than `width`.
char* put_digits(char* p, int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

// `value` as a fixed-point number with `decimals` decimals (scale =
// 10^decimals), rounded to nearest, without "-0.0000". With
// `keep_positive`, a value above 0 never prints as zero.
char* put_fixed(char* p, double value, int decimals, int64_t scale, bool keep_positive) {
    int64_t units = std::llround(value * static_cast<double>(scale));
    if (keep_positive && units == 0 && value > 0.0) units = 1;
    if (units < 0) {
        *p++ = '-';
        units = -units;
    }
    const int64_t whole = units / scale;
    int width = 1;
    for (int64_t rest = whole; rest >= 10; rest /= 10) ++width;
    p = put_digits(p, whole, width);
    *p++ = '.';
    return put_digits(p, units % scale, decimals);
}

}  // namespace

void sort_events(std::vector<QuakeEvent>& events) {
    const auto earlier = [](const QuakeEvent& a, const QuakeEvent& b) { return a.time_us < b.time_us; };
    if (std::is_sorted(events.begin(), events.end(), earlier)) return;
    // Downloads come newest first. When no event is later than the one
    // before it, reversing the whole list and then each run of equal times
    // (which puts ties back in input order) is the stable sort, in one pass.
    const auto later = [](const QuakeEvent& a, const QuakeEvent& b) { return a.time_us > b.time_us; };
    if (std::is_sorted(events.begin(), events.end(), later)) {
        std::reverse(events.begin(), events.end());
        for (auto run = events.begin(); run != events.end();) {
            auto end = run + 1;
            while (end != events.end() && end->time_us == run->time_us) ++end;
            std::reverse(run, end);
            run = end;
        }
        return;
    }
    std::stable_sort(events.begin(), events.end(), earlier);
}

void append_event_line(const QuakeEvent& event, std::string& out, bool with_depth) {
    // Longest line: "9999,12,31,235959.99,-90.0000,-180.0000,99.99,-9999999.99\n".
    char line[96];
    const CivilTime time = civil_time(event.time_us);
    char* p = put_digits(line, time.year, 4);
    *p++ = ',';
    p = put_digits(p, time.month, 2);
    *p++ = ',';
    p = put_digits(p, time.day, 2);
    *p++ = ',';
    p = put_digits(p, time.hour * 10000 + time.minute * 100 + time.second, 6);
    *p++ = '.';
    p = put_digits(p, time.hundredths, 2);
    *p++ = ',';
    p = put_fixed(p, event.latitude, 4, 10000, false);
    *p++ = ',';
    p = put_fixed(p, event.longitude, 4, 10000, false);
    *p++ = ',';
    p = put_fixed(p, event.magnitude, 2, 100, true);
    if (with_depth) {
        *p++ = ',';
        // Depths beyond the Earth's radius are no depths; left empty, as
        // an unknown one.
        if (std::isfinite(event.depth_km) && std::fabs(event.depth_km) < 1.0e7)
            p = put_fixed(p, event.depth_km, 2, 100, false);
    }
    *p++ = '\n';
    out.append(line, static_cast<size_t>(p - line));
}

void write_catalogue(const std::vector<QuakeEvent>& events, const std::function<void(std::string_view)>& write,
                     bool with_depth) {
    constexpr size_t kSlice = 16384;  // lines per write
    std::string text = with_depth ? kViewerCatalogueDepthHeader : kViewerCatalogueHeader;
    for (size_t start = 0; start < events.size(); start += kSlice) {
        const size_t end = std::min(events.size(), start + kSlice);
        for (size_t i = start; i < end; ++i) append_event_line(events[i], text, with_depth);
        if (end == events.size()) append_event_line(events.back(), text, with_depth);
        write(text);
        text.clear();
    }
    if (events.empty()) write(text);
}
