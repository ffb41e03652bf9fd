// Reader of QuakeML 1.2 (BED) event files, streamed through libxml2's SAX2
// push parser: memory stays bounded by one event and one piece of the file,
// however long it is, and no node is built for what the importer skips.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "import/event_sink.h"

// Fills `buffer` with at most `room` bytes of the file; 0 at its end. May
// throw ImportError for a read failure.
using ReadBytes = std::function<size_t(char* buffer, size_t room)>;

// Reads the whole file through `read`. For each event: the origin named by
// preferredOriginID (else the first), the magnitude named by
// preferredMagnitudeID (else the first); an event without a type counts as
// an earthquake. Messages give the line.
void read_quakeml_catalogue(const ReadBytes& read, const std::string& name, EventSink& sink);
