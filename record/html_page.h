// The recording as one web page that plays itself: the catalogue, the
// outline and every frame's window are packed into the page together with
// the player's script and styles, so it opens from disk in any browser and
// asks for nothing. The recorder works out each frame with its own code;
// the page only looks the frame's events up and draws them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "record/frame_plan.h"
#include "record/map_view.h"
#include "record/record_options.h"

// Where a point of the drawing plane lands in the frame under the
// recorder's camera, in pixels from the frame's left and bottom edges:
// x = X * scale_x + offset_x, y = Y * scale_y + offset_y.
struct PlaneToFrame {
    double scale_x = 1.0;
    double offset_x = 0.0;
    double scale_y = 1.0;
    double offset_y = 0.0;
};

// The frame the page draws into, as the recorder's camera and font make it.
struct PageView {
    int width = 0;
    int height = 0;
    PlaneToFrame camera;
    // How far each printable ASCII character (32 to 126) moves the legend's
    // text on, in pixels, so that the page's texts take the recorder's room.
    std::vector<int> glyph_advances;
};

// One frame as the page needs it: the events first <= i < end of the
// page's catalogue and the legend's date range.
struct PageFrame {
    int64_t first = 0;
    int64_t end = 0;
    std::string legend;
};

// The events' order keys and each frame's bounds on them, such that a
// frame's events are exactly those whose key lies in [low, high): the page
// finds both ends by binary search. `unit` names what a key counts.
struct FrameKeys {
    std::string unit;             // "hundredths*G" (G hundredths a key), "date" or "index"
    std::vector<int64_t> events;  // non-decreasing
    std::vector<int64_t> low;     // one per frame
    std::vector<int64_t> high;
};

// Keys for `frames`: `preferred` (times or dates, non-decreasing when the
// catalogue is in order) when every frame's bounds fall between keys that
// differ, so that binary search finds exactly the recorder's events;
// otherwise the events' own positions, which always do.
FrameKeys frame_keys(const std::vector<int64_t>& preferred, const std::string& unit,
                     const std::vector<PageFrame>& frames);

// The order key of a date on the viewer's calendar: dates compare as the
// viewer compares them (year, then month, then day) for months 0 to 12
// and days 0 to 31.
int64_t date_key(const CalendarDate& date);

// Zigzag variable-length integers of the differences between successive
// values: small steps take one byte whatever the values' size.
std::string pack_deltas(const std::vector<int64_t>& values);

// Magnitudes in the fewest bytes that give back every value exactly: tenths
// in one byte, hundredths in two, or else the 32-bit floats themselves.
// `scale` is 10, 100 or 0 for floats.
std::string pack_magnitudes(const std::vector<float>& magnitudes, int* scale);

// 32-bit floats, little-endian.
std::string pack_floats(const std::vector<float>& values);

// Base64 of `bytes` (standard alphabet, padded).
std::string base64_text(const std::string& bytes);

// Everything the page shows, from the loaded ViewerState and the frames the
// plan keeps.
struct PagePlayback {
    PageView view;
    int fps = 20;
    std::string title;
    std::string startup_legend;  // the whole catalogue's dates
    int64_t startup_end = 0;     // the start-up view draws events 0 <= i < startup_end
    std::vector<PageFrame> frames;
    std::vector<int64_t> preferred_keys;
    std::string key_unit;
    // Map mode: what the page draws it from, and for --colour age each
    // frame's time window (start, end; the start-up view's first) on the
    // day measure.
    const MapPageParts* map = nullptr;
    const MapSetup* map_setup = nullptr;
    std::vector<double> window_days;
};

// Signed 16-bit integers, little-endian.
std::string pack_int16s(const std::vector<int16_t>& values);

// Real time's instants (hundredths of a second since 1970, one per entry)
// and the grid every window's bounds lie on: origin plus whole grains.
// Events are keyed by their grain, so that the page's keys stay small
// whatever the catalogue's span, and binary search still finds exactly the
// recorder's events.
struct InstantKeys {
    const std::vector<int64_t>* instants = nullptr;
    int64_t origin = 0;
    int64_t grain = 100;
};

// Fills `page` from the ViewerState and `sequence`, which must stand at
// frame 0 (as planning leaves it); `instants` in real time, or null for the
// viewer's days.
void gather_page_playback(const FramePlan& plan, FrameSequence& sequence, const InstantKeys* instants,
                          PagePlayback* page);

// The whole page's text.
std::string page_text(const PagePlayback& page);

// Gathers and writes the page to `options.output_path`, whole or not at
// all. Returns the exit status, with a message on failure.
// In map mode, `map` and `setup` are what the page draws the map from.
int record_html_page(const RecordOptions& options, const FramePlan& plan, FrameSequence& sequence,
                     const InstantKeys* instants, const PageView& view, const MapPageParts* map = nullptr,
                     const MapSetup* setup = nullptr);
