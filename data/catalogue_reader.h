// The earthquake file's reader: a header line, then one entry per line of
// seven fields (year, month, day, HHMMSS.hh, latitude, longitude, magnitude);
// lines with fewer fields are skipped and entries whose magnitude is not
// above 0 are dropped. Plain lines are read in place, every other line
// through 99-character reads and strtok-like fields, to the same values.
#pragma once

#include <string_view>
#include <vector>

#include "data/records.h"
#include "tool/input_source.h"

// Reads all of `text` into the empty `records`.
void read_catalogue_text(std::string_view text, std::vector<QuakeRecord>& records);

// Reads the open earthquake file into the empty `records`, one piece at a
// time; the file is never held whole. A regular file is read twice: first to
// count its lines, so the catalogue is allocated once.
void read_catalogue_file(InputSource& file, std::vector<QuakeRecord>& records);
