// The viewer's catalogue layout: a header, then one line per event,
// year,month,day,HHMMSS.hh,latitude,longitude,magnitude, oldest first.
#pragma once

#include <string>
#include <vector>

#include "import/catalogue_reader.h"

inline constexpr char kViewerCatalogueHeader[] = "year,month,day,time,latitude,longitude,magnitude\n";

// Sorts by origin time, oldest first; events of the same time keep their
// input order.
void sort_events(std::vector<QuakeEvent>& events);

// Appends the line of one event: the UTC time with its hundredths cut off
// (never rounded up into the next second or day), latitude and longitude to
// 4 decimals, the magnitude to 2 decimals but never 0.00 for a positive one.
void append_event_line(const QuakeEvent& event, std::string& out);
