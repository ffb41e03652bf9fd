// Opening a catalogue, choosing its reader and running it.
#include "import/downloads/download_reader.h"

#include <algorithm>
#include <cstring>

#include <simdjson.h>

#include "import/event_sink.h"
#include "import/downloads/geojson_reader.h"
#include "import/downloads/quakeml_reader.h"
#include "import/downloads/text_readers.h"
#include "tool/input_source.h"
#include "tool/text_basics.h"

namespace {

// The catalogue at `path` ("-": standard input), opened for reading or an
// ImportError naming `name` and why.
void open_input(InputSource& input, const std::string& path, const std::string& name) {
    if (!input.open(path, true)) throw ImportError(input.failure_text(name));
}

// A read that failed ends the import; the end of the content does not.
void check_read(const InputSource& input, const std::string& name) {
    if (input.failure() == InputSource::Failure::read_error) throw ImportError(input.failure_text(name));
}

// Fewer bytes than any real row or feature takes: reserving the event list
// from the input's size then costs no copy as it fills (and untouched
// reserved memory is never resident).
constexpr size_t kBytesPerEventAtLeast = 64;

InputLayout forced_layout(CatalogueFormat format) {
    switch (format) {
        case CatalogueFormat::csv: return InputLayout::csv;
        case CatalogueFormat::fdsn: return InputLayout::fdsn_text;
        case CatalogueFormat::geojson: return InputLayout::geojson;
        case CatalogueFormat::quakeml: return InputLayout::quakeml;
        case CatalogueFormat::guess: break;
    }
    return InputLayout::unknown;
}

// The layout to read with, or an ImportError saying why there is none.
InputLayout choose_layout(std::string_view head, CatalogueFormat format, const std::string& name) {
    const InputLayout seen = sniff_layout(head);
    // The viewer's own outline reads as CSV with two columns, which would
    // be refused for a missing "time" column.
    const std::string_view body = without_byte_order_mark(head);
    if (body.substr(0, 8) == "lat,lon\n" || body.substr(0, 9) == "lat,lon\r\n")
        throw ImportError(name + " is a region outline in the viewer's layout (header \"lat,lon\"), not "
                                 "earthquakes; give it to sismap as its landscape file");
    if (is_outline_layout(seen)) {
        throw ImportError(name + " holds a region outline (" + layout_name(seen) +
                          "), not earthquakes; convert it with: sismap-import outline");
    }
    if (format != CatalogueFormat::guess) {
        // A forced layout that the content plainly contradicts would only
        // fail later, on a header or a row, with a misleading reason.
        const InputLayout forced = forced_layout(format);
        const bool known = seen == InputLayout::csv || seen == InputLayout::fdsn_text || seen == InputLayout::geojson ||
                           seen == InputLayout::quakeml;
        if (known && seen != forced)
            throw ImportError(name + ": does not look like " + layout_name(forced) + " (it looks like " +
                              layout_name(seen) + "); leave out --format to read it as that");
        return forced;
    }
    if (seen == InputLayout::viewer) {
        throw ImportError(name + " is already in the viewer's layout (header " +
                          "\"year,month,day,time,latitude,longitude,magnitude\"); give it to sismap as it is");
    }
    if (seen == InputLayout::unknown) {
        throw ImportError(name + ": cannot tell the layout (CSV, FDSN text, GeoJSON or QuakeML) from its content;" +
                          " name it with --format");
    }
    return seen;
}

// Reads a whole text layout (everything but QuakeML) from memory.
void read_text_layout(InputLayout layout, std::string_view bytes, size_t capacity, const std::string& name,
                      EventSink& sink) {
    switch (layout) {
        case InputLayout::csv: return read_csv_catalogue(bytes, name, sink);
        case InputLayout::fdsn_text: return read_fdsn_catalogue(bytes, name, sink);
        case InputLayout::geojson: return read_geojson_catalogue(bytes, capacity, name, sink);
        default: break;
    }
    throw ImportError(name + ": no reader for " + layout_name(layout));
}

std::string display_name(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace

std::vector<QuakeEvent> read_events_file(const std::string& path, CatalogueFormat format,
                                            const Selection& selection, ImportCounts* counts,
                                            const ReadProgress& progress) {
    const std::string name = display_name(path);
    ImportCounts local;
    ImportCounts& tally = counts ? *counts : local;
    tally = ImportCounts();
    std::vector<QuakeEvent> events;
    EventSink sink(selection, tally, events, &progress);

    InputSource input;
    open_input(input, path, name);
    const std::string_view head = input.head(kSniffBytes);
    check_read(input, name);
    tally.layout = choose_layout(head, format, name);
    if (tally.layout == InputLayout::quakeml) {
        read_quakeml_catalogue(
            [&](char* buffer, size_t room) {
                const size_t got = input.read(buffer, room);
                if (got == 0) check_read(input, name);
                return got;
            },
            name, sink);
    } else {
        // A file is mapped where it can be (no copy; the GeoJSON reader
        // copies its pieces into padded buffers of its own).
        std::string_view mapped;
        if (input.map_whole(&mapped)) {
            events.reserve(mapped.size() / kBytesPerEventAtLeast);
            read_text_layout(tally.layout, mapped, mapped.size(), name, sink);
        } else {
            std::string bytes;
            input.read_rest(bytes, simdjson::SIMDJSON_PADDING);
            check_read(input, name);
            events.reserve(bytes.size() / kBytesPerEventAtLeast);
            read_text_layout(tally.layout, bytes, bytes.capacity(), name, sink);
        }
    }
    return events;
}

std::vector<QuakeEvent> read_events_bytes(std::string_view bytes, const std::string& name,
                                             CatalogueFormat format, const Selection& selection,
                                             ImportCounts* counts) {
    ImportCounts local;
    ImportCounts& tally = counts ? *counts : local;
    tally = ImportCounts();
    std::vector<QuakeEvent> events;
    EventSink sink(selection, tally, events);

    tally.layout = choose_layout(bytes.substr(0, kSniffBytes), format, name);
    if (tally.layout == InputLayout::quakeml) {
        size_t position = 0;
        read_quakeml_catalogue(
            [&](char* buffer, size_t room) {
                const size_t take = std::min(room, bytes.size() - position);
                if (take > 0) std::memcpy(buffer, bytes.data() + position, take);
                position += take;
                return take;
            },
            name, sink);
    } else {
        read_text_layout(tally.layout, bytes, bytes.size(), name, sink);
    }
    return events;
}
