// Reading earthquake catalogues in the layouts data centres publish (CSV,
// FDSN event text, GeoJSON, QuakeML 1.2) into one list of events, with the
// selection rules of the importer applied while reading.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/import_types.h"

// Reads the catalogue at `path` ("-": standard input) and returns the kept
// events in input order. Throws ImportError for a file that cannot be opened
// or read, a region outline, an unknown layout, and (unless
// selection.skip_bad) the first bad row. `counts` may be null.
std::vector<QuakeEvent> read_events_file(const std::string& path, CatalogueFormat format,
                                            const Selection& selection, ImportCounts* counts,
                                            const ReadProgress& progress = ReadProgress());

// The same from bytes in memory; `name` stands for the file in messages.
std::vector<QuakeEvent> read_events_bytes(std::string_view bytes, const std::string& name,
                                             CatalogueFormat format, const Selection& selection,
                                             ImportCounts* counts);
