// The b-value map: each node's cell coloured by b, with a colour bar, the
// outline and the events as small dots.
#pragma once

#include <string>
#include <vector>

#include "data/records.h"
#include "stats/bvalue_map.h"
#include "stats/stats_figure.h"

struct MapFigureContent {
    const std::vector<MapNode>& nodes;
    double spacing;
    const std::vector<float>& latitudes;
    const std::vector<float>& longitudes;
    const std::vector<LandscapePoint>& outline;  // empty: none drawn
};

bool write_map_figure(const std::string& path, FigureFormat format, const MapFigureContent& content,
                      std::string* error);
