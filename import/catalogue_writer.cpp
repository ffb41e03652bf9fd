// Writing events in the viewer's catalogue layout.
#include "import/catalogue_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "import/iso_time.h"

namespace {

void append_digits(std::string& out, int value, int width) {
    char text[12];
    int length = 0;
    do {
        text[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 || length < width);
    while (length > 0) out += text[--length];
}

// `value` as a fixed-point number of `decimals` (scale = 10^decimals),
// rounded to nearest; no "-0.0000".
void append_fixed(std::string& out, double value, int decimals, int64_t scale, bool keep_positive) {
    int64_t units = std::llround(value * static_cast<double>(scale));
    if (keep_positive && units == 0 && value > 0.0) units = 1;
    if (units < 0) {
        out += '-';
        units = -units;
    }
    append_digits(out, static_cast<int>(units / scale), 1);
    out += '.';
    append_digits(out, static_cast<int>(units % scale), decimals);
}

}  // namespace

void sort_events(std::vector<QuakeEvent>& events) {
    const auto earlier = [](const QuakeEvent& a, const QuakeEvent& b) { return a.time_us < b.time_us; };
    if (std::is_sorted(events.begin(), events.end(), earlier)) return;
    // Downloads come newest first: with no two times equal, reversing is
    // the stable sort.
    const auto strictly_later = [](const QuakeEvent& a, const QuakeEvent& b) { return a.time_us >= b.time_us; };
    if (std::is_sorted(events.begin(), events.end(), strictly_later)) {
        std::reverse(events.begin(), events.end());
        return;
    }
    std::stable_sort(events.begin(), events.end(), earlier);
}

void append_event_line(const QuakeEvent& event, std::string& out) {
    const CivilTime time = civil_time(event.time_us);
    append_digits(out, time.year, 4);
    out += ',';
    append_digits(out, time.month, 2);
    out += ',';
    append_digits(out, time.day, 2);
    out += ',';
    append_digits(out, time.hour, 2);
    append_digits(out, time.minute, 2);
    append_digits(out, time.second, 2);
    out += '.';
    append_digits(out, time.hundredths, 2);
    out += ',';
    append_fixed(out, event.latitude, 4, 10000, false);
    out += ',';
    append_fixed(out, event.longitude, 4, 10000, false);
    out += ',';
    append_fixed(out, event.magnitude, 2, 100, true);
    out += '\n';
}
