// The outline's bounding box, grown one vertex at a time.
#pragma once

#include <cstdint>

#include "data/records.h"

struct OutlineBounds {
    // With no vertex at all: largest 0 and smallest 99999.
    int32_t max_x = 0;
    int32_t min_x = 99999;
    int32_t max_y = 0;
    int32_t min_y = 99999;

    // The first vertex replaces the empty box; every later one widens it.
    void take_in(const LandscapePoint& point, bool first) {
        if (first) {
            max_x = min_x = point.x;
            max_y = min_y = point.y;
            return;
        }
        if (point.y > max_y) max_y = point.y;
        if (point.y < min_y) min_y = point.y;
        if (point.x > max_x) max_x = point.x;
        if (point.x < min_x) min_x = point.x;
    }
};
