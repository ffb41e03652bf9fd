// The catalogue's one array: sized once from a count of the file's lines,
// backed by large pages when it is big, and its slack given back at the end.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "data/records.h"

// Line feeds in `text`: with the header being one of the lines, the number of
// data lines when none is longer than a read (more reads only in files with
// long lines, where the catalogue then grows as usual).
size_t count_line_feeds(std::string_view text);

// Reserves room for `entries` records in the empty `records`, in one
// allocation, and asks for large pages when that is worth it.
void reserve_catalogue(std::vector<QuakeRecord>& records, size_t entries);

// Gives back most of the slack when the catalogue came out much smaller than
// reserved (many dropped events or skipped lines).
void finish_catalogue(std::vector<QuakeRecord>& records);
