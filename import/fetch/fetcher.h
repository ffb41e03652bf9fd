// Fetching a catalogue from an FDSN event service, one query at a time: the
// time range is split into halves wherever the service refuses or cuts an
// answer for holding too many events, until every slice is whole; failing
// queries are asked again after growing waits. Plain C++ over HttpClient.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "import/fetch/fdsn_query.h"
#include "import/fetch/http_client.h"
#include "import/import_types.h"

// The largest answer the fetch asks for; the USGS service's cap.
inline constexpr uint64_t kQueryLimit = 20000;
// No wait is longer than this, whatever Retry-After asks, unless the
// user's own --retry-wait is.
inline constexpr double kLongestWait = 60.0;

struct FetchPlan {
    Service service;
    int64_t from_us = 0;  // the range, from <= t < to
    int64_t to_us = 0;
    std::optional<Region> region;
    std::optional<double> min_magnitude;
    std::optional<DepthRange> depth;  // asked of the service too, as mindepth/maxdepth
    int retries = 5;           // further tries of a query that failed for now
    double retry_wait = 1.0;   // seconds before the first retry, doubled on each
    uint64_t limit = kQueryLimit;
};

struct FetchCounts {
    uint64_t queries = 0;  // HTTP requests sent, retries and refused ones included
    uint64_t slices = 0;   // whole slices the range ended up in
};

// What the fetch tells its caller while it works; every member may be empty.
struct FetchHooks {
    // A whole slice was read: slices so far, events kept so far.
    std::function<void(uint64_t slices, uint64_t events)> progress;
    // A line for standard error: what a retry waits for.
    std::function<void(const std::string& line)> notice;
    // Waits this many seconds; tests pass one that only records.
    std::function<void(double seconds)> sleep;
};

// The seconds to wait before retry number `retry` (1 for the first): the
// doubled --retry-wait, or a longer Retry-After, none longer than
// kLongestWait unless --retry-wait itself is.
double retry_delay(double retry_wait, int retry, double retry_after);

// Fetches the events of `plan` through `client`, reads each answer with the
// FDSN event text reader, keeps each event once by its EventID and applies
// `selection`. Throws ImportError naming the service, the status and the
// answer's first lines when a query fails for good. `counts` (read, kept,
// dropped, repeated) and `fetch_counts` may be null.
std::vector<QuakeEvent> fetch_events(const FetchPlan& plan, const Selection& selection, HttpClient& client,
                                     const FetchHooks& hooks, ImportCounts* counts, FetchCounts* fetch_counts);
