// --coast: real-resolution boundaries (coastlines, borders) read with the
// importer's boundary readers and kept as lines to draw over the map.
#pragma once

#include <string>
#include <vector>

struct CoastLine {
    std::vector<float> xy;  // longitude, latitude pairs in order
    bool closed = false;    // a polygon's ring; a GMT segment is drawn as given
};

// Reads every ring of every feature of the boundary files at `paths`
// (islands included), each moved by whole turns of 360 degrees to the
// side of the outline whose longitudes run from `outline_min_x` to
// `outline_max_x`. False with a message naming the file on failure.
bool read_coasts(const std::vector<std::string>& paths, double outline_min_x, double outline_max_x,
                 std::vector<CoastLine>* lines, std::string* error);

// How many points the lines hold.
size_t coast_point_count(const std::vector<CoastLine>& lines);
