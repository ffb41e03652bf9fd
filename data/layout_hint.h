// A one-line hint on standard error when the catalogue given to the viewer is
// plainly a data-centre download rather than the viewer's own layout, with
// the sismap-import command that converts it. The viewer's standard output,
// behaviour and exit status stay as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/records.h"

// The hint for a catalogue whose file starts with `head` (its first bytes)
// and which loaded as `records`; empty when nothing is plainly wrong: a
// GeoJSON or XML file, ISO 8601 times in the first two lines, or dates that
// run backwards (newest first). The text names no program: each program
// says it under its own name.
std::string catalogue_layout_hint(const char* quake_path, std::string_view head,
                                  const std::vector<QuakeRecord>& records);

// Writes the hint, if any, as one line on standard error under the viewer's
// name. `head` is what the
// loader already read: the file is never opened a second time, so a pipe
// given as the catalogue is read once.
void report_catalogue_layout_hint(const char* quake_path, std::string_view head,
                                  const std::vector<QuakeRecord>& records);
