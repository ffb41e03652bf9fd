// The body shared by the importer's fuzz targets: one reader, forced, on
// arbitrary bytes, strict and with --skip-bad. Only ImportError may come
// out; whatever is kept must be a sound event that the viewer loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_loader.h"
#include "import/downloads/download_reader.h"
#include "import/catalogue_writer.h"
#include "tool/selection/iso_time.h"

namespace import_fuzz {

inline void fail(const char* what) {
    std::fprintf(stderr, "import invariant broken: %s\n", what);
    std::abort();
}

inline void check_events(const std::vector<QuakeEvent>& events, const ImportCounts& counts, bool finished) {
    if (counts.kept != events.size()) fail("kept count differs from the events handed back");
    const uint64_t accounted = counts.kept + counts.not_earthquake + counts.no_magnitude + counts.below_min_magnitude +
                               counts.outside_time + counts.outside_region + counts.bad + counts.repeated;
    if (finished && accounted != counts.read) fail("events read are not all accounted for");
    if (accounted > counts.read) fail("more events accounted for than read");
    for (const QuakeEvent& event : events) {
        if (!(event.latitude >= -90.0 && event.latitude <= 90.0)) fail("latitude out of range");
        if (!(event.longitude >= -180.0 && event.longitude <= 180.0)) fail("longitude out of range");
        if (!(event.magnitude > 0.0 && event.magnitude < 100.0)) fail("magnitude not in (0, 100)");
        if (event.time_us < kEarliestTimeUs || event.time_us > kLatestTimeUs) fail("time out of range");
    }
}

inline int run(const uint8_t* data, size_t size, CatalogueFormat format) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool skip_bad : {false, true}) {
        Selection selection;
        selection.skip_bad = skip_bad;
        selection.all_types = skip_bad;
        ImportCounts counts;
        std::vector<QuakeEvent> events;
        try {
            events = read_events_bytes(bytes, "fuzz", format, selection, &counts);
        } catch (const ImportError& e) {
            if (std::string_view(e.what()).empty()) fail("empty error message");
            continue;
        }
        check_events(events, counts, true);
        sort_events(events);
        std::string text;
        write_catalogue(events, [&text](std::string_view slice) { text += slice; });
        // The viewer reads lines of at most 99 characters.
        for (size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\n', start);
            if (end == std::string::npos || end - start > 99) fail("line unended or longer than the viewer reads");
        }
        // Every event, and the closing repeat of the last one.
        DataLoader loader;
        loader.read_catalogue(text);
        if (static_cast<size_t>(loader.record_count()) != events.size() + !events.empty())
            fail("viewer loads another number of events");
    }
    return 0;
}

}  // namespace import_fuzz
