// The viewer's catalogue layout: a header, then one line per event,
// year,month,day,HHMMSS.hh,latitude,longitude,magnitude, oldest first.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_types.h"

inline constexpr char kViewerCatalogueHeader[] = "year,month,day,time,latitude,longitude,magnitude\n";
// With the eighth column, depth in km (positive down, empty when unknown),
// which the viewer passes over and the recorder and statistics read.
inline constexpr char kViewerCatalogueDepthHeader[] = "year,month,day,time,latitude,longitude,magnitude,depth\n";

// Sorts by origin time, oldest first; events of the same time keep their
// input order.
void sort_events(std::vector<QuakeEvent>& events);

// Writes the whole catalogue through `write`, a slice of lines at a time (the
// text is never held whole): the header, one line per event in the order
// given, then the last event's line once more. The viewer's full view draws
// every entry but the last, which only marks where the window ends; the
// repeated line takes that part, so every event is drawn, and in playback
// it falls on its twin's mark. An empty list gives the header alone.
void write_catalogue(const std::vector<QuakeEvent>& events, const std::function<void(std::string_view)>& write,
                     bool with_depth = false);

// Appends the line of one event: the UTC time with its hundredths cut off
// (never rounded up into the next second or day), latitude and longitude to
// 4 decimals, the magnitude to 2 decimals but never 0.00 for a positive one.
void append_event_line(const QuakeEvent& event, std::string& out, bool with_depth = false);
