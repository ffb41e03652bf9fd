// Layout guessing from an input's first bytes.
#include "import/layout_sniff.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "tool/text_basics.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Any of the quoted GeoJSON type names for areas, as a JSON string value.
bool names_polygon(std::string_view head) {
    return head.find("\"Polygon\"") != std::string_view::npos ||
           head.find("\"MultiPolygon\"") != std::string_view::npos;
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
        case InputLayout::unknown: break;
    }
    return "unknown";
}
