// Reads a boundary in GMT's multisegment text, as `gmt coast -EJP -M` writes
// country and state boundaries: "> name" lines begin segments, "#" lines are
// comments, and every other line is "lon lat" apart by blanks or tabs, with
// any further columns ignored.
#pragma once

#include <string>
#include <string_view>

#include "import/outline/outline_source.h"

// One feature per segment, in file order, each with the segment's header
// text (after the '>') as its "name" attribute and its points as its one
// ring; points before the first header form an unnamed first segment. A
// segment of fewer than three points encloses nothing and has no ring.
// Blank lines are skipped; a UTF-8 byte-order mark and CRLF line ends are
// allowed. Throws OutlineError naming `path` and the line for a data line
// that does not start with two numbers, and for a coordinate outside
// -180..360 / +-90.
OutlineSource read_gmt_outline(std::string_view bytes, const std::string& path);
