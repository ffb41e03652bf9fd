// Helpers shared by the importer's tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/downloads/download_reader.h"
#include "import/catalogue_writer.h"

// Reads `text` as the importer would a file named "in", then sorts it:
// the header and the events' lines (without the closing repeat of the last
// line that write_catalogue adds).
inline std::string import_text(std::string_view text, const Selection& selection = Selection(),
                               ImportCounts* counts = nullptr, CatalogueFormat format = CatalogueFormat::guess) {
    std::vector<QuakeEvent> events = read_events_bytes(text, "in", format, selection, counts);
    sort_events(events);
    std::string out = kViewerCatalogueHeader;
    for (const QuakeEvent& event : events) append_event_line(event, out);
    return out;
}

// The message of the ImportError that reading `text` throws, or "" if none.
inline std::string import_error(std::string_view text, const Selection& selection = Selection()) {
    try {
        read_events_bytes(text, "in", CatalogueFormat::guess, selection, nullptr);
    } catch (const ImportError& e) {
        return e.what();
    }
    return std::string();
}

std::string read_test_file(const std::string& name);
