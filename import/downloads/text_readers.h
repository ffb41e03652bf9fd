// Readers of the two text layouts: data-centre CSV (RFC 4180) and FDSN event
// text ("|"-separated, "#" header). Both find their columns by name.
#pragma once

#include <string>
#include <string_view>

#include "import/event_sink.h"

// Reads the whole text (a UTF-8 byte-order mark and CR LF line ends are
// accepted) and hands every row to `sink`. `name` names the file in messages,
// which also give the line.
void read_csv_catalogue(std::string_view text, const std::string& name, EventSink& sink);
void read_fdsn_catalogue(std::string_view text, const std::string& name, EventSink& sink);
