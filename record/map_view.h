// Map mode's drawing, in the recorder's window: the map part above with the
// outline or the coasts and the marks sized in pixels, and the keys band
// along the bottom (threshold, dates, size key, colour key), all in red text
// drawn with GLUT's stroke font at a size that grows with the frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record/coast.h"
#include "record/frame_image.h"
#include "record/map_style.h"
#include "record/record_options.h"
#include "record/section_panel.h"
#include "record/section_profile.h"

struct MapSetup {
    int width = 650;
    int height = 650;
    Colouring colouring = Colouring::Magnitude;
    std::vector<double> depth_bounds;
    std::vector<CoastLine> coasts;        // drawn instead of the outline when any
    const std::vector<float>* depths = nullptr;  // per catalogue entry, for --colour depth
    std::string sample_dates;             // a legend as wide as the recording's, for the layout
    float start_pan_x = 0.0f;             // the viewer's start-up pan: the outline is framed as
    float start_pan_y = 0.0f;             // drawn at zoom 1 before --pan
    // --section: the profile, and each entry's place in the panel below
    // the map.
    std::optional<SectionProfile> section;
    double section_width_km = 50.0;
    SectionPlaces section_places;
};

// Lays the frame out and records the map's lines; once the view is open and
// the ViewerState is loaded, zoom and pan applied.
void set_up_map(MapSetup setup);

// Draws the present ViewerState into the back buffer and reads it into
// `image`. `dates` is the legend's date range; `window_start` and
// `window_end` (day_measure units) the time window, for --colour age.
void read_map_frame(FrameImage* image, const std::string& dates, double window_start, double window_end);

// Where the map and the band lie, for tests of the layout: the band's
// height in pixels and the world window of the map part.
int map_band_height();

// The stroke font's glyphs for characters 32 to 126 as the graphics library
// draws them, in font units with the baseline's left end at 0, 0: each
// glyph's line segments (x0, y0, x1, y1, ...) and how far it moves the text
// on.
struct StrokeGlyphs {
    std::vector<float> advances;
    std::vector<std::vector<float>> segments;
};

// What a web page needs to draw map mode's frames as read_map_frame draws
// them: the frame's split, the map's world window, everything below the map
// that never changes as an image, where the two texts that do change go,
// the font, and per catalogue entry what colours it and where it lies in
// the section panel. Taken once set_up_map has run, in the window.
struct MapPageParts {
    int map_bottom = 0;
    int band_height = 0;
    WorldWindow world;
    double coast_least = 0.0;    // in world units: coast vertices closer than this to the last are left out
    FrameImage lower;            // the frame's lowest map_bottom rows: the band and the panel without
                                 // their changing texts and the section's marks
    double text_scale = 1.0;     // pixels per font unit
    int text_line_width = 1;
    double threshold_x = 0.0;    // the texts' baselines' left ends, in pixels from the lower left
    double threshold_y = 0.0;
    double dates_x = 0.0;
    double dates_y = 0.0;
    StrokeGlyphs glyphs;
    // Section: the profile and the swath's edges as longitude, latitude
    // pairs unwrapped along them, and the entries the panel draws (their
    // catalogue positions, ascending) with their panel pixels.
    bool section = false;
    std::vector<double> profile;
    std::vector<double> edges[2];
    int profile_line_width = 1;
    double edge_dash = 4.0;      // the edges' dashes and gaps, in pixels
    Rgb profile_colour;
    double label_away = 0.0;     // how far A and A' stand beyond the line's ends
    double cap_height = 0.0;
    int panel_rows_low = 0;      // the section's marks are drawn in rows panel_rows_low <= y < map_bottom
    std::vector<int64_t> panel_entries;
    std::vector<int16_t> panel_columns;
    std::vector<int16_t> panel_rows;
};
MapPageParts map_page_parts();

// The map's setup as set_up_map kept it.
const MapSetup& map_setup();
