// Generation of the benchmark's catalogue and outline files.
#include "bench/bench_catalogue.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "calendar/calendar_date.h"

namespace bench {
namespace {

// splitmix64: a fixed sequence on every platform, unlike the standard
// library's distributions.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

constexpr int kFirstYear = 1970;
constexpr int kYears = 50;
constexpr int kDaysPerYear = 365;

}  // namespace

std::string make_catalogue_text(int events) { return make_catalogue_text(events, kYears); }

std::string make_catalogue_text(int events, int years) {
    std::string text = "year,month,day,time,latitude,longitude,magnitude\n";
    text.reserve(static_cast<size_t>(events) * 45 + text.size());
    Random random{20240607};
    const int64_t total_days = static_cast<int64_t>(years) * kDaysPerYear;
    char line[128];
    for (int i = 0; i < events; ++i) {
        // Spread evenly over the span, so dates never go backwards.
        const int64_t day_number = static_cast<int64_t>(i) * total_days / events;
        const int year = kFirstYear + static_cast<int>(day_number / kDaysPerYear);
        int day_of_year = static_cast<int>(day_number % kDaysPerYear);
        int month = 1;
        while (day_of_year >= days_in_month[month]) day_of_year -= days_in_month[month++];
        const int day = day_of_year + 1;

        const int hour = random.below(24);
        const int minute = random.below(60);
        const int second = random.below(60);
        const int hundredths = random.below(100);
        const double latitude = kOutlineMinLat + 1 + random.unit() * (kOutlineMaxLat - kOutlineMinLat - 2);
        const double longitude = kOutlineMinLon + 1 + random.unit() * (kOutlineMaxLon - kOutlineMinLon - 2);
        // Gutenberg-Richter-like: many small events, few large ones.
        const double magnitude = 1.0 - std::log(1.0 - random.unit()) * 0.6;
        const int length = std::snprintf(line, sizeof line, "%d,%02d,%02d,%02d%02d%02d.%02d,%.4f,%.4f,%.2f\n", year,
                                         month, day, hour, minute, second, hundredths, latitude, longitude,
                                         magnitude);
        text.append(line, static_cast<size_t>(length));
    }
    return text;
}

std::string make_outline_text() {
    std::string text = "lat,lon\n";
    char line[64];
    // A box traced with a vertex every degree.
    auto add = [&](int lat, int lon) {
        std::snprintf(line, sizeof line, "%d,%d\n", lat, lon);
        text += line;
    };
    for (int lon = kOutlineMinLon; lon < kOutlineMaxLon; ++lon) add(kOutlineMaxLat, lon);
    for (int lat = kOutlineMaxLat; lat > kOutlineMinLat; --lat) add(lat, kOutlineMaxLon);
    for (int lon = kOutlineMaxLon; lon > kOutlineMinLon; --lon) add(kOutlineMinLat, lon);
    for (int lat = kOutlineMinLat; lat < kOutlineMaxLat; ++lat) add(lat, kOutlineMinLon);
    return text;
}

TempFile::TempFile(const std::string& stem, const std::string& text) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/" + stem + "-XXXXXX";
    const int fd = ::mkstemp(&pattern[0]);
    if (fd < 0) throw std::runtime_error("cannot create " + pattern);
    path_ = pattern;
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t got = ::write(fd, text.data() + written, text.size() - written);
        if (got <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path_);
        }
        written += static_cast<size_t>(got);
    }
    ::close(fd);
    size_ = written;
}

TempFile::~TempFile() { ::unlink(path_.c_str()); }

const TempFile& catalogue_file() {
    static const TempFile file("sismap-bench-catalogue", make_catalogue_text(kBenchEvents));
    return file;
}

const TempFile& outline_file() {
    static const TempFile file("sismap-bench-outline", make_outline_text());
    return file;
}

}  // namespace bench
