// Fuzz target: the GeoJSON feed reader of sismap-import on arbitrary bytes;
// then the same bytes split into one-feature pieces and parsed whole, which
// must agree: both refused, or the same events and counts.
#include "import/event_sink.h"
#include "import/downloads/geojson_reader.h"
#include "import_fuzz_check.h"

namespace {

// The events and counts of one reading with --skip-bad, or "refused".
std::string reading(std::string_view bytes, const GeojsonSplit& split) {
    Selection selection;
    selection.skip_bad = true;
    ImportCounts counts;
    std::vector<QuakeEvent> events;
    EventSink sink(selection, counts, events);
    try {
        read_geojson_catalogue(bytes, bytes.size(), "fuzz", sink, split);
    } catch (const ImportError&) {
        return "refused";
    }
    std::string out;
    for (const QuakeEvent& event : events) append_event_line(event, out);
    return out + std::to_string(counts.read) + " " + std::to_string(counts.bad) + " " +
           std::to_string(counts.no_magnitude) + " " + std::to_string(counts.not_earthquake);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    import_fuzz::run(data, size, CatalogueFormat::geojson);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    GeojsonSplit pieces;
    pieces.piece_bytes = 1;
    GeojsonSplit whole;
    whole.whole = true;
    if (reading(bytes, pieces) != reading(bytes, whole)) import_fuzz::fail("pieces and whole document read differently");
    return 0;
}
