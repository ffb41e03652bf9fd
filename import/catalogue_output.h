// The end every catalogue import shares, whatever the events came from (a
// downloaded file, queries to an event service): the kept events sorted and
// written in the viewer's layout, the output committed whole, and the
// summary line.
#pragma once

#include <string>
#include <vector>

#include "import/import_types.h"
#include "tool/output_file.h"

// Opens the temporary file beside `path` (or standard output for "-"); on
// failure says why on standard error and returns false.
bool open_import_output(OutputFile& output, const std::string& path);

// "sismap-import: read N events (SOURCE), kept K; dropped ..." where SOURCE
// says what was read (a layout name, or the service and its queries).
std::string import_summary(const ImportCounts& counts, const std::string& source);

// The line that follows the summary when the sorted `events` span less than
// the viewer's 30-day window: playing them shows them all at once, and a
// sismap-record command sized to the span shows them unfold. Empty otherwise.
std::string short_span_hint(const std::vector<QuakeEvent>& events, const OutputFile& output);

// Sorts `events`, writes them to the opened `output` and commits it; then,
// unless `quiet`, prints the summary on standard error, and the short-span
// hint when there is one. No event kept is a failure: the summary and which
// selection removed them, nothing written. Returns the exit
// status: 0, or 1 after saying on standard error what failed (the target is
// then left as it was).
int write_kept_events(std::vector<QuakeEvent>& events, const ImportCounts& counts, const std::string& source,
                      OutputFile& output, bool quiet, bool with_depth = true);

// Why an import kept no event, for its refusal: how many were read and
// which selection removed how many of them, the largest share first, e.g.
// "of the 130 events read, 120 lie outside --region and 10 are below
// --min-mag".
std::string no_event_kept_reason(const ImportCounts& counts);
