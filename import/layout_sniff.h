// Telling the input layouts apart from their first bytes, for both modes of
// sismap-import: the catalogue mode refuses outlines and the outline mode
// refuses catalogues with a pointer to the other mode.
#pragma once

#include <cstddef>
#include <string_view>

enum class InputLayout {
    unknown,
    csv,              // data-centre CSV: a header naming the columns
    fdsn_text,        // FDSN event text: "#EventID|Time|..."
    geojson,          // GeoJSON of point events
    quakeml,          // XML (QuakeML 1.2)
    viewer,           // already the viewer's own catalogue layout
    shapefile,        // ESRI shapefile (.shp), a region outline
    geojson_outline,  // GeoJSON whose geometries are (Multi)Polygons
    gmt_outline,      // GMT multisegment text ("> name" lines, then "lon lat" lines)
};

// Bytes worth reading before guessing; fewer is fine for a short input.
inline constexpr size_t kSniffBytes = 64 * 1024;

// Guesses the layout of an input from its first bytes (up to kSniffBytes).
InputLayout sniff_layout(std::string_view head);

// A short name for messages: "CSV", "FDSN text", "GeoJSON", "QuakeML", ...
const char* layout_name(InputLayout layout);

// True for the layouts that hold a region outline rather than events.
inline bool is_outline_layout(InputLayout layout) {
    return layout == InputLayout::shapefile || layout == InputLayout::geojson_outline ||
           layout == InputLayout::gmt_outline;
}
