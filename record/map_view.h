// Map mode's drawing, in the recorder's window: the map part above with the
// outline or the coasts and the marks sized in pixels, and the keys band
// along the bottom (threshold, dates, size key, colour key), all in red text
// drawn with GLUT's stroke font at a size that grows with the frame.
#pragma once

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
