// A catalogue kept as its lines, for commands that write lines of it back
// unchanged (declustering): the header, every data line's text, and the
// entries the viewer's reader makes of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/records.h"

struct CatalogueLines {
    std::string text;                     // the whole file
    std::string_view header;              // the first line, line feed included
    std::vector<std::string_view> lines;  // every later line, line feed included
    // The entries, in file order, and the data line (0-based in `lines`)
    // each was read from. The importer's repeated last line is not one.
    std::vector<QuakeRecord> records;
    std::vector<size_t> line_of;
    bool repeats_last = false;  // the file wrote its last entry twice
};

// Reads the catalogue at `path`. Each data line is read as the viewer reads
// a line (seven comma-separated fields, further fields such as a depth
// ignored, a magnitude above 0). False with a message naming the file when
// it cannot be read, is refused as the viewer would refuse it, or holds no
// entry.
bool read_catalogue_lines(const std::string& path, CatalogueLines* catalogue, std::string* error);

// The whole of a file, or of standard input for "-"; false with a message.
bool read_whole_file(const std::string& path, std::string* text, std::string* error);
