// The figure of b and Mc through time: Mc, then b with its error bars,
// against each window's last event time, above the cumulative count.
#pragma once

#include <string>
#include <vector>

#include "stats/series.h"
#include "stats/stats_figure.h"

bool write_series_figure(const std::string& path, FigureFormat format, const std::vector<SeriesWindow>& windows,
                         const std::vector<double>& times, std::string* error);
