// FDSN event services as `sismap-import fetch` talks to them: the built-in
// table of services, the query URLs (standard parameters only) and what an
// answer means for the fetch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_types.h"

// A service of the built-in table, chosen by name with --service.
struct KnownService {
    const char* name;
    const char* base_url;  // up to and including /fdsnws/event/1
};
const std::vector<KnownService>& known_services();

// The service `--service` names: a name of the table (any case) or a base
// URL over http or https ending in /fdsnws/event/1 (a trailing "/" is
// dropped). Empty, with `error` set, for anything else.
struct Service {
    std::string name;      // the table's name, or the URL itself, for messages
    std::string base_url;  // without a trailing "/"
};
std::optional<Service> find_service(const std::string& text, std::string* error);

// The boxes a region is queried as (each query is a time slice [from, to],
// both ends included by services, and one box, west <= east within
// -180..180): the whole world without a region, two
// boxes for one across the antimeridian (west > east), else the region.
std::vector<Region> query_boxes(const std::optional<Region>& region);

// "2024-01-31T12:00:00": the UTC second a time falls in, as queries name it.
std::string query_time(int64_t us);

// BASE/query?starttime=...&endtime=...[&minlatitude=...&maxlatitude=...
// &minlongitude=...&maxlongitude=...][&minmagnitude=...][&mindepth=...&maxdepth=...]&orderby=time-asc
// &limit=N&format=text. Times are whole UTC seconds, the slice widened to
// them; the box is left out
// when it is the whole world.
std::string query_url(const std::string& base_url, int64_t from_us, int64_t to_us, const Region& box,
                      const std::optional<double>& min_magnitude, uint64_t limit,
                      const std::optional<DepthRange>& depth = std::nullopt);

// What an HTTP answer means for its slice.
enum class AnswerKind {
    events,    // FDSN event text to read
    empty,     // no event in the slice (204, 404 saying there is no data)
    too_many,  // a cap refusal (413, 400 saying too many events match): split
    retry,     // busy or failing for now (429, 500, 502, 503, 504): ask again
    failure,   // anything else: stop
};
AnswerKind classify_answer(long status, std::string_view body);

// The first `lines` non-blank lines of an answer's text, each indented and
// at most 200 bytes, control bytes shown as '?', for a message.
std::string first_lines(std::string_view body, int lines = 5);
