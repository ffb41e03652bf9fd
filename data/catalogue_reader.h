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

// Reads all of `text` into the empty `records`. With `depths`, also the
// eighth field of each entry kept, the depth in km that the importer writes
// (NaN when the entry has none or it is no number), one per record.
void read_catalogue_text(std::string_view text, std::vector<QuakeRecord>& records,
                         std::vector<float>* depths = nullptr);

// Reads the open earthquake file into the empty `records`, one piece at a
// time; the file is never held whole. A regular file is read twice: first to
// count its lines, so the catalogue is allocated once. `depths` as above.
void read_catalogue_file(InputSource& file, std::vector<QuakeRecord>& records, std::vector<float>* depths = nullptr);

// The depth field's value: a decimal that is the whole of `text` up to a
// comma, a line end or a NUL; NaN for an empty field or anything else.
float depth_field(const char* text);
