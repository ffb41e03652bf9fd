// Where the catalogue readers hand their events: checks each event's values,
// applies the selection, counts what it drops and keeps the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_types.h"

// One event as a reader found it, before checks and selection.
struct RawEvent {
    int64_t time_us = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    std::optional<double> magnitude;  // empty: the event has none
    std::optional<double> depth_km;   // km, positive down; empty: none given
    std::string_view type;            // empty: none given, counts as an earthquake
    std::string_view id;              // the service's EventID; empty: none given
};

// Tells whether an event identifier is met for the first time (and notes it).
using FirstSighting = std::function<bool(std::string_view id)>;

class EventSink {
public:
    EventSink(const Selection& selection, ImportCounts& counts, std::vector<QuakeEvent>& events,
              const ReadProgress* progress = nullptr)
        : selection_(selection), counts_(counts), events_(events), progress_(progress) {
        if (selection.depth) counts_.by_depth = true;
    }

    // Counts one event met in the input (bad ones included).
    void count_read() {
        constexpr uint64_t kProgressEvery = 1 << 16;
        if (++counts_.read % kProgressEvery == 0 && progress_ != nullptr && *progress_) (*progress_)(counts_.read);
    }

    // Takes a parsed event. Returns what is wrong with its values (latitude
    // or longitude out of range, an absurd magnitude), for the reader to
    // report with its location, or nullptr once the event is kept or
    // dropped by the selection.
    const char* offer(const RawEvent& event);

    // Answers to queries that meet share events: with this set, an event
    // whose identifier was met before is counted as repeated and skipped.
    // Events without an identifier are always taken.
    void skip_repeats(FirstSighting first_sighting) { first_sighting_ = std::move(first_sighting); }

    // A bad row at `where` ("file:line"): throws ImportError, or with
    // --skip-bad counts it and returns.
    void bad(const std::string& where, const std::string& what);

private:
    const Selection& selection_;
    ImportCounts& counts_;
    std::vector<QuakeEvent>& events_;
    const ReadProgress* progress_;
    FirstSighting first_sighting_;
};
