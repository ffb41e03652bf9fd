// Layout guessing from an input's first bytes.
#include "import/layout_sniff.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "tool/text_basics.h"
#include "import/event_sink.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Any of the quoted GeoJSON type names for areas, as a JSON string value.
bool names_polygon(std::string_view head) {
    return head.find("\"Polygon\"") != std::string_view::npos ||
           head.find("\"MultiPolygon\"") != std::string_view::npos;
}

// True for a line of two or three numbers apart by blanks or tabs, as the
// "lon lat" lines of GMT text; more columns are rather a catalogue.
bool is_coordinate_line(std::string_view line) {
    line = trim_blanks(line);
    int numbers = 0;
    while (!line.empty()) {
        size_t end = 0;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (!parse_decimal(line.substr(0, end))) return false;
        ++numbers;
        line = trim_blanks(line.substr(end));
    }
    return numbers == 2 || numbers == 3;
}

// GMT multisegment text, as `gmt coast -E.. -M` writes it: past any "#"
// comments and blank lines, a "> name" segment header, or a first segment
// without one that starts with a "lon lat" line.
bool is_gmt_text(std::string_view head) {
    while (!head.empty()) {
        const size_t end = head.find('\n');
        const std::string_view line = head.substr(0, end);
        const std::string_view rest = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
        size_t first = 0;
        while (first < line.size() && std::isspace(static_cast<unsigned char>(line[first]))) ++first;
        if (first == line.size() || line[first] == '#') {
            head = rest;
            continue;
        }
        // The last line of a cut head may be partial; judge it only whole.
        if (line[first] == '>') return true;
        return end != std::string_view::npos && is_coordinate_line(line);
    }
    return false;
}

}  // namespace

InputLayout sniff_layout(std::string_view head) {
    // A shapefile's main file starts with the big-endian file code 9994.
    if (head.size() >= 4 && static_cast<uint8_t>(head[0]) == 0 && static_cast<uint8_t>(head[1]) == 0 &&
        static_cast<uint8_t>(head[2]) == 0x27 && static_cast<uint8_t>(head[3]) == 0x0A)
        return InputLayout::shapefile;
    head = without_byte_order_mark(head);
    size_t first = 0;
    while (first < head.size() && std::isspace(static_cast<unsigned char>(head[first]))) ++first;
    head.remove_prefix(first);
    if (head.empty()) return InputLayout::unknown;

    if (head[0] == '<') return InputLayout::quakeml;
    if (head[0] == '{' || head[0] == '[') {
        // Point events carry "Point" geometries; an outline carries areas.
        if (names_polygon(head) && head.find("\"Point\"") == std::string_view::npos)
            return InputLayout::geojson_outline;
        return InputLayout::geojson;
    }

    // Before the FDSN test: GMT comments may hold bars, an FDSN header is
    // followed by rows of them.
    if (is_gmt_text(head)) return InputLayout::gmt_outline;

    const std::string_view line = head.substr(0, head.find('\n'));
    const bool bars = line.find('|') != std::string_view::npos;
    const bool commas = line.find(',') != std::string_view::npos;
    if (head[0] == '#' && bars) return InputLayout::fdsn_text;
    if (bars && !commas) return InputLayout::fdsn_text;
    if (commas) {
        if (starts_with(ascii_lower(line), "year,month,day,time,latitude,longitude,magnitude"))
            return InputLayout::viewer;
        return InputLayout::csv;
    }
    return InputLayout::unknown;
}

const char* layout_name(InputLayout layout) {
    switch (layout) {
        case InputLayout::csv: return "CSV";
        case InputLayout::fdsn_text: return "FDSN text";
        case InputLayout::geojson: return "GeoJSON";
        case InputLayout::quakeml: return "QuakeML";
        case InputLayout::viewer: return "the viewer's layout";
        case InputLayout::shapefile: return "shapefile";
        case InputLayout::geojson_outline: return "GeoJSON outline";
        case InputLayout::gmt_outline: return "GMT multisegment text";
        case InputLayout::unknown: break;
    }
    return "unknown";
}
